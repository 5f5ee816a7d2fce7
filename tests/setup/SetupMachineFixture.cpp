#include "SetupMachineFixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

const GUID SetupMachineFixture::kDisplayClass = {0x4D36E968, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

void SetupMachineFixture::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "nimbo-setup-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_Root = pattern;
    MachineSetupRootSet(m_Root);
    MachineSetupReset();
    MachineRegistryReset();
    MachineDebugClear();
    std::filesystem::create_directories(m_Root + "/Setup");
    std::filesystem::copy_file(DataPath("korvaxHaldenExtendedDisplay.inf"), m_Root + "/Setup/korvaxHaldenExtendedDisplay.inf");
    MachineModuleFileNameSet(L"C:\\Setup\\DisplaySetup64.exe");
}

void SetupMachineFixture::TearDown() {
    MachineSetupReset();
    std::error_code error;
    std::filesystem::remove_all(m_Root, error);
}

void SetupMachineFixture::Run(const std::wstring& commandLine) {
    std::wstring line = commandLine;
    EXPECT_EQ(wWinMain(nullptr, nullptr, line.data(), SW_SHOWDEFAULT), 0);
}

std::string SetupMachineFixture::HostPath(const std::wstring& windowsPath) const { return MachineHostPath(windowsPath); }

std::string SetupMachineFixture::FileText(const std::string& hostPath) {
    std::ifstream stream(hostPath, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

bool SetupMachineFixture::LogFileExists() const {
    return std::filesystem::is_regular_file(m_Root + "/Users/Public/IDDDriverSetup.log");
}

std::vector<std::string> SetupMachineFixture::LogLines() const {
    std::vector<std::string> lines;
    if (!LogFileExists())
        return lines;
    std::string text = FileText(m_Root + "/Users/Public/IDDDriverSetup.log");
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

bool SetupMachineFixture::LogContains(const std::string& line) const {
    for (const std::string& logged : LogLines())
        if (logged == line)
            return true;
    return false;
}

std::vector<MachineDevice> SetupMachineFixture::DevicesWithHardwareId(const std::wstring& hardwareId) const {
    std::vector<MachineDevice> devices;
    for (const MachineDevice& device : MachineDevices())
        if (device.Registered && !device.HardwareIds.empty() && device.HardwareIds[0] == hardwareId)
            devices.push_back(device);
    return devices;
}

size_t SetupMachineFixture::UnregisteredDeviceCount() const {
    size_t count = 0;
    for (const MachineDevice& device : MachineDevices())
        count += device.Registered ? 0 : 1;
    return count;
}

std::string SetupMachineFixture::DataPath(const std::string& dataFile) { return std::string(NIMBO_SETUP_TEST_DATA) + "/" + dataFile; }

void SetupMachineFixture::PackagePlace(const std::string& dataFile, const std::wstring& name) const {
    std::filesystem::copy_file(DataPath(dataFile), HostPath(L"C:\\Windows\\INF\\" + name),
                               std::filesystem::copy_options::overwrite_existing);
}

void SetupMachineFixture::DeviceCreate(const std::wstring& deviceName, const std::wstring& hardwareId) const {
    HDEVINFO hSet = SetupDiCreateDeviceInfoList(&kDisplayClass, nullptr);
    ASSERT_NE(hSet, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof(data);
    ASSERT_TRUE(SetupDiCreateDeviceInfoW(hSet, deviceName.c_str(), &kDisplayClass, nullptr, nullptr, DICD_GENERATE_ID, &data));
    std::vector<WCHAR> list(hardwareId.begin(), hardwareId.end());
    list.push_back(L'\0');
    list.push_back(L'\0');
    ASSERT_TRUE(SetupDiSetDeviceRegistryPropertyW(hSet, &data, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(list.data()),
                                                  static_cast<DWORD>(list.size() * sizeof(WCHAR))));
    ASSERT_TRUE(SetupDiCallClassInstaller(DIF_REGISTERDEVICE, hSet, &data));
    ASSERT_TRUE(SetupDiDestroyDeviceInfoList(hSet));
}

void SetupMachineFixture::RegistryKeySeed(const wchar_t* path) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr), ERROR_SUCCESS);
    DWORD dwValue = 1;
    EXPECT_EQ(RegSetValueExW(hKey, L"Installed", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue)), ERROR_SUCCESS);
    RegCloseKey(hKey);
}
