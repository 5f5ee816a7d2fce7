// The registry utilities on the simulated machine: what only the machine can
// show (handles and blocks left behind, a caller without administrator
// rights).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/DebugLevelScope.h"
#include "library/LogLine.h"
#include "platform/DebugCapture.h"
#include "platform/machine.h"
#include "platform/win32.h"
#include "support/ALUtilRegistry.h"

namespace {

const wchar_t kServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\vantorService";
const wchar_t kEnumKey[] = L"Software\\quillark\\Nimbo\\Enum\\Instance1";

class ALUtilRegistryMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        MachineRegistryReset();
        MachineRegistryCallerAdministratorSet(true);
        m_Capture.Clear();
    }
    void TearDown() override {
        MachineRegistryCallerAdministratorSet(true);
        MachineRegistryReset();
    }

    static bool AssignmentWrite(const wchar_t* pKeyPath, DWORD Value) {
        return ZKLUtilRegistryValueSet(HKEY_LOCAL_MACHINE, pKeyPath, L"MonitorAssignment", REG_BINARY,
                                       reinterpret_cast<const BYTE*>(&Value), sizeof(Value));
    }

    DebugLevelScope m_Level{AL_DEBUG_ERROR};
    DebugCapture m_Capture;
};

struct ReleaseCase {
    const char* Name;
    bool bAdministrator;
    void (*Run)();
};

void CreateAndClose(const wchar_t* pPath) {
    HKEY hKey = nullptr;
    if (ALUtilPrivateRegistryKeyCreateWithEveryoneAccess(HKEY_LOCAL_MACHINE, pPath, &hKey))
        RegCloseKey(hKey);
}

void ValueRead(const wchar_t* pPath, const wchar_t* pName) {
    DWORD Value = 0;
    DWORD Size = sizeof(Value);
    ALUtilRegistryValueGet(HKEY_LOCAL_MACHINE, pPath, pName, reinterpret_cast<BYTE*>(&Value), &Size);
}

void ValueWrite(const wchar_t* pPath) {
    const DWORD Value = 1;
    ZKLUtilRegistryValueSet(HKEY_LOCAL_MACHINE, pPath, L"MonitorAssignment", REG_BINARY,
                            reinterpret_cast<const BYTE*>(&Value), sizeof(Value));
}

const ReleaseCase kReleaseCases[] = {
    {"create new key", true, [] { CreateAndClose(kEnumKey); }},
    {"create existing key", true, [] { CreateAndClose(L"SYSTEM\\CurrentControlSet\\Services"); }},
    {"create denied", false, [] { CreateAndClose(L"SYSTEM\\CurrentControlSet\\Services"); }},
    {"read missing key", true, [] { ValueRead(kServiceKey, L"DebugLevelAL"); }},
    {"read missing value", true, [] { ValueRead(L"SYSTEM\\CurrentControlSet\\Services", L"DebugLevelAL"); }},
    {"write new key", true, [] { ValueWrite(kEnumKey); }},
    {"write denied", false, [] { ValueWrite(kServiceKey); }},
    {"delete missing subkey", true,
     [] { ZKLUtilRegistryKeyDelete(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers", L"Connectivity"); }},
    {"delete denied", false,
     [] { ZKLUtilRegistryKeyDelete(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Class", L"Enum"); }},
};

class ALUtilRegistryReleaseTest : public ALUtilRegistryMachineTest,
                                  public ::testing::WithParamInterface<ReleaseCase> {};

// Every path gives back what it obtained: key handles, SIDs, the ACL and the
// descriptor (LocalAlloc blocks).
TEST_P(ALUtilRegistryReleaseTest, LeavesNoHandleAndNoBlock) {
    const ReleaseCase& Case = GetParam();
    MachineRegistryCallerAdministratorSet(Case.bAdministrator);
    const size_t KeysBefore = MachineRegistryOpenKeyCount();
    const long BlocksBefore = MachineLocalBlocksLive();
    Case.Run();
    EXPECT_EQ(MachineRegistryOpenKeyCount(), KeysBefore) << Case.Name;
    EXPECT_EQ(MachineLocalBlocksLive(), BlocksBefore) << Case.Name;
}

INSTANTIATE_TEST_SUITE_P(Table, ALUtilRegistryReleaseTest, ::testing::ValuesIn(kReleaseCases));

// An existing key keeps its own security and is opened with full access, so
// a caller without full access to it is refused, with both texts.
TEST_F(ALUtilRegistryMachineTest, WriteBelowAProtectedKeyIsRefusedToAUser) {
    MachineRegistryCallerAdministratorSet(false);
    EXPECT_FALSE(AssignmentWrite(kServiceKey, 1));
    EXPECT_EQ(m_Capture.Lines(),
              (std::vector<std::wstring>{
                  LogLine(std::wstring(L"ALUtilPrivateRegistryKeyCreateWithEveryoneAccess  RegCreateKeyExW failed! ") +
                          kServiceKey + L" 5\n"),
                  LogLine(std::wstring(L"ZKLUtilRegistryValueSet RegCreateKeyExW failed! ") + kServiceKey + L"\n")}));
    EXPECT_FALSE(MachineRegistryKeyExists(kServiceKey));
}

// What the DACL is for: a key the library created (as an installer does)
// stays writable for every account afterwards.
TEST_F(ALUtilRegistryMachineTest, KeyCreatedByTheLibraryStaysWritableForEveryone) {
    ASSERT_TRUE(AssignmentWrite(kEnumKey, 1));
    MachineRegistryCallerAdministratorSet(false);
    EXPECT_TRUE(AssignmentWrite(kEnumKey, 2));
    DWORD Value = 0;
    DWORD Size = sizeof(Value);
    EXPECT_TRUE(ALUtilRegistryValueGet(HKEY_LOCAL_MACHINE, kEnumKey, L"MonitorAssignment",
                                       reinterpret_cast<BYTE*>(&Value), &Size));
    EXPECT_EQ(Value, 2u);
    EXPECT_TRUE(m_Capture.Lines().empty());
}

}  // namespace
