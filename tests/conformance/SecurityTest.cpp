// SIDs, ACLs, SetEntriesInAclW and security descriptors in the documented
// binary layouts.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "AceRecord.h"
#include "KeyDaclBuilder.h"
#include "platform/PlatformInfo.h"
#include "platform/win32.h"

namespace {

struct SidCase {
    BYTE Authority;
    std::vector<DWORD> SubAuthorities;
    std::vector<BYTE> Bytes;
};

class SidLayoutTest : public ::testing::TestWithParam<SidCase> {};

TEST_P(SidLayoutTest, AllocateAndInitializeSidWritesTheDocumentedBytes) {
    const SidCase& Case = GetParam();
    SID_IDENTIFIER_AUTHORITY Authority = {{0, 0, 0, 0, 0, Case.Authority}};
    DWORD Sub[8] = {};
    for (size_t i = 0; i < Case.SubAuthorities.size(); ++i)
        Sub[i] = Case.SubAuthorities[i];
    PSID pSid = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&Authority, static_cast<BYTE>(Case.SubAuthorities.size()), Sub[0], Sub[1],
                                         Sub[2], Sub[3], Sub[4], Sub[5], Sub[6], Sub[7], &pSid));
    EXPECT_TRUE(IsValidSid(pSid));
    ASSERT_EQ(GetLengthSid(pSid), Case.Bytes.size());
    EXPECT_EQ(AceRecord::SidBytes(pSid), Case.Bytes);
    EXPECT_EQ(*GetSidSubAuthorityCount(pSid), Case.SubAuthorities.size());
    for (DWORD i = 0; i < Case.SubAuthorities.size(); ++i)
        EXPECT_EQ(*GetSidSubAuthority(pSid, i), Case.SubAuthorities[i]);
    EXPECT_EQ(FreeSid(pSid), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    WellKnown, SidLayoutTest,
    ::testing::Values(SidCase{1, {0}, {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}},                         // S-1-1-0
                      SidCase{5, {0x20, 0x220}, {1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 2, 0, 0}},  // S-1-5-32-544
                      SidCase{5, {0x12}, {1, 1, 0, 0, 0, 0, 0, 5, 0x12, 0, 0, 0}}));                 // S-1-5-18

TEST(Sid, EqualSidComparesContent) {
    KeyDaclBuilder Sids;
    ASSERT_TRUE(Sids.IsBuilt());
    SID_IDENTIFIER_AUTHORITY World = SECURITY_WORLD_SID_AUTHORITY;
    PSID pOtherEveryone = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&World, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &pOtherEveryone));
    EXPECT_TRUE(EqualSid(Sids.EveryoneSid(), pOtherEveryone));
    EXPECT_FALSE(EqualSid(Sids.EveryoneSid(), Sids.AdminSid()));
    FreeSid(pOtherEveryone);
}

TEST(Acl, AcesFollowTheHeaderInTheDocumentedLayout) {
    KeyDaclBuilder Sids;
    ASSERT_TRUE(Sids.IsBuilt());
    const DWORD cbEveryoneAce = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(Sids.EveryoneSid());
    const DWORD cbAdminAce = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(Sids.AdminSid());
    ASSERT_EQ(cbEveryoneAce, 20u);
    ASSERT_EQ(cbAdminAce, 24u);
    alignas(DWORD) BYTE Buffer[sizeof(ACL) + 20 + 24];
    auto* pAcl = reinterpret_cast<PACL>(Buffer);
    ASSERT_TRUE(InitializeAcl(pAcl, sizeof(Buffer), ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAceEx(pAcl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, KEY_ALL_ACCESS,
                                      Sids.EveryoneSid()));
    ASSERT_TRUE(AddAccessAllowedAceEx(pAcl, ACL_REVISION, 0, KEY_READ, Sids.AdminSid()));
    EXPECT_TRUE(IsValidAcl(pAcl));

    ACL_SIZE_INFORMATION Size{};
    ASSERT_TRUE(GetAclInformation(pAcl, &Size, sizeof(Size), AclSizeInformation));
    EXPECT_EQ(Size.AceCount, 2u);
    EXPECT_EQ(Size.AclBytesInUse, sizeof(Buffer));
    EXPECT_EQ(Size.AclBytesFree, 0u);

    void* pAce = nullptr;
    ASSERT_TRUE(GetAce(pAcl, 0, &pAce));
    EXPECT_EQ(static_cast<BYTE*>(pAce), Buffer + sizeof(ACL));
    auto* pFirst = static_cast<ACCESS_ALLOWED_ACE*>(pAce);
    EXPECT_EQ(pFirst->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(pFirst->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(pFirst->Header.AceSize, cbEveryoneAce);
    EXPECT_EQ(pFirst->Mask, static_cast<ACCESS_MASK>(KEY_ALL_ACCESS));
    EXPECT_TRUE(EqualSid(&pFirst->SidStart, Sids.EveryoneSid()));
    ASSERT_TRUE(GetAce(pAcl, 1, &pAce));
    EXPECT_EQ(static_cast<BYTE*>(pAce), Buffer + sizeof(ACL) + cbEveryoneAce);
    EXPECT_FALSE(GetAce(pAcl, 2, &pAce));

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AddAccessAllowedAceEx(pAcl, ACL_REVISION, 0, KEY_READ, Sids.AdminSid()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALLOTTED_SPACE_EXCEEDED));
}

struct EntryCase {
    const char* pLabel;
    ACCESS_MODE Mode;
    DWORD Inheritance;
    BYTE AceType;
    BYTE AceFlags;
};

class SetEntriesInAclTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(SetEntriesInAclTest, OneEntryBecomesOneAceWithMappedFlags) {
    const EntryCase& Case = GetParam();
    KeyDaclBuilder Sids;
    ASSERT_TRUE(Sids.IsBuilt());
    EXPLICIT_ACCESS_W Entry = {};
    Entry.grfAccessPermissions = KEY_READ;
    Entry.grfAccessMode = Case.Mode;
    Entry.grfInheritance = Case.Inheritance;
    Entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    Entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    Entry.Trustee.ptstrName = static_cast<LPWSTR>(Sids.EveryoneSid());
    PACL pAcl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &Entry, nullptr, &pAcl), static_cast<DWORD>(ERROR_SUCCESS));
    const std::vector<AceRecord> Expected = {
        {Case.AceType, Case.AceFlags, KEY_READ, AceRecord::SidBytes(Sids.EveryoneSid())}};
    EXPECT_EQ(AceRecord::FromAcl(pAcl), Expected);
    EXPECT_EQ(LocalFree(pAcl), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SetEntriesInAclTest,
    ::testing::Values(
        EntryCase{"GrantNoInheritance", GRANT_ACCESS, NO_INHERITANCE, ACCESS_ALLOWED_ACE_TYPE, 0},
        EntryCase{"SetObjects", SET_ACCESS, SUB_OBJECTS_ONLY_INHERIT, ACCESS_ALLOWED_ACE_TYPE, OBJECT_INHERIT_ACE},
        EntryCase{"SetContainers", SET_ACCESS, SUB_CONTAINERS_ONLY_INHERIT, ACCESS_ALLOWED_ACE_TYPE,
                  CONTAINER_INHERIT_ACE},
        EntryCase{"SetBoth", SET_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT, ACCESS_ALLOWED_ACE_TYPE,
                  OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE},
        EntryCase{"SetBothInheritOnly", SET_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT | INHERIT_ONLY,
                  ACCESS_ALLOWED_ACE_TYPE, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE},
        EntryCase{"SetBothNoPropagate", SET_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT | INHERIT_NO_PROPAGATE,
                  ACCESS_ALLOWED_ACE_TYPE, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE},
        EntryCase{"DenyContainers", DENY_ACCESS, SUB_CONTAINERS_ONLY_INHERIT, ACCESS_DENIED_ACE_TYPE,
                  CONTAINER_INHERIT_ACE}),
    [](const auto& Info) { return std::string(Info.param.pLabel); });

TEST(ExplicitAccess, LibraryEntriesGiveTwoGrantsInOrder) {
    KeyDaclBuilder Dacl;
    ASSERT_TRUE(Dacl.IsBuilt());
    EXPECT_EQ(AceRecord::FromAcl(Dacl.Acl()), Dacl.ExpectedAces());
    EXPECT_TRUE(IsValidAcl(Dacl.Acl()));
}

// Documented: new denials go to the start of the new ACL. Wine keeps the
// entries' order instead; the expectation flips there.
TEST(ExplicitAccess, DenialsComeBeforeGrants) {
    KeyDaclBuilder Sids;
    ASSERT_TRUE(Sids.IsBuilt());
    EXPLICIT_ACCESS_W Entries[2] = {};
    Entries[0].grfAccessPermissions = KEY_READ;
    Entries[0].grfAccessMode = GRANT_ACCESS;
    Entries[0].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    Entries[0].Trustee.ptstrName = static_cast<LPWSTR>(Sids.EveryoneSid());
    Entries[1].grfAccessPermissions = KEY_SET_VALUE;
    Entries[1].grfAccessMode = DENY_ACCESS;
    Entries[1].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    Entries[1].Trustee.ptstrName = static_cast<LPWSTR>(Sids.AdminSid());
    PACL pAcl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(2, Entries, nullptr, &pAcl), static_cast<DWORD>(ERROR_SUCCESS));
    const std::vector<AceRecord> Expected = {
        {ACCESS_DENIED_ACE_TYPE, 0, KEY_SET_VALUE, AceRecord::SidBytes(Sids.AdminSid())},
        {ACCESS_ALLOWED_ACE_TYPE, 0, KEY_READ, AceRecord::SidBytes(Sids.EveryoneSid())}};
    if (PlatformIsWine())
        EXPECT_NE(AceRecord::FromAcl(pAcl), Expected) << "Wine deviation fixed: denials now come first";
    else
        EXPECT_EQ(AceRecord::FromAcl(pAcl), Expected);
    LocalFree(pAcl);
}

TEST(ExplicitAccess, SetAccessReplacesTheTrusteesOldAce) {
    KeyDaclBuilder Dacl;
    ASSERT_TRUE(Dacl.IsBuilt());
    EXPLICIT_ACCESS_W Entry = {};
    Entry.grfAccessPermissions = KEY_READ;
    Entry.grfAccessMode = SET_ACCESS;
    Entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    Entry.Trustee.ptstrName = static_cast<LPWSTR>(Dacl.AdminSid());
    PACL pAcl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &Entry, Dacl.Acl(), &pAcl), static_cast<DWORD>(ERROR_SUCCESS));
    // Documented: new grants go just before the existing ones. Wine puts the
    // replacement where the old ACE was; the expectation flips there.
    const std::vector<AceRecord> Expected = {
        {ACCESS_ALLOWED_ACE_TYPE, 0, KEY_READ, AceRecord::SidBytes(Dacl.AdminSid())}, Dacl.ExpectedAces()[0]};
    const std::vector<AceRecord> Aces = AceRecord::FromAcl(pAcl);
    if (PlatformIsWine()) {
        EXPECT_NE(Aces, Expected) << "Wine deviation fixed: the new grant now comes first";
        EXPECT_EQ(Aces, (std::vector<AceRecord>{Expected[1], Expected[0]}));
    } else {
        EXPECT_EQ(Aces, Expected);
    }
    LocalFree(pAcl);
}

TEST(SecurityDescriptor, AbsoluteDescriptorHoldsTheDaclPointer) {
    KeyDaclBuilder Dacl;
    ASSERT_TRUE(Dacl.IsBuilt());
    SECURITY_DESCRIPTOR Descriptor;
    ASSERT_TRUE(InitializeSecurityDescriptor(&Descriptor, SECURITY_DESCRIPTOR_REVISION));
    EXPECT_TRUE(IsValidSecurityDescriptor(&Descriptor));
    BOOL bPresent = TRUE;
    BOOL bDefaulted = TRUE;
    PACL pDacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(&Descriptor, &bPresent, &pDacl, &bDefaulted));
    EXPECT_FALSE(bPresent);

    ASSERT_TRUE(SetSecurityDescriptorDacl(&Descriptor, TRUE, Dacl.Acl(), FALSE));
    ASSERT_TRUE(GetSecurityDescriptorDacl(&Descriptor, &bPresent, &pDacl, &bDefaulted));
    EXPECT_TRUE(bPresent);
    EXPECT_FALSE(bDefaulted);
    EXPECT_EQ(pDacl, Dacl.Acl());
    EXPECT_TRUE(IsValidSecurityDescriptor(&Descriptor));
    EXPECT_GE(GetSecurityDescriptorLength(&Descriptor), Dacl.Acl()->AclSize);

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(InitializeSecurityDescriptor(&Descriptor, 2));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_REVISION));
}

TEST(SecurityDescriptor, LocalAllocatedDescriptorOfMinimumLengthWorks) {
    KeyDaclBuilder Dacl;
    ASSERT_TRUE(Dacl.IsBuilt());
    PSECURITY_DESCRIPTOR pDescriptor = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
    ASSERT_NE(pDescriptor, nullptr);
    ASSERT_TRUE(InitializeSecurityDescriptor(pDescriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(pDescriptor, TRUE, Dacl.Acl(), FALSE));
    EXPECT_TRUE(IsValidSecurityDescriptor(pDescriptor));
    EXPECT_EQ(LocalFree(pDescriptor), nullptr);
}

}  // namespace
