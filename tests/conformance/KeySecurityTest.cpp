// Key security: a key created with the library's descriptor carries exactly
// its two ACEs, RegSetKeySecurity reads back exactly, subkeys inherit the
// inheritable ACE, and opening an existing key leaves its security alone.
#include "AceRecord.h"
#include "KeyDaclBuilder.h"
#include "ScratchKeyTest.h"
#include "platform/PlatformInfo.h"

namespace {

class KeySecurityTest : public ScratchKeyTest {
protected:
    void SetUp() override {
        ScratchKeyTest::SetUp();
        ASSERT_TRUE(m_Dacl.IsBuilt());
    }

    KeyDaclBuilder m_Dacl;
};

// Wine's RegCreateKeyExW ignores the security attributes (the key gets Wine's
// default DACL); the expectation flips there so that a fixed Wine shows.
TEST_F(KeySecurityTest, CreatedKeyCarriesExactlyTheRequestedAces) {
    DWORD dwDisposition = 0;
    HKEY hKey = KeyCreate(L"Everyone", m_Dacl.Attributes(), &dwDisposition);
    ASSERT_NE(hKey, nullptr);
    EXPECT_EQ(dwDisposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    const std::vector<AceRecord> Aces = AceRecord::FromKey(hKey);
    if (PlatformIsWine())
        EXPECT_NE(Aces, m_Dacl.ExpectedAces()) << "Wine deviation fixed: RegCreateKeyExW applied the descriptor";
    else
        EXPECT_EQ(Aces, m_Dacl.ExpectedAces());
    RegCloseKey(hKey);
}

TEST_F(KeySecurityTest, SetKeySecurityReadsBackExactly) {
    HKEY hKey = KeyCreate(L"Secured");
    ASSERT_EQ(RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, m_Dacl.Descriptor()), ERROR_SUCCESS);
    EXPECT_EQ(AceRecord::FromKey(hKey), m_Dacl.ExpectedAces());
    RegCloseKey(hKey);
}

// Wine gives a new key its default DACL instead of the parent's inheritable
// ACEs; the expectation flips there.
TEST_F(KeySecurityTest, SubkeyInheritsOnlyTheInheritableAce) {
    HKEY hParent = KeyCreate(L"Parent");
    ASSERT_EQ(RegSetKeySecurity(hParent, DACL_SECURITY_INFORMATION, m_Dacl.Descriptor()), ERROR_SUCCESS);
    HKEY hChild = KeyCreate(L"Parent\\Child");
    const std::vector<AceRecord> Expected = {
        {ACCESS_ALLOWED_ACE_TYPE, INHERITED_ACE | OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, KEY_ALL_ACCESS,
         AceRecord::SidBytes(m_Dacl.EveryoneSid())}};
    if (PlatformIsWine())
        EXPECT_NE(AceRecord::FromKey(hChild), Expected) << "Wine deviation fixed: the subkey inherited";
    else
        EXPECT_EQ(AceRecord::FromKey(hChild), Expected);
    RegCloseKey(hChild);
    RegCloseKey(hParent);
}

TEST_F(KeySecurityTest, OpeningAnExistingKeyLeavesItsSecurityUnchanged) {
    HKEY hKey = KeyCreate(L"Existing");
    const std::vector<AceRecord> Before = AceRecord::FromKey(hKey);
    RegCloseKey(hKey);
    ASSERT_FALSE(Before.empty());
    DWORD dwDisposition = 0;
    hKey = KeyCreate(L"Existing", m_Dacl.Attributes(), &dwDisposition);
    EXPECT_EQ(dwDisposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(AceRecord::FromKey(hKey), Before);
    RegCloseKey(hKey);
}

TEST_F(KeySecurityTest, TooSmallBufferReportsTheNeededSize) {
    HKEY hKey = KeyCreate(L"Sized");
    ASSERT_EQ(RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, m_Dacl.Descriptor()), ERROR_SUCCESS);
    DWORD cbNeeded = 0;
    ASSERT_EQ(RegGetKeySecurity(hKey, DACL_SECURITY_INFORMATION, nullptr, &cbNeeded), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_GE(cbNeeded, 20u + m_Dacl.Acl()->AclSize);  // self-relative header plus the ACL
    std::vector<BYTE> Descriptor(cbNeeded);
    DWORD cbShort = cbNeeded - 1;
    EXPECT_EQ(RegGetKeySecurity(hKey, DACL_SECURITY_INFORMATION, Descriptor.data(), &cbShort),
              ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(cbShort, cbNeeded);
    DWORD cbFull = cbNeeded;
    ASSERT_EQ(RegGetKeySecurity(hKey, DACL_SECURITY_INFORMATION, Descriptor.data(), &cbFull), ERROR_SUCCESS);
    EXPECT_TRUE(IsValidSecurityDescriptor(Descriptor.data()));
    EXPECT_EQ(GetSecurityDescriptorLength(Descriptor.data()), cbFull);
    RegCloseKey(hKey);
}

}  // namespace
