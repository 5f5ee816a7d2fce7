// The multimedia class scheduler calls the swap-chain resource thread makes:
// joining the "Distribution" task and leaving it again. Wine's avrt is a stub
// that accepts every name and hands out one fixed handle without a task
// index; those expectations flip under Wine, so a fixed Wine shows.
#include <gtest/gtest.h>

#include "platform/PlatformInfo.h"
#include "platform/d3d11.h"

namespace {

TEST(AvrtTest, DistributionTaskIsJoinedAndLeft) {
    DWORD TaskIndex = 0;
    HANDLE hTask = AvSetMmThreadCharacteristicsW(L"Distribution", &TaskIndex);
    ASSERT_NE(hTask, nullptr);
    if (PlatformIsWine())
        EXPECT_EQ(TaskIndex, 0u) << "Wine deviation fixed: a task index was assigned";
    else
        EXPECT_NE(TaskIndex, 0u);
    EXPECT_TRUE(AvRevertMmThreadCharacteristics(hTask));
}

TEST(AvrtTest, UnknownTaskIsRefused) {
    DWORD TaskIndex = 0;
    SetLastError(0xdeadbeef);
    HANDLE hTask = AvSetMmThreadCharacteristicsW(L"No Such Task", &TaskIndex);
    if (PlatformIsWine()) {
        EXPECT_NE(hTask, nullptr) << "Wine deviation fixed: unknown task names are refused";
        AvRevertMmThreadCharacteristics(hTask);
        return;
    }
    EXPECT_EQ(hTask, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_TASK_NAME));
}

}  // namespace
