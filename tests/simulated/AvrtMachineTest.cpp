// The multimedia class scheduler of the simulated platform: joining a known
// task, task indices, reverting once, refusal.
#include <gtest/gtest.h>

#include <thread>

#include "platform/d3d11.h"
#include "platform/machine.h"

namespace {

class AvrtMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        MachineD3DReset();
        m_JoinsBefore = MachineAvrtJoinsLive();
    }
    void TearDown() override {
        MachineD3DReset();
        EXPECT_EQ(MachineAvrtJoinsLive(), m_JoinsBefore);
    }
    long m_JoinsBefore = 0;
};

TEST_F(AvrtMachineTest, JoinAndRevertOnce) {
    DWORD TaskIndex = 0;
    HANDLE hTask = AvSetMmThreadCharacteristicsW(L"Distribution", &TaskIndex);
    ASSERT_NE(hTask, nullptr);
    EXPECT_NE(TaskIndex, 0u);
    EXPECT_EQ(MachineAvrtJoinsLive(), m_JoinsBefore + 1);
    EXPECT_TRUE(AvRevertMmThreadCharacteristics(hTask));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AvRevertMmThreadCharacteristics(hTask));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(AvrtMachineTest, GivenTaskIndexIsKeptAndNamesIgnoreCase) {
    DWORD First = 0;
    HANDLE hFirst = AvSetMmThreadCharacteristicsW(L"Pro Audio", &First);
    ASSERT_NE(hFirst, nullptr);
    DWORD Second = First;
    HANDLE hSecond = nullptr;
    std::thread([&] { hSecond = AvSetMmThreadCharacteristicsW(L"pro audio", &Second); }).join();
    ASSERT_NE(hSecond, nullptr);
    EXPECT_NE(hSecond, hFirst);
    EXPECT_EQ(Second, First);
    EXPECT_TRUE(AvRevertMmThreadCharacteristics(hSecond));
    EXPECT_TRUE(AvRevertMmThreadCharacteristics(hFirst));
}

TEST_F(AvrtMachineTest, UnknownTaskAndMissingArgumentsFail) {
    DWORD TaskIndex = 0;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(AvSetMmThreadCharacteristicsW(L"Distributor", &TaskIndex), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_TASK_NAME));
    EXPECT_EQ(TaskIndex, 0u);
    EXPECT_EQ(AvSetMmThreadCharacteristicsW(L"Distribution", nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(AvRevertMmThreadCharacteristics(nullptr));
}

TEST_F(AvrtMachineTest, RefusedSchedulerJoinsNothing) {
    MachineAvrtRefusedSet(true);
    DWORD TaskIndex = 0;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(AvSetMmThreadCharacteristicsW(L"Distribution", &TaskIndex), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(MachineAvrtJoinsLive(), m_JoinsBefore);
    MachineAvrtRefusedSet(false);
    HANDLE hTask = AvSetMmThreadCharacteristicsW(L"Distribution", &TaskIndex);
    ASSERT_NE(hTask, nullptr);
    AvRevertMmThreadCharacteristics(hTask);
}

}  // namespace
