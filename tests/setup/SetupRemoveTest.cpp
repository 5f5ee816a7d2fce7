// "remove" on the simulated machine: device nodes, matching packages of the
// INF store, the DefaultUninstall section and the service key.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "SetupMachineFixture.h"

namespace {

class SetupRemove : public SetupMachineFixture {};

TEST_F(SetupRemove, AfterInstallRemovesDevicePackageAndServiceKey) {
    Run(L"install");
    RegistryKeySeed(kPackageKey);
    RegistryKeySeed((std::wstring(kServiceKey) + L"\\Parameters").c_str());
    size_t installLines = LogLines().size();

    Run(L"remove");

    EXPECT_TRUE(DevicesWithHardwareId(kHardwareId).empty());
    EXPECT_TRUE(MachineDevices().empty());
    EXPECT_TRUE(MachineInfStoreNames().empty());
    EXPECT_FALSE(MachineRegistryKeyExists(kServiceKey));
    EXPECT_FALSE(MachineRegistryKeyExists(kPackageKey));  // the package's DefaultUninstall ran
    EXPECT_EQ(MachineDeviceTreeReenumerations(), 2u);

    std::vector<std::string> lines = LogLines();
    std::vector<std::string> removeRun(lines.begin() + static_cast<long>(installLines), lines.end());
    const std::vector<std::string> expected = {
        "",
        "====================================================",
        removeRun.size() > 2 ? removeRun[2] : "",
        "DriverSetup _tmain: Removing device and driver...",
        "IDDSetupActions::Uninstall Begin Uninstall Process...",
        "IDDSetupActions::PrivateInitializeGlobals:            ",
        " --korvaxHaldenExtendedDisplay.inf",
        " --Root\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001",
        " --{4D36E968-E325-11CE-BFC1-08002BE10318}",
        " --Display",
        " --C:\\Setup\\korvaxHaldenExtendedDisplay.inf",
        "IDDDeviceInfoSet::RemoveDeviceNode SetupDiGetClassDevs success",
        "IDDDeviceInfoSet::RemoveDeviceNode Find device instance/s...",
        "IDDDeviceInfoSet::RemoveDeviceNode Current HWID = Root\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001",
        "IDDDeviceInfoSet::RemoveDeviceNode Found an instance = Root\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001 1",
        "IDDDeviceInfoSet::RemoveDeviceNode No more items",
        "IDDSetupActions::Uninstall DeviceInfoSet.RemoveDeviceNode success",
        "IDDDeviceInfoSet::RemoveDriverOemInf PrivateValidateDriverOemInfFile C:\\Windows\\INF\\oem0.inf \"Display\" and \"Korvax\" matched",
        "IDDDeviceInfoSet::RemoveDriverOemInf Removing oem0.inf",
        "IDDSetupActions::Uninstall DeviceInfoSet.RemoveDeviceOemInf success",
        "IDDSetupActions::PrivateCleanup Removing file and registry entry",
        "IDDSetupActions::Uninstall Uninstall Process Finished",
        "DriverSetup _tmain: Setup Success!",
    };
    EXPECT_EQ(removeRun, expected);
}

TEST_F(SetupRemove, NothingInstalledFailsWithTheFileSearchError) {
    Run(L"remove");

    EXPECT_TRUE(LogContains("IDDDeviceInfoSet::RemoveDeviceNode No Device instance found"));
    EXPECT_TRUE(LogContains("IDDSetupActions::Uninstall DeviceInfoSet.RemoveDeviceNode success"));
    EXPECT_TRUE(LogContains("IDDDeviceInfoSet::RemoveDriverOemInf FindFirstFileW failed 2"));
    EXPECT_TRUE(LogContains("IDDSetupActions::Uninstall DeviceInfoSet.RemoveDeviceOemInf failed 2"));
    EXPECT_TRUE(LogContains("DriverSetup _tmain:Exit Setup Failed"));
    EXPECT_FALSE(LogContains("IDDSetupActions::PrivateCleanup Removing file and registry entry"));
}

TEST_F(SetupRemove, MissingServiceKeyIsLoggedAndIgnored) {
    Run(L"install");
    Run(L"remove");

    EXPECT_TRUE(LogContains("IDDSetupActions::PrivateCleanup SHDeleteKey failed! 2"));
    EXPECT_TRUE(LogContains("DriverSetup _tmain: Setup Success!"));
}

TEST_F(SetupRemove, HardwareIdDifferingInCaseIsNotRemoved) {
    DeviceCreate(L"Display", L"ROOT\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001");
    Run(L"install");
    // Plug and Play matches ids without regard to case: the package serves both.
    ASSERT_EQ(DevicesWithHardwareId(L"ROOT\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001").size(), 1u);
    EXPECT_EQ(DevicesWithHardwareId(L"ROOT\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001")[0].DriverInfName, L"oem0.inf");

    Run(L"remove");

    EXPECT_TRUE(DevicesWithHardwareId(kHardwareId).empty());
    EXPECT_EQ(DevicesWithHardwareId(L"ROOT\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001").size(), 1u);
    EXPECT_TRUE(LogContains("IDDDeviceInfoSet::RemoveDeviceNode Current HWID = ROOT\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001"));
    EXPECT_TRUE(LogContains("IDDDeviceInfoSet::RemoveDeviceNode Found an instance = Root\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001 1"));
    // The remaining device still uses the package.
    EXPECT_EQ(MachineInfStoreNames(), std::vector<std::wstring>{L"oem0.inf"});
    EXPECT_TRUE(LogContains("IDDDeviceInfoSet::RemoveDriverOemInf Removing oem0.inf failed"));
}

// Packages in the INF store before "remove", and what must remain.
struct StorePackage {
    const char* DataFile;
    const wchar_t* OemName;
};

struct RemoveStoreCase {
    const char* Name;
    std::vector<StorePackage> Placed;
    bool bSecondDeviceUsesSecondPackage;  // a Korvax device the program keeps
    std::vector<std::wstring> Remaining;
    std::vector<std::string> LoggedLines;
    bool bSuccess;
};

class SetupRemoveStore : public SetupMachineFixture, public ::testing::WithParamInterface<RemoveStoreCase> {};

TEST_P(SetupRemoveStore, RemovesMatchingPackagesOnly) {
    const RemoveStoreCase& testCase = GetParam();
    for (const StorePackage& package : testCase.Placed)
        PackagePlace(package.DataFile, package.OemName);
    if (testCase.bSecondDeviceUsesSecondPackage) {
        DeviceCreate(L"Display", L"Root\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0002");
        std::filesystem::copy_file(DataPath("korvaxSecondDisplay.inf"), Root() + "/Setup/korvaxSecondDisplay.inf");
        ASSERT_TRUE(DiInstallDriverW(nullptr, L"C:\\Setup\\korvaxSecondDisplay.inf", 0, nullptr));
    }
    Run(L"install");
    size_t installLines = LogLines().size();

    Run(L"remove");

    EXPECT_EQ(MachineInfStoreNames(), testCase.Remaining);
    EXPECT_TRUE(DevicesWithHardwareId(kHardwareId).empty());
    for (const std::string& line : testCase.LoggedLines)
        EXPECT_TRUE(LogContains(line)) << line;
    std::vector<std::string> lines = LogLines();
    ASSERT_GT(lines.size(), installLines);
    EXPECT_EQ(lines.back(), testCase.bSuccess ? "DriverSetup _tmain: Setup Success!" : "DriverSetup _tmain:Exit Setup Failed");
}

const std::string kInUse = std::to_string(static_cast<int>(ERROR_INF_IN_USE_BY_DEVICES));
const std::string kLineNotFound = std::to_string(static_cast<int>(ERROR_LINE_NOT_FOUND));

INSTANTIATE_TEST_SUITE_P(
    Packages, SetupRemoveStore,
    ::testing::Values(
        RemoveStoreCase{"TwoMatchingPackagesBothGo",
                        {{"korvaxHaldenPreviousBuild.inf", L"oem7.inf"}},
                        false,
                        {},
                        {"IDDDeviceInfoSet::RemoveDriverOemInf PrivateValidateDriverOemInfFile C:\\Windows\\INF\\oem0.inf \"Display\" and \"Korvax\" matched",
                         "IDDDeviceInfoSet::RemoveDriverOemInf PrivateValidateDriverOemInfFile C:\\Windows\\INF\\oem7.inf \"Display\" and \"Korvax\" matched",
                         "IDDDeviceInfoSet::RemoveDriverOemInf Removing oem0.inf",
                         "IDDDeviceInfoSet::RemoveDriverOemInf Removing oem7.inf"},
                        true},
        RemoveStoreCase{"OtherProviderIsLeftInstalled",
                        {{"otherProviderDisplay.inf", L"oem3.inf"}},
                        false,
                        {L"oem3.inf"},
                        {"IDDDeviceInfoSet::RemoveDriverOemInf PrivateValidateDriverOemInfFile C:\\Windows\\INF\\oem3.inf didn't match",
                         "IDDDeviceInfoSet::RemoveDriverOemInf Removing oem0.inf"},
                        true},
        RemoveStoreCase{"PackageInUseStaysAndTheOtherGoes",
                        {},
                        true,
                        {L"oem0.inf"},
                        {"IDDDeviceInfoSet::RemoveDriverOemInf Removing oem0.inf",
                         "IDDDeviceInfoSet::RemoveDriverOemInf SetupUninstallOEMInf failed " + kInUse,
                         "IDDDeviceInfoSet::RemoveDriverOemInf Removing oem0.inf failed",
                         "IDDDeviceInfoSet::RemoveDriverOemInf Removing oem1.inf"},
                        true},
        RemoveStoreCase{"InfWithoutClassLineStopsTheScan",
                        {{"noClassLine.inf", L"oem0.inf"}},
                        false,
                        {L"oem0.inf", L"oem1.inf"},
                        {"IDDDeviceInfoSet::SetupFindFirstLine SetupOpenInfFile failed " + kLineNotFound,
                         "IDDDeviceInfoSet::RemoveDriverOemInf PrivateValidateDriverOemInfFile failed",
                         "IDDSetupActions::Uninstall DeviceInfoSet.RemoveDeviceOemInf failed " + kLineNotFound},
                        false}),
    [](const ::testing::TestParamInfo<RemoveStoreCase>& info) { return std::string(info.param.Name); });

}  // namespace
