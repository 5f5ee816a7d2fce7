// The simulated machine's device installation, files and paths: the rules of
// the Win32 documentation the setup program relies on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SetupMachineFixture.h"

namespace {

class SimulatedDeviceInstallation : public SetupMachineFixture {
protected:
    void FileWrite(const std::wstring& windowsPath, const std::string& text) const {
        std::ofstream(HostPath(windowsPath), std::ios::binary) << text;
    }
};

TEST_F(SimulatedDeviceInstallation, GeneratedIdsAreRootIdsAndUnregisteredElementsStayInvisible) {
    DeviceCreate(L"Display", L"Root\\A");
    HDEVINFO hSet = SetupDiCreateDeviceInfoList(&kDisplayClass, nullptr);
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof(data);
    ASSERT_TRUE(SetupDiCreateDeviceInfoW(hSet, L"Display", &kDisplayClass, nullptr, nullptr, DICD_GENERATE_ID, &data));
    WCHAR instanceId[64] = {};
    ASSERT_TRUE(SetupDiGetDeviceInstanceIdW(hSet, &data, instanceId, 64, nullptr));
    EXPECT_STREQ(instanceId, L"ROOT\\DISPLAY\\0001");

    HDEVINFO hPresent = SetupDiGetClassDevsW(&kDisplayClass, nullptr, nullptr, DIGCF_PRESENT);
    SP_DEVINFO_DATA enumerated = {};
    enumerated.cbSize = sizeof(enumerated);
    EXPECT_TRUE(SetupDiEnumDeviceInfo(hPresent, 0, &enumerated));
    EXPECT_FALSE(SetupDiEnumDeviceInfo(hPresent, 1, &enumerated));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(hPresent));

    EXPECT_EQ(UnregisteredDeviceCount(), 1u);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(hSet));
    EXPECT_EQ(UnregisteredDeviceCount(), 0u);
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(hSet));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(SimulatedDeviceInstallation, RegistryPropertySizesAndErrors) {
    HDEVINFO hSet = SetupDiCreateDeviceInfoList(&kDisplayClass, nullptr);
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof(data);
    ASSERT_TRUE(SetupDiCreateDeviceInfoW(hSet, L"Display", &kDisplayClass, nullptr, nullptr, DICD_GENERATE_ID, &data));
    WCHAR buffer[8] = {};
    DWORD dwRequired = 0;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyW(hSet, &data, SPDRP_HARDWAREID, nullptr, reinterpret_cast<PBYTE>(buffer), sizeof(buffer), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));

    const WCHAR list[] = L"Root\\LONGER_ID\0";
    EXPECT_FALSE(SetupDiSetDeviceRegistryPropertyW(hSet, &data, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(list), sizeof(list) - 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));  // not whole characters
    ASSERT_TRUE(SetupDiSetDeviceRegistryPropertyW(hSet, &data, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(list), sizeof(list)));
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyW(hSet, &data, SPDRP_HARDWAREID, nullptr, reinterpret_cast<PBYTE>(buffer), sizeof(buffer), &dwRequired));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(dwRequired, DWORD(sizeof(list)));

    SP_DEVINFO_DATA wrongSize = data;
    wrongSize.cbSize = sizeof(data) + 4;
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_REGISTERDEVICE, hSet, &wrongSize));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_USER_BUFFER));
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_REMOVE, hSet, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DEVINFO_NOT_REGISTERED));
    SetupDiDestroyDeviceInfoList(hSet);
}

TEST_F(SimulatedDeviceInstallation, UninstallOemInfRefusesPackagesInUseUnlessForced) {
    std::filesystem::copy_file(DataPath("korvaxSecondDisplay.inf"), Root() + "/Setup/second.inf");
    DeviceCreate(L"Display", L"Root\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0002");
    ASSERT_TRUE(DiInstallDriverW(nullptr, L"C:\\Setup\\second.inf", 0, nullptr));
    ASSERT_EQ(MachineInfStoreNames(), std::vector<std::wstring>{L"oem0.inf"});

    EXPECT_FALSE(SetupUninstallOEMInfW(L"oem0.inf", 0, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INF_IN_USE_BY_DEVICES));
    EXPECT_FALSE(SetupUninstallOEMInfW(L"second.inf", 0, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_AN_INSTALLED_OEM_INF));
    EXPECT_FALSE(SetupUninstallOEMInfW(L"oem9.inf", 0, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    EXPECT_TRUE(SetupUninstallOEMInfW(L"OEM0.INF", SUOI_FORCEDELETE, nullptr));
    EXPECT_TRUE(MachineInfStoreNames().empty());
    std::vector<MachineDevice> devices = DevicesWithHardwareId(L"Root\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0002");
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_TRUE(devices[0].DriverInfName.empty());
    EXPECT_EQ(devices[0].Problem, DWORD(CM_PROB_FAILED_INSTALL));
}

struct InfFieldCase {
    const char* Name;
    const char* Text;
    const wchar_t* Section;
    const wchar_t* Key;
    const wchar_t* Expected;  // field 1; null: the line is not found
};

class SimulatedInfField : public SimulatedDeviceInstallation, public ::testing::WithParamInterface<InfFieldCase> {};

TEST_P(SimulatedInfField, ReadsFieldOneAsWindowsDoes) {
    const InfFieldCase& testCase = GetParam();
    FileWrite(L"C:\\Setup\\case.inf", std::string("[Version]\nSignature=\"$Windows NT$\"\n") + testCase.Text);
    HINF hInf = SetupOpenInfFileW(L"C:\\Setup\\case.inf", nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(hInf, INVALID_HANDLE_VALUE);
    INFCONTEXT context = {};
    BOOL bFound = SetupFindFirstLineW(hInf, testCase.Section, testCase.Key, &context);
    if (testCase.Expected == nullptr) {
        EXPECT_FALSE(bFound);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_LINE_NOT_FOUND));
    } else {
        ASSERT_TRUE(bFound);
        WCHAR field[128] = {};
        ASSERT_TRUE(SetupGetStringFieldW(&context, 1, field, 128, nullptr));
        EXPECT_STREQ(field, testCase.Expected);
    }
    SetupCloseInfFile(hInf);
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, SimulatedInfField,
    ::testing::Values(
        InfFieldCase{"StringSubstituted", "Provider=%P%\n[Strings]\nP=\"Korvax\"\n", L"Version", L"Provider", L"Korvax"},
        InfFieldCase{"NamesIgnoreCase", "[models]\nDEVICE = x, y\n", L"Models", L"device", L"x"},
        InfFieldCase{"QuotedComma", "[S]\nK = \"a, b\" , c\n", L"S", L"K", L"a, b"},
        InfFieldCase{"CommentAndBlanks", "[S]\nK =   v1   ; trailing comment\n", L"S", L"K", L"v1"},
        InfFieldCase{"Continuation", "[S]\nK = first\\\n  , second\n", L"S", L"K", L"first"},
        InfFieldCase{"PercentEscape", "[S]\nK = 100%%\n", L"S", L"K", L"100%"},
        InfFieldCase{"SemicolonInQuotes", "[S]\nK = \"a;b\"\n", L"S", L"K", L"a;b"},
        InfFieldCase{"MissingKey", "[Version2]\nClass=Display\n", L"Version", L"Class", nullptr}),
    [](const ::testing::TestParamInfo<InfFieldCase>& info) { return std::string(info.param.Name); });

TEST_F(SimulatedDeviceInstallation, OpenInfChecksStyleClassAndSearchesTheInfDirectory) {
    FileWrite(L"C:\\Windows\\INF\\oem4.inf", "[Version]\nSignature=$Chicago$\nClass=Display\n");
    FileWrite(L"C:\\Setup\\old.inf", "[Version]\nSignature=\"$Windows 3.1$\"\n");
    FileWrite(L"C:\\Setup\\bad.inf", "Orphan=1\n[Version]\n");

    HINF hInf = SetupOpenInfFileW(L"OEM4.INF", L"display", INF_STYLE_WIN4, nullptr);
    EXPECT_NE(hInf, INVALID_HANDLE_VALUE);
    SetupCloseInfFile(hInf);
    EXPECT_EQ(SetupOpenInfFileW(L"oem4.inf", L"Net", INF_STYLE_WIN4, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_MISMATCH));
    EXPECT_EQ(SetupOpenInfFileW(L"C:\\Setup\\old.inf", nullptr, INF_STYLE_WIN4, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_WRONG_INF_STYLE));
    UINT errorLine = 0;
    EXPECT_EQ(SetupOpenInfFileW(L"C:\\Setup\\bad.inf", nullptr, INF_STYLE_WIN4, &errorLine), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_EXPECTED_SECTION_NAME));
    EXPECT_EQ(errorLine, 1u);
    EXPECT_EQ(SetupOpenInfFileW(L"C:\\Setup\\none.inf", nullptr, INF_STYLE_WIN4, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(SimulatedDeviceInstallation, FindFileMatchesWithoutCaseInNameOrder) {
    for (const wchar_t* pName : {L"C:\\Windows\\INF\\oem2.inf", L"C:\\Windows\\INF\\OEM10.INF", L"C:\\Windows\\INF\\oemx.pnf",
                                 L"C:\\Windows\\INF\\machine.inf"})
        FileWrite(pName, "x");
    WIN32_FIND_DATAW data = {};
    HANDLE hFind = FindFirstFileW(L"c:\\WINDOWS\\inf\\OEM*.INF", &data);
    ASSERT_NE(hFind, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> names{data.cFileName};
    while (FindNextFileW(hFind, &data))
        names.push_back(data.cFileName);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(hFind));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"OEM10.INF", L"oem2.inf"}));

    EXPECT_EQ(FindFirstFileW(L"C:\\Windows\\INF\\none*.inf", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FindFirstFileW(L"C:\\NoSuchFolder\\*.inf", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

struct PathCase {
    const wchar_t* Input;
    const wchar_t* StripPath;
    const wchar_t* RemoveFileSpec;
    BOOL bRemoved;
};

class SimulatedShellPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(SimulatedShellPath, StripAndRemoveFileSpec) {
    WCHAR stripped[MAX_PATH] = {};
    WCHAR removed[MAX_PATH] = {};
    wcscpy(stripped, GetParam().Input);
    wcscpy(removed, GetParam().Input);
    PathStripPathW(stripped);
    EXPECT_STREQ(stripped, GetParam().StripPath);
    EXPECT_EQ(PathRemoveFileSpecW(removed), GetParam().bRemoved);
    EXPECT_STREQ(removed, GetParam().RemoveFileSpec);
}

INSTANTIATE_TEST_SUITE_P(Paths, SimulatedShellPath,
                         ::testing::Values(PathCase{L"C:\\Windows\\INF\\oem12.inf", L"oem12.inf", L"C:\\Windows\\INF", TRUE},
                                           PathCase{L"C:\\Setup", L"Setup", L"C:\\", TRUE},
                                           PathCase{L"C:\\", L"C:\\", L"C:\\", FALSE},
                                           PathCase{L"name.exe", L"name.exe", L"", TRUE}));

TEST(SimulatedShellPathAppend, AddsOneBackslashAndRefusesOverflow) {
    WCHAR path[MAX_PATH] = L"C:\\Windows";
    EXPECT_TRUE(PathAppendW(path, L"INF"));
    EXPECT_STREQ(path, L"C:\\Windows\\INF");
    EXPECT_TRUE(PathAppendW(path, L"\\OEM*.INF"));
    EXPECT_STREQ(path, L"C:\\Windows\\INF\\OEM*.INF");
    std::wstring tooLong(MAX_PATH - 5, L'x');
    EXPECT_FALSE(PathAppendW(path, tooLong.c_str()));
    EXPECT_STREQ(path, L"C:\\Windows\\INF\\OEM*.INF");
}

TEST(SimulatedVersion, MajorMinorAndServicePackCompareAsOneVersion) {
    MachineWindowsVersionSet(11, 0, 22000, 0);
    OSVERSIONINFOEXW required = {};
    required.dwOSVersionInfoSize = sizeof(required);
    required.dwMajorVersion = 10;
    required.dwMinorVersion = 5;
    ULONGLONG mask = VerSetConditionMask(0, VER_MAJORVERSION | VER_MINORVERSION, VER_GREATER_EQUAL);
    EXPECT_TRUE(VerifyVersionInfoW(&required, VER_MAJORVERSION | VER_MINORVERSION, mask));
    MachineWindowsVersionSet(10, 0, 19045, 0);
    EXPECT_FALSE(VerifyVersionInfoW(&required, VER_MAJORVERSION | VER_MINORVERSION, mask));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_OLD_WIN_VERSION));
    MachineSetupReset();
}

}  // namespace
