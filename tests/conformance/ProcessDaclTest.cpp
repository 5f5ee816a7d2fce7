// The process object's DACL: read with GetSecurityInfo, replaced by a null
// DACL and restored with SetSecurityInfo, as the indirect display driver's
// introduction does.
#include <gtest/gtest.h>

#include "AceRecord.h"
#include "platform/win32.h"

namespace {

struct ProcessDacl {
    PACL pDacl = nullptr;
    PACL pSacl = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    DWORD dwResult = ERROR_GEN_FAILURE;

    ProcessDacl() {
        dwResult = GetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, &pDacl, &pSacl, &pDescriptor);
    }
    ~ProcessDacl() {
        if (pDescriptor != nullptr)
            LocalFree(pDescriptor);
    }
    ProcessDacl(const ProcessDacl&) = delete;
    ProcessDacl& operator=(const ProcessDacl&) = delete;
};

TEST(ProcessDacl, GetSecurityInfoPointsIntoOneLocalBlock) {
    ProcessDacl Current;
    ASSERT_EQ(Current.dwResult, static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_NE(Current.pDescriptor, nullptr);
    ASSERT_NE(Current.pDacl, nullptr);
    EXPECT_EQ(Current.pSacl, nullptr);
    EXPECT_TRUE(IsValidSecurityDescriptor(Current.pDescriptor));
    EXPECT_TRUE(IsValidAcl(Current.pDacl));
    const auto* pStart = static_cast<const BYTE*>(Current.pDescriptor);
    const auto* pDacl = reinterpret_cast<const BYTE*>(Current.pDacl);
    EXPECT_GT(pDacl, pStart);
    EXPECT_LE(pDacl + Current.pDacl->AclSize, pStart + GetSecurityDescriptorLength(Current.pDescriptor));
    EXPECT_FALSE(AceRecord::FromAcl(Current.pDacl).empty());
}

TEST(ProcessDacl, NullDaclOpensTheProcessAndTheSavedDaclRestoresIt) {
    ProcessDacl Saved;
    ASSERT_EQ(Saved.dwResult, static_cast<DWORD>(ERROR_SUCCESS));
    const std::vector<AceRecord> Before = AceRecord::FromAcl(Saved.pDacl);

    ASSERT_EQ(SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              nullptr, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    {
        ProcessDacl Open;
        ASSERT_EQ(Open.dwResult, static_cast<DWORD>(ERROR_SUCCESS));
        BOOL bPresent = FALSE;
        BOOL bDefaulted = FALSE;
        PACL pDacl = reinterpret_cast<PACL>(1);
        ASSERT_TRUE(GetSecurityDescriptorDacl(Open.pDescriptor, &bPresent, &pDacl, &bDefaulted));
        EXPECT_TRUE(bPresent);
        EXPECT_EQ(pDacl, nullptr);
        EXPECT_EQ(Open.pDacl, nullptr);
    }

    ASSERT_EQ(SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              Saved.pDacl, Saved.pSacl),
              static_cast<DWORD>(ERROR_SUCCESS));
    ProcessDacl Restored;
    ASSERT_EQ(Restored.dwResult, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(AceRecord::FromAcl(Restored.pDacl), Before);
}

TEST(ProcessDacl, BadHandleFails) {
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    EXPECT_NE(GetSecurityInfo(nullptr, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &pDacl,
                              nullptr, &pDescriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(pDescriptor, nullptr);
}

}  // namespace
