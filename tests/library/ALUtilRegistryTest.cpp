#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "DebugLevelScope.h"
#include "KeyDaclDescribe.h"
#include "LogLine.h"
#include "platform/DebugCapture.h"
#include "platform/PlatformInfo.h"
#include "platform/win32.h"
#include "support/ALUtilRegistry.h"

namespace {

// Each test works below a key of its own process under HKLM and removes it.
class ALUtilRegistryTest : public ::testing::Test {
protected:
    ALUtilRegistryTest() : m_Root(L"Software\\NimboTests\\Support" + std::to_wstring(GetCurrentProcessId())) {}
    void SetUp() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_Root.c_str()); }
    void TearDown() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_Root.c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\NimboTests");  // when no other run uses it
    }

    std::wstring Path(const std::wstring& Below) const { return m_Root + L"\\" + Below; }
    bool KeyExists(const std::wstring& KeyPath) const {
        HKEY hKey = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
            return false;
        RegCloseKey(hKey);
        return true;
    }
    HKEY KeyCreate(const std::wstring& KeyPath) const {
        HKEY hKey = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
                  ERROR_SUCCESS);
        return hKey;
    }
    std::string DaclOf(const std::wstring& KeyPath) const {
        HKEY hKey = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath.c_str(), 0, READ_CONTROL, &hKey) != ERROR_SUCCESS)
            return "cannot open";
        const std::string Text = DaclDescribe(hKey);
        RegCloseKey(hKey);
        return Text;
    }
    std::vector<std::wstring> Lines() const { return m_Capture.Lines(); }

    std::wstring m_Root;
    DebugLevelScope m_Level{static_cast<DWORD>(AL_DEBUG_ERROR | AL_DEBUG_DRIVER_CONTROL)};
    DebugCapture m_Capture;
};

TEST_F(ALUtilRegistryTest, ValueGetReadsAnyType) {
    HKEY hKey = KeyCreate(Path(L"Read"));
    const DWORD Stored = 0x01020304;
    ASSERT_EQ(RegSetValueExW(hKey, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Stored), sizeof(Stored)),
              ERROR_SUCCESS);
    RegCloseKey(hKey);
    m_Capture.Clear();

    DWORD Value = 0;
    DWORD Size = sizeof(Value);
    EXPECT_TRUE(ALUtilRegistryValueGet(HKEY_LOCAL_MACHINE, Path(L"Read").c_str(), L"Count",
                                       reinterpret_cast<BYTE*>(&Value), &Size));
    EXPECT_EQ(Value, Stored);
    EXPECT_EQ(Size, sizeof(Value));
    EXPECT_TRUE(Lines().empty());
}

TEST_F(ALUtilRegistryTest, ValueGetOfAMissingValueLeavesTheBuffer) {
    RegCloseKey(KeyCreate(Path(L"Read")));
    DWORD Value = 0xA5A5A5A5;
    DWORD Size = sizeof(Value);
    EXPECT_FALSE(ALUtilRegistryValueGet(HKEY_LOCAL_MACHINE, Path(L"Read").c_str(), L"Absent",
                                        reinterpret_cast<BYTE*>(&Value), &Size));
    EXPECT_EQ(Value, 0xA5A5A5A5u);
    EXPECT_EQ(Lines(), std::vector<std::wstring>{
                           LogLine(L"ALUtilRegistryValueGet RegQueryValueExW failed! Absent ERROR_FILE_NOT_FOUND\n")});
}

TEST_F(ALUtilRegistryTest, ValueGetOfAMissingKeyDoesNotCreateIt) {
    const std::wstring Missing = Path(L"NoSuchKey");
    DWORD Value = 0xA5A5A5A5;
    DWORD Size = sizeof(Value);
    EXPECT_FALSE(ALUtilRegistryValueGet(HKEY_LOCAL_MACHINE, Missing.c_str(), L"Count",
                                        reinterpret_cast<BYTE*>(&Value), &Size));
    EXPECT_EQ(Value, 0xA5A5A5A5u);
    EXPECT_EQ(Lines(), std::vector<std::wstring>{LogLine(
                           L"ALUtilRegistryValueGet ALUtilPrivateRegistryKeyCreateWithEveryoneAccess failed! " +
                           Missing + L" 2\n")});
    EXPECT_FALSE(KeyExists(Missing));
}

TEST_F(ALUtilRegistryTest, ValueGetOfAValueTooLargeLogsTheCode) {
    HKEY hKey = KeyCreate(Path(L"Read"));
    const BYTE Large[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(RegSetValueExW(hKey, L"Large", 0, REG_BINARY, Large, sizeof(Large)), ERROR_SUCCESS);
    RegCloseKey(hKey);
    m_Capture.Clear();

    DWORD Value = 0;
    DWORD Size = sizeof(Value);
    EXPECT_FALSE(ALUtilRegistryValueGet(HKEY_LOCAL_MACHINE, Path(L"Read").c_str(), L"Large",
                                        reinterpret_cast<BYTE*>(&Value), &Size));
    EXPECT_EQ(Lines(), std::vector<std::wstring>{
                           LogLine(L"ALUtilRegistryValueGet RegQueryValueExW failed! Large 234\n")});
}

struct ValueSetCase {
    const char* Name;
    DWORD Type;
    std::vector<BYTE> Data;
    const wchar_t* ExpectedTail;  // after "Value: Setting"
};

std::vector<BYTE> WideBytes(const std::wstring& Text, bool bTerminated) {
    const size_t Units = Text.size() + (bTerminated ? 1 : 0);
    std::vector<BYTE> Bytes(Units * sizeof(wchar_t));
    memcpy(Bytes.data(), Text.c_str(), Bytes.size());
    return Bytes;
}

const ValueSetCase kValueSetCases[] = {
    {"binary", REG_BINARY, {1, 0, 0, 0}, L"\n"},
    {"dword", REG_DWORD, {7, 0, 0, 0}, L"\n"},
    {"string", REG_SZ, WideBytes(L"hello", true), L" Data: hello\n"},
    {"string without terminator", REG_SZ, WideBytes(L"abc", false), L" Data: abc\n"},
};

class ALUtilRegistryValueSetTest : public ALUtilRegistryTest,
                                   public ::testing::WithParamInterface<ValueSetCase> {};

// A write creates the path, stores the bytes with their type, and logs the
// data only for strings.
TEST_P(ALUtilRegistryValueSetTest, CreatesThePathAndLogsByType) {
    const ValueSetCase& Case = GetParam();
    const std::wstring KeyPath = Path(L"Enum\\Instance");
    ASSERT_FALSE(KeyExists(KeyPath));
    EXPECT_TRUE(ZKLUtilRegistryValueSet(HKEY_LOCAL_MACHINE, KeyPath.c_str(), L"Setting", Case.Type, Case.Data.data(),
                                        static_cast<DWORD>(Case.Data.size())));
    EXPECT_EQ(Lines(), std::vector<std::wstring>{LogLine(L"ZKLUtilRegistryValueSet Path: " + KeyPath +
                                                         L" Value: Setting" + Case.ExpectedTail)})
        << Case.Name;

    std::vector<BYTE> Stored(64);
    DWORD Size = static_cast<DWORD>(Stored.size());
    DWORD Type = REG_NONE;
    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath.c_str(), 0, KEY_QUERY_VALUE, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(hKey, L"Setting", nullptr, &Type, Stored.data(), &Size), ERROR_SUCCESS);
    RegCloseKey(hKey);
    Stored.resize(Size);
    EXPECT_EQ(Type, Case.Type) << Case.Name;
    if (Case.Type != REG_SZ) {  // the system may terminate a string that was not
        EXPECT_EQ(Stored, Case.Data) << Case.Name;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ALUtilRegistryValueSetTest, ::testing::ValuesIn(kValueSetCases));

TEST_F(ALUtilRegistryTest, ValueSetOnlyTracesAtDriverControl) {
    DebugLevelScope ErrorsOnly(AL_DEBUG_ERROR);
    const DWORD Data = 1;
    EXPECT_TRUE(ZKLUtilRegistryValueSet(HKEY_LOCAL_MACHINE, Path(L"Quiet").c_str(), L"Setting", REG_BINARY,
                                        reinterpret_cast<const BYTE*>(&Data), sizeof(Data)));
    EXPECT_TRUE(Lines().empty());
}

// A key the library creates carries exactly two entries: Everyone with full
// access inherited by subkeys and values, then the Administrators with full
// access for the key itself.
TEST_F(ALUtilRegistryTest, NewKeyGetsTheEveryoneDacl) {
    HKEY hKey = nullptr;
    ASSERT_TRUE(ALUtilPrivateRegistryKeyCreateWithEveryoneAccess(HKEY_LOCAL_MACHINE, Path(L"New").c_str(), &hKey));
    RegCloseKey(hKey);
    const DWORD Data = 1;
    ASSERT_TRUE(ZKLUtilRegistryValueSet(HKEY_LOCAL_MACHINE, Path(L"Written").c_str(), L"Setting", REG_BINARY,
                                        reinterpret_cast<const BYTE*>(&Data), sizeof(Data)));
    if (PlatformIsWine()) {
        // Wine's RegCreateKeyExW ignores the security attributes: the key gets
        // Wine's default DACL. A pass here means Wine has been fixed.
        EXPECT_NE(DaclOf(Path(L"New")), kEveryoneDacl) << "Wine deviation gone";
        EXPECT_NE(DaclOf(Path(L"Written")), kEveryoneDacl) << "Wine deviation gone";
    } else {
        EXPECT_EQ(DaclOf(Path(L"New")), kEveryoneDacl);
        EXPECT_EQ(DaclOf(Path(L"Written")), kEveryoneDacl);
    }
    EXPECT_TRUE(Lines().size() == 1u) << "only the write's trace line";
}

// An existing key is only opened: its own DACL stays as it was.
TEST_F(ALUtilRegistryTest, ExistingKeyKeepsItsSecurity) {
    HKEY hKey = KeyCreate(Path(L"Existing"));
    // A DACL of its own, different from the library's: Everyone only, no
    // inheritance.
    const WellKnownSid Everyone(false);
    BYTE AclBuffer[256];
    PACL pAcl = reinterpret_cast<PACL>(AclBuffer);
    ASSERT_TRUE(InitializeAcl(pAcl, sizeof(AclBuffer), ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAceEx(pAcl, ACL_REVISION, 0, KEY_ALL_ACCESS, Everyone.Get()));
    SECURITY_DESCRIPTOR Descriptor;
    ASSERT_TRUE(InitializeSecurityDescriptor(&Descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&Descriptor, TRUE, pAcl, FALSE));
    ASSERT_EQ(RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, &Descriptor), ERROR_SUCCESS);
    RegCloseKey(hKey);
    const std::string Before = DaclOf(Path(L"Existing"));
    ASSERT_EQ(Before, "allow 000F003F - Everyone");

    const DWORD Data = 1;
    EXPECT_TRUE(ZKLUtilRegistryValueSet(HKEY_LOCAL_MACHINE, Path(L"Existing").c_str(), L"Setting", REG_BINARY,
                                        reinterpret_cast<const BYTE*>(&Data), sizeof(Data)));
    EXPECT_EQ(DaclOf(Path(L"Existing")), Before);
}

TEST_F(ALUtilRegistryTest, KeyDeleteRemovesTheWholeSubtree) {
    HKEY hKey = KeyCreate(Path(L"Parent\\Child\\Grandchild"));
    const DWORD Data = 1;
    ASSERT_EQ(RegSetValueExW(hKey, L"Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Data), sizeof(Data)),
              ERROR_SUCCESS);
    RegCloseKey(hKey);
    m_Capture.Clear();

    ZKLUtilRegistryKeyDelete(HKEY_LOCAL_MACHINE, Path(L"Parent").c_str(), L"Child");
    EXPECT_FALSE(KeyExists(Path(L"Parent\\Child")));
    EXPECT_TRUE(KeyExists(Path(L"Parent")));
    EXPECT_TRUE(Lines().empty());
}

// Deleting below a missing path creates the path, then reports the missing
// subkey once, with code 2.
TEST_F(ALUtilRegistryTest, KeyDeleteOfAMissingSubkeyLogsOnceAndKeepsTheParent) {
    ZKLUtilRegistryKeyDelete(HKEY_LOCAL_MACHINE, Path(L"Parent").c_str(), L"Missing");
    EXPECT_EQ(Lines(), std::vector<std::wstring>{
                           LogLine(L"ZKLUtilRegistryKeyDelete  RegDeleteTree failed! Missing Error:2\n")});
    EXPECT_TRUE(KeyExists(Path(L"Parent")));
}

// A root the system rejects makes every creating call fail with its own
// texts, in order.
TEST_F(ALUtilRegistryTest, CreateFailuresAreLoggedByEveryCaller) {
    const HKEY hBadRoot = reinterpret_cast<HKEY>(uintptr_t{0x7654});
    const std::wstring KeyPath = Path(L"Bad");
    const std::wstring CreateFailed =
        L"ALUtilPrivateRegistryKeyCreateWithEveryoneAccess  RegCreateKeyExW failed! " + KeyPath + L" 6\n";

    HKEY hKey = nullptr;
    EXPECT_FALSE(ALUtilPrivateRegistryKeyCreateWithEveryoneAccess(hBadRoot, KeyPath.c_str(), &hKey));
    EXPECT_EQ(Lines(), std::vector<std::wstring>{LogLine(CreateFailed)});

    m_Capture.Clear();
    DebugLevelScope ErrorsOnly(AL_DEBUG_ERROR);
    const DWORD Data = 1;
    EXPECT_FALSE(ZKLUtilRegistryValueSet(hBadRoot, KeyPath.c_str(), L"Setting", REG_BINARY,
                                         reinterpret_cast<const BYTE*>(&Data), sizeof(Data)));
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{
                           LogLine(CreateFailed),
                           LogLine(L"ZKLUtilRegistryValueSet RegCreateKeyExW failed! " + KeyPath + L"\n")}));

    m_Capture.Clear();
    ZKLUtilRegistryKeyDelete(hBadRoot, KeyPath.c_str(), L"Sub");
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{
                           LogLine(CreateFailed),
                           LogLine(L"ZKLUtilRegistryKeyDelete ALUtilPrivateRegistryKeyCreateWithEveryoneAccess failed! Sub\n")}));
}

}  // namespace
