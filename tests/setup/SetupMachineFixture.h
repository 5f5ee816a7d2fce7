// A fresh simulated machine for each setup test: its own C:\ drive in a
// temporary directory, the program in C:\Setup with the test package beside
// it, an empty device tree, registry and debugger output.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/setupapi.h"

class SetupMachineFixture : public ::testing::Test {
protected:
    static constexpr const wchar_t* kHardwareId = L"Root\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001";
    static constexpr const wchar_t* kServiceKey =
        L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\WUDF\\Services\\korvaxHaldenDisplayUmode";
    // Written by nothing but the tests; the package's DefaultUninstall deletes it.
    static constexpr const wchar_t* kPackageKey = L"SOFTWARE\\Korvax\\HaldenTestPackage";
    static const GUID kDisplayClass;

    void SetUp() override;
    void TearDown() override;

    // Runs the program's entry function with this command line.
    void Run(const std::wstring& commandLine);

    std::string Root() const { return m_Root; }
    std::string HostPath(const std::wstring& windowsPath) const;
    // The log file's lines (split at '\n'); empty when there is no file.
    std::vector<std::string> LogLines() const;
    bool LogContains(const std::string& line) const;
    bool LogFileExists() const;

    // Registered devices whose first hardware id is hardwareId.
    std::vector<MachineDevice> DevicesWithHardwareId(const std::wstring& hardwareId) const;
    size_t UnregisteredDeviceCount() const;

    // Copies a file of the test data into the INF store under name.
    void PackagePlace(const std::string& dataFile, const std::wstring& name) const;
    static std::string DataPath(const std::string& dataFile);
    static std::string FileText(const std::string& hostPath);
    // A registered root device with this hardware id, made through SetupAPI.
    void DeviceCreate(const std::wstring& deviceName, const std::wstring& hardwareId) const;
    static void RegistryKeySeed(const wchar_t* path);

private:
    std::string m_Root;
};
