// The simulated registry's machine side: callers without administrator
// rights, reset, handle accounting and the access checks the library meets.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "conformance/KeyDaclBuilder.h"
#include "platform/machine.h"
#include "platform/win32.h"

namespace {

constexpr const wchar_t* kServiceKey = L"SYSTEM\\CurrentControlSet\\Services\\vantorService";

class MachineRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        MachineRegistryCallerAdministratorSet(true);
        MachineRegistryReset();
        m_HandlesBefore = MachineRegistryOpenKeyCount();
    }
    void TearDown() override {
        EXPECT_EQ(MachineRegistryOpenKeyCount(), m_HandlesBefore) << "key handle leaked";
        MachineRegistryCallerAdministratorSet(true);
        MachineRegistryReset();
    }

    static LSTATUS Create(const wchar_t* pPath, REGSAM Access, HKEY* phKey, LPSECURITY_ATTRIBUTES pAttributes = nullptr) {
        return RegCreateKeyExW(HKEY_LOCAL_MACHINE, pPath, 0, nullptr, REG_OPTION_NON_VOLATILE, Access, pAttributes,
                               phKey, nullptr);
    }

    size_t m_HandlesBefore = 0;
};

TEST_F(MachineRegistryTest, FreshMachineHasTheStandardKeysOnly) {
    EXPECT_TRUE(MachineRegistryKeyExists(L"SYSTEM\\CurrentControlSet\\Services"));
    EXPECT_TRUE(MachineRegistryKeyExists(L"software\\microsoft\\windows nt\\currentversion"));
    EXPECT_FALSE(MachineRegistryKeyExists(kServiceKey));
}

TEST_F(MachineRegistryTest, NonAdministratorLacksFullAccessToAnInheritingKey) {
    HKEY hKey = nullptr;
    ASSERT_EQ(Create(kServiceKey, KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
    RegCloseKey(hKey);
    MachineRegistryCallerAdministratorSet(false);

    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_ALL_ACCESS, &hKey), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Create(kServiceKey, KEY_ALL_ACCESS, &hKey), ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_QUERY_VALUE, &hKey), ERROR_SUCCESS);
    const DWORD dwData = 1;
    EXPECT_EQ(RegSetValueExW(hKey, L"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwData), 4),
              ERROR_ACCESS_DENIED);
    RegCloseKey(hKey);
}

TEST_F(MachineRegistryTest, NonAdministratorCannotCreateBelowAProtectedKey) {
    MachineRegistryCallerAdministratorSet(false);
    HKEY hKey = nullptr;
    EXPECT_EQ(Create(L"SOFTWARE\\quillark\\Nimbo", KEY_ALL_ACCESS, &hKey), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(MachineRegistryKeyExists(L"SOFTWARE\\quillark"));
}

TEST_F(MachineRegistryTest, EveryoneKeyStaysWritableForANonAdministrator) {
    KeyDaclBuilder Dacl;
    ASSERT_TRUE(Dacl.IsBuilt());
    HKEY hKey = nullptr;
    ASSERT_EQ(Create(L"SOFTWARE\\quillark\\Nimbo\\Enum", KEY_ALL_ACCESS, &hKey, Dacl.Attributes()), ERROR_SUCCESS);
    RegCloseKey(hKey);
    MachineRegistryCallerAdministratorSet(false);

    ASSERT_EQ(Create(L"SOFTWARE\\quillark\\Nimbo\\Enum", KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
    const DWORD dwData = 2;
    EXPECT_EQ(RegSetValueExW(hKey, L"MonitorAssignment", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&dwData), 4),
              ERROR_SUCCESS);
    HKEY hChild = nullptr;
    EXPECT_EQ(RegCreateKeyExW(hKey, L"Instance", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hChild, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(hChild);
    RegCloseKey(hKey);
}

TEST_F(MachineRegistryTest, ResetTurnsOpenHandlesIntoDeletedKeys) {
    HKEY hKey = nullptr;
    ASSERT_EQ(Create(kServiceKey, KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(MachineRegistryOpenKeyCount(), m_HandlesBefore + 1);
    MachineRegistryReset();
    EXPECT_FALSE(MachineRegistryKeyExists(kServiceKey));
    DWORD cbData = 0;
    EXPECT_EQ(RegQueryValueExW(hKey, L"V", nullptr, nullptr, nullptr, &cbData), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(hKey), ERROR_INVALID_HANDLE);
}

TEST_F(MachineRegistryTest, TreeDeletionIsAllOrNothing) {
    HKEY hKey = nullptr;
    ASSERT_EQ(Create(L"SOFTWARE\\Tree\\Locked", KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
    // A DACL that grants only reading: not even an administrator may delete.
    SID_IDENTIFIER_AUTHORITY World = SECURITY_WORLD_SID_AUTHORITY;
    PSID pEveryone = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&World, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &pEveryone));
    alignas(DWORD) BYTE AclBuffer[64];
    auto* pAcl = reinterpret_cast<PACL>(AclBuffer);
    ASSERT_TRUE(InitializeAcl(pAcl, sizeof(AclBuffer), ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAceEx(pAcl, ACL_REVISION, 0, KEY_READ, pEveryone));
    SECURITY_DESCRIPTOR Descriptor;
    ASSERT_TRUE(InitializeSecurityDescriptor(&Descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&Descriptor, TRUE, pAcl, FALSE));
    ASSERT_EQ(RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, &Descriptor), ERROR_SUCCESS);
    RegCloseKey(hKey);
    FreeSid(pEveryone);

    EXPECT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tree"), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(MachineRegistryKeyExists(L"SOFTWARE\\Tree\\Locked"));
}

TEST_F(MachineRegistryTest, OnlyLocalMachineExists) {
    HKEY hKey = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &hKey), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"\\SOFTWARE", 0, KEY_READ, &hKey), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\\\Microsoft", 0, KEY_READ, &hKey), ERROR_BAD_PATHNAME);
}

TEST_F(MachineRegistryTest, ConcurrentWritersKeepTheTreeConsistent) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 100;
    std::atomic<int> Failures{0};
    std::vector<std::thread> Workers;
    for (int t = 0; t < kThreads; ++t) {
        Workers.emplace_back([t, &Failures] {
            const std::wstring Path = L"SOFTWARE\\Stress\\Worker" + std::to_wstring(t);
            for (int i = 0; i < kRounds; ++i) {
                HKEY hKey = nullptr;
                if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey,
                                    nullptr) != ERROR_SUCCESS) {
                    ++Failures;
                    continue;
                }
                const DWORD dwData = static_cast<DWORD>(i);
                DWORD dwRead = 0;
                DWORD cbRead = 4;
                if (RegSetValueExW(hKey, L"Round", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwData), 4) ||
                    RegQueryValueExW(hKey, L"Round", nullptr, nullptr, reinterpret_cast<BYTE*>(&dwRead), &cbRead) ||
                    dwRead != dwData)
                    ++Failures;
                RegCloseKey(hKey);
                if (RegDeleteTreeW(HKEY_LOCAL_MACHINE, Path.c_str()) != ERROR_SUCCESS)
                    ++Failures;
            }
        });
    }
    for (std::thread& Worker : Workers)
        Worker.join();
    EXPECT_EQ(Failures.load(), 0);
    HKEY hStress = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Stress", 0, KEY_READ, &hStress), ERROR_SUCCESS);
    WCHAR Name[32];
    DWORD cchName = 32;
    EXPECT_EQ(RegEnumKeyExW(hStress, 0, Name, &cchName, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(hStress);
}

}  // namespace
