// Registry keys and values: the Win32 behaviour that the library's registry
// utilities rely on (types, sizes, error codes, case rules, tree deletion).
#include <cstring>
#include <string>
#include <vector>

#include "ScratchKeyTest.h"

namespace {

std::vector<BYTE> WideBytes(const wchar_t* pText, size_t Count) {
    const auto* p = reinterpret_cast<const BYTE*>(pText);
    return std::vector<BYTE>(p, p + Count * sizeof(wchar_t));
}

struct ValueCase {
    const char* pLabel;
    DWORD Type;
    std::vector<BYTE> Data;
};

std::vector<ValueCase> ValueCases() {
    const DWORD dwLevel = 0x12345678;
    const auto* pLevel = reinterpret_cast<const BYTE*>(&dwLevel);
    static const wchar_t kText[] = L"Nimbo value";
    static const wchar_t kMulti[] = L"first\0second\0";  // the literal adds the final terminator
    return {
        {"Dword", REG_DWORD, std::vector<BYTE>(pLevel, pLevel + sizeof(dwLevel))},
        {"Binary", REG_BINARY, {0x01, 0x00, 0xFF, 0x7F, 0x80}},
        {"EmptyBinary", REG_BINARY, {}},
        {"String", REG_SZ, WideBytes(kText, sizeof(kText) / sizeof(wchar_t))},
        {"MultiString", REG_MULTI_SZ, WideBytes(kMulti, sizeof(kMulti) / sizeof(wchar_t))},
    };
}

class RegistryValueTest : public ScratchKeyTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(RegistryValueTest, ReadsBackTypeSizeAndBytes) {
    const ValueCase& Case = GetParam();
    const auto cbData = static_cast<DWORD>(Case.Data.size());
    ASSERT_EQ(RegSetValueExW(m_hScratch, L"Value", 0, Case.Type, Case.Data.data(), cbData), ERROR_SUCCESS);

    DWORD dwType = 0xdeadbeef;
    DWORD cbNeeded = 0;
    ASSERT_EQ(RegQueryValueExW(m_hScratch, L"Value", nullptr, &dwType, nullptr, &cbNeeded), ERROR_SUCCESS);
    EXPECT_EQ(dwType, Case.Type);
    EXPECT_EQ(cbNeeded, cbData);

    std::vector<BYTE> Read(cbData + 8, 0xCC);
    DWORD cbRead = static_cast<DWORD>(Read.size());
    ASSERT_EQ(RegQueryValueExW(m_hScratch, L"Value", nullptr, &dwType, Read.data(), &cbRead), ERROR_SUCCESS);
    EXPECT_EQ(cbRead, cbData);
    Read.resize(cbRead);
    EXPECT_EQ(Read, Case.Data);
}

TEST_P(RegistryValueTest, TooSmallBufferGivesMoreDataAndTheNeededSize) {
    const ValueCase& Case = GetParam();
    const auto cbData = static_cast<DWORD>(Case.Data.size());
    ASSERT_EQ(RegSetValueExW(m_hScratch, L"Value", 0, Case.Type, Case.Data.data(), cbData), ERROR_SUCCESS);
    if (cbData == 0) {  // no buffer is too small for an empty value
        BYTE Unused = 0;
        DWORD cbNone = 0;
        EXPECT_EQ(RegQueryValueExW(m_hScratch, L"Value", nullptr, nullptr, &Unused, &cbNone), ERROR_SUCCESS);
        EXPECT_EQ(cbNone, 0u);
        return;
    }
    std::vector<BYTE> Read(cbData - 1);
    DWORD cbRead = cbData - 1;
    DWORD dwType = 0;
    EXPECT_EQ(RegQueryValueExW(m_hScratch, L"Value", nullptr, &dwType, Read.data(), &cbRead), ERROR_MORE_DATA);
    EXPECT_EQ(cbRead, cbData);
    EXPECT_EQ(dwType, Case.Type);
}

INSTANTIATE_TEST_SUITE_P(Types, RegistryValueTest, ::testing::ValuesIn(ValueCases()),
                         [](const auto& Info) { return std::string(Info.param.pLabel); });

using RegistryTest = ScratchKeyTest;

TEST_F(RegistryTest, MissingValueIsFileNotFoundAndBufferKeepsItsContents) {
    DWORD dwData = 0xA5A5A5A5;
    DWORD cbData = sizeof(dwData);
    EXPECT_EQ(RegQueryValueExW(m_hScratch, L"Absent", nullptr, nullptr, reinterpret_cast<BYTE*>(&dwData), &cbData),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(dwData, 0xA5A5A5A5u);
    EXPECT_EQ(RegDeleteValueW(m_hScratch, L"Absent"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, MissingKeyIsFileNotFoundAndIsNotCreated) {
    HKEY hKey = nullptr;
    EXPECT_EQ(RegOpenKeyExW(m_hScratch, L"Absent\\Deeper", 0, KEY_QUERY_VALUE, &hKey), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExW(m_hScratch, L"Absent", 0, KEY_QUERY_VALUE, &hKey), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, CreateMakesIntermediateKeysAndReportsDisposition) {
    DWORD dwDisposition = 0;
    HKEY hKey = KeyCreate(L"One\\Two\\Three", nullptr, &dwDisposition);
    EXPECT_EQ(dwDisposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(hKey);
    hKey = KeyCreate(L"One\\Two\\Three", nullptr, &dwDisposition);
    EXPECT_EQ(dwDisposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(hKey);
    HKEY hMiddle = nullptr;
    ASSERT_EQ(RegOpenKeyExW(m_hScratch, L"One\\Two", 0, KEY_READ, &hMiddle), ERROR_SUCCESS);
    RegCloseKey(hMiddle);
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirCase) {
    RegCloseKey(KeyCreate(L"MixedCase"));
    const DWORD dwData = 7;
    ASSERT_EQ(RegSetValueExW(m_hScratch, L"ValueName", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwData),
                             sizeof(dwData)),
              ERROR_SUCCESS);

    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(m_hScratch, L"MIXEDcase", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    RegCloseKey(hKey);
    DWORD dwRead = 0;
    DWORD cbRead = sizeof(dwRead);
    ASSERT_EQ(RegQueryValueExW(m_hScratch, L"valuename", nullptr, nullptr, reinterpret_cast<BYTE*>(&dwRead), &cbRead),
              ERROR_SUCCESS);
    EXPECT_EQ(dwRead, 7u);

    WCHAR Name[64];
    DWORD cchName = 64;
    ASSERT_EQ(RegEnumKeyExW(m_hScratch, 0, Name, &cchName, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(Name, cchName), L"MixedCase");
    cchName = 64;
    ASSERT_EQ(RegEnumValueW(m_hScratch, 0, Name, &cchName, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(Name, cchName), L"ValueName");
}

TEST_F(RegistryTest, EnumerationListsSubkeysByNameThenEnds) {
    for (const wchar_t* pName : {L"charlie", L"Alpha", L"bravo"})
        RegCloseKey(KeyCreate(pName));
    std::vector<std::wstring> Names;
    for (DWORD i = 0;; ++i) {
        WCHAR Name[64];
        DWORD cchName = 64;
        const LSTATUS Status = RegEnumKeyExW(m_hScratch, i, Name, &cchName, nullptr, nullptr, nullptr, nullptr);
        if (Status == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(Status, ERROR_SUCCESS);
        Names.emplace_back(Name, cchName);
    }
    EXPECT_EQ(Names, (std::vector<std::wstring>{L"Alpha", L"bravo", L"charlie"}));

    WCHAR Short[3];
    DWORD cchShort = 3;
    EXPECT_EQ(RegEnumKeyExW(m_hScratch, 0, Short, &cchShort, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
}

TEST_F(RegistryTest, ValueEnumerationGivesNamesTypesAndSizes) {
    const DWORD dwData = 1;
    const BYTE Binary[3] = {1, 2, 3};
    ASSERT_EQ(RegSetValueExW(m_hScratch, L"First", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwData), 4),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(m_hScratch, L"Second", 0, REG_BINARY, Binary, sizeof(Binary)), ERROR_SUCCESS);
    std::vector<std::wstring> Names;
    std::vector<DWORD> Sizes;
    for (DWORD i = 0;; ++i) {
        WCHAR Name[64];
        DWORD cchName = 64;
        DWORD dwType = 0;
        DWORD cbData = 0;
        const LSTATUS Status = RegEnumValueW(m_hScratch, i, Name, &cchName, nullptr, &dwType, nullptr, &cbData);
        if (Status == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(Status, ERROR_SUCCESS);
        Names.emplace_back(Name, cchName);
        Sizes.push_back(cbData);
    }
    EXPECT_EQ(Names, (std::vector<std::wstring>{L"First", L"Second"}));
    EXPECT_EQ(Sizes, (std::vector<DWORD>{4, 3}));
}

TEST_F(RegistryTest, DeleteTreeOfMissingSubkeyIsFileNotFoundAndParentStays) {
    EXPECT_EQ(RegDeleteTreeW(m_hScratch, L"Absent"), ERROR_FILE_NOT_FOUND);
    HKEY hKey = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kScratchPath, 0, KEY_READ, &hKey), ERROR_SUCCESS);
    RegCloseKey(hKey);
}

TEST_F(RegistryTest, DeleteTreeRemovesTheSubkeyWithEverythingBelowIt) {
    HKEY hDeep = KeyCreate(L"Tree\\Branch\\Leaf");
    const DWORD dwData = 1;
    ASSERT_EQ(RegSetValueExW(hDeep, L"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwData), 4), ERROR_SUCCESS);
    RegCloseKey(hDeep);
    RegCloseKey(KeyCreate(L"Sibling"));

    ASSERT_EQ(RegDeleteTreeW(m_hScratch, L"Tree"), ERROR_SUCCESS);
    HKEY hKey = nullptr;
    EXPECT_EQ(RegOpenKeyExW(m_hScratch, L"Tree", 0, KEY_READ, &hKey), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegOpenKeyExW(m_hScratch, L"Sibling", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    RegCloseKey(hKey);
}

TEST_F(RegistryTest, DeleteTreeWithoutSubkeyEmptiesTheKeyItself) {
    RegCloseKey(KeyCreate(L"Child\\Grandchild"));
    const DWORD dwData = 1;
    ASSERT_EQ(RegSetValueExW(m_hScratch, L"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwData), 4), ERROR_SUCCESS);

    ASSERT_EQ(RegDeleteTreeW(m_hScratch, nullptr), ERROR_SUCCESS);
    WCHAR Name[64];
    DWORD cchName = 64;
    EXPECT_EQ(RegEnumKeyExW(m_hScratch, 0, Name, &cchName, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    cchName = 64;
    EXPECT_EQ(RegEnumValueW(m_hScratch, 0, Name, &cchName, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegSetValueExW(m_hScratch, L"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwData), 4), ERROR_SUCCESS);
}

TEST_F(RegistryTest, DeleteKeyRefusesAKeyWithSubkeys) {
    RegCloseKey(KeyCreate(L"Parent\\Child"));
    EXPECT_EQ(RegDeleteKeyW(m_hScratch, L"Parent"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyW(m_hScratch, L"Parent\\Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(m_hScratch, L"Parent"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(m_hScratch, L"Parent"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, HandleToADeletedKeyFailsWithKeyDeleted) {
    HKEY hKey = KeyCreate(L"Doomed");
    ASSERT_EQ(RegDeleteTreeW(m_hScratch, L"Doomed"), ERROR_SUCCESS);
    const DWORD dwData = 1;
    EXPECT_EQ(RegSetValueExW(hKey, L"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwData), 4), ERROR_KEY_DELETED);
    DWORD cbData = 4;
    DWORD dwRead = 0;
    EXPECT_EQ(RegQueryValueExW(hKey, L"V", nullptr, nullptr, reinterpret_cast<BYTE*>(&dwRead), &cbData),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);
}

TEST_F(RegistryTest, ValueNamesAreReplacedNotDuplicated) {
    const DWORD dwFirst = 1;
    const DWORD dwSecond = 2;
    ASSERT_EQ(RegSetValueExW(m_hScratch, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwFirst), 4),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(m_hScratch, L"COUNT", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&dwSecond), 4),
              ERROR_SUCCESS);
    DWORD dwType = 0;
    DWORD dwRead = 0;
    DWORD cbRead = 4;
    ASSERT_EQ(RegQueryValueExW(m_hScratch, L"count", nullptr, &dwType, reinterpret_cast<BYTE*>(&dwRead), &cbRead),
              ERROR_SUCCESS);
    EXPECT_EQ(dwType, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(dwRead, 2u);
    WCHAR Name[16];
    DWORD cchName = 16;
    EXPECT_EQ(RegEnumValueW(m_hScratch, 1, Name, &cchName, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

}  // namespace
