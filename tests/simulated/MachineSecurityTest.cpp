// The process object's DACL as the simulated machine reports it, and the
// GetSecurityInfo / SetSecurityInfo failures tests can ask for.
#include <gtest/gtest.h>

#include "platform/machine.h"
#include "platform/win32.h"

namespace {

const HANDLE kSelf = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));  // GetCurrentProcess()

class MachineSecurityTest : public ::testing::Test {
protected:
    void SetUp() override { MachineProcessSecurityReset(); }
    void TearDown() override { MachineProcessSecurityReset(); }

    static DWORD DaclRead(PACL* ppDacl, PSECURITY_DESCRIPTOR* ppDescriptor) {
        return GetSecurityInfo(kSelf, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, ppDacl, nullptr,
                               ppDescriptor);
    }
    static DWORD DaclWrite(PACL pDacl) {
        return SetSecurityInfo(kSelf, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, pDacl, nullptr);
    }
};

TEST_F(MachineSecurityTest, NullDaclOpensTheProcessToAServiceUntilRestored) {
    EXPECT_FALSE(MachineProcessDaclIsNull());
    EXPECT_FALSE(MachineProcessOpenByServiceAllowed(PROCESS_DUP_HANDLE));
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    ASSERT_EQ(DaclRead(&pDacl, &pDescriptor), static_cast<DWORD>(ERROR_SUCCESS));

    ASSERT_EQ(DaclWrite(nullptr), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(MachineProcessDaclIsNull());
    EXPECT_TRUE(MachineProcessOpenByServiceAllowed(PROCESS_DUP_HANDLE));

    ASSERT_EQ(DaclWrite(pDacl), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(MachineProcessDaclIsNull());
    EXPECT_FALSE(MachineProcessOpenByServiceAllowed(PROCESS_DUP_HANDLE));
    EXPECT_EQ(LocalFree(pDescriptor), nullptr);
}

TEST_F(MachineSecurityTest, GetSecurityInfoFailsOnceWithTheChosenError) {
    MachineSecurityInfoFailSet(MachineSecurityCall::GetSecurityInfo, 0, ERROR_ACCESS_DENIED);
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    SetLastError(0);
    EXPECT_EQ(DaclRead(&pDacl, &pDescriptor), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(pDescriptor, nullptr);
    ASSERT_EQ(DaclRead(&pDacl, &pDescriptor), static_cast<DWORD>(ERROR_SUCCESS));
    LocalFree(pDescriptor);
    EXPECT_EQ(MachineSecurityInfoCallCount(MachineSecurityCall::GetSecurityInfo), 2u);
}

TEST_F(MachineSecurityTest, SecondSetSecurityInfoCanBeTheOneThatFails) {
    MachineSecurityInfoFailSet(MachineSecurityCall::SetSecurityInfo, 1, ERROR_INVALID_HANDLE);
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    ASSERT_EQ(DaclRead(&pDacl, &pDescriptor), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(DaclWrite(nullptr), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(DaclWrite(pDacl), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(MachineProcessDaclIsNull()) << "a failed restore leaves the null DACL";
    EXPECT_EQ(DaclWrite(pDacl), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(MachineProcessDaclIsNull());
    EXPECT_EQ(MachineSecurityInfoCallCount(MachineSecurityCall::SetSecurityInfo), 3u);
    LocalFree(pDescriptor);
}

TEST_F(MachineSecurityTest, DescriptorIsTheOnlyBlockHandedOut) {
    const long lBefore = MachineLocalBlocksLive();
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    ASSERT_EQ(DaclRead(&pDacl, &pDescriptor), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(MachineLocalBlocksLive(), lBefore + 1);
    LocalFree(pDescriptor);
    EXPECT_EQ(MachineLocalBlocksLive(), lBefore);
}

TEST_F(MachineSecurityTest, OnlyTheOwnProcessAsKernelObjectIsKnown) {
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    EXPECT_EQ(GetSecurityInfo(reinterpret_cast<HANDLE>(0x1234), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &pDacl, nullptr, &pDescriptor),
              static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetSecurityInfo(kSelf, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &pDacl, nullptr,
                              &pDescriptor),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MachineSecurityInfoCallCount(MachineSecurityCall::GetSecurityInfo), 0u);
}

}  // namespace
