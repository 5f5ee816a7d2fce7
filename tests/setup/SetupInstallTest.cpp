// "install" on the simulated machine: the device node, the package in the
// INF store and the log, through the program's entry function.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "SetupMachineFixture.h"

namespace {

class SetupInstall : public SetupMachineFixture {};

const std::vector<std::string> kInstallLog = {
    "",
    "====================================================",
    "<call>",
    "DriverSetup _tmain: Installing device and driver...",
    "IDDSetupActions::Install Begin Install Process...",
    "IDDSetupActions::PrivateInitializeGlobals:            ",
    " --korvaxHaldenExtendedDisplay.inf",
    " --Root\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001",
    " --{4D36E968-E325-11CE-BFC1-08002BE10318}",
    " --Display",
    " --C:\\Setup\\korvaxHaldenExtendedDisplay.inf",
    "IDDDeviceInfoSet::CreateDeviceNode SetupDiCreateDeviceInfoList success",
    "IDDDeviceInfoSet::CreateDeviceNode SetupDiCreateDeviceInfo success",
    "IDDDeviceInfoSet::CreateDeviceNode SetupDiSetDeviceRegistryProperty success",
    "IDDDeviceInfoSet::CreateDeviceNode SetupDiCallClassInstaller success",
    "IDDSetupActions::Install DeviceInfoSet.CreateDeviceNode success",
    "IDDSetupActions::Install DiInstallDriver success",
    "IDDSetupActions::Install Install Process Finished",
    "DriverSetup _tmain: Setup Success!",
};

void ExpectLogEquals(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    const std::regex call(R"(Call: \d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d{1,2}:\d{1,2} Build: [A-Z][a-z]{2} [ 0-9]\d \d{4} \d\d:\d\d:\d\d)");
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == "<call>")
            EXPECT_TRUE(std::regex_match(actual[i], call)) << actual[i];
        else
            EXPECT_EQ(actual[i], expected[i]) << "line " << i;
    }
}

TEST_F(SetupInstall, CleanMachineGetsOneStartedDeviceAndThePackage) {
    Run(L"install");

    std::vector<MachineDevice> devices = DevicesWithHardwareId(kHardwareId);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].InstanceId, L"ROOT\\DISPLAY\\0000");
    EXPECT_TRUE(devices[0].ClassGuid == kDisplayClass);
    EXPECT_EQ(devices[0].HardwareIds, std::vector<std::wstring>{kHardwareId});
    EXPECT_EQ(devices[0].DriverInfName, L"oem0.inf");
    EXPECT_EQ(devices[0].Status & (DN_STARTED | DN_HAS_PROBLEM), DWORD(DN_STARTED));
    EXPECT_EQ(UnregisteredDeviceCount(), 0u);

    EXPECT_EQ(MachineInfStoreNames(), std::vector<std::wstring>{L"oem0.inf"});
    EXPECT_EQ(FileText(HostPath(L"C:\\Windows\\INF\\oem0.inf")), FileText(DataPath("korvaxHaldenExtendedDisplay.inf")));
    EXPECT_EQ(MachineDeviceTreeReenumerations(), 1u);
    EXPECT_TRUE(MachineMessageBoxes().empty());

    ExpectLogEquals(LogLines(), kInstallLog);
}

TEST_F(SetupInstall, EveryMessageAlsoReachesTheDebuggerWithPrefixAndLineFeed) {
    Run(L"install");

    std::vector<std::wstring> debugLines = MachineDebugLines();
    ASSERT_EQ(debugLines.size(), 13u);  // one per SetupLog call
    EXPECT_EQ(debugLines[0], L"IDDDriverSetup: \n====================================================\n\n");
    EXPECT_EQ(debugLines[2], L"IDDDriverSetup: DriverSetup _tmain: Installing device and driver...\n\n");
    EXPECT_EQ(debugLines.back(), L"IDDDriverSetup: DriverSetup _tmain: Setup Success!\n\n");
}

TEST_F(SetupInstall, SecondInstallDetectsTheDeviceAndKeepsOne) {
    Run(L"install");
    Run(L"install");

    std::vector<MachineDevice> devices = DevicesWithHardwareId(kHardwareId);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].InstanceId, L"ROOT\\DISPLAY\\0000");
    EXPECT_EQ(UnregisteredDeviceCount(), 0u);
    // The identical package keeps its place in the store.
    EXPECT_EQ(MachineInfStoreNames(), std::vector<std::wstring>{L"oem0.inf"});

    std::vector<std::string> lines = LogLines();
    std::vector<std::string> secondRun(lines.begin() + static_cast<long>(kInstallLog.size()), lines.end());
    std::vector<std::string> expected = kInstallLog;
    auto registered = std::find(expected.begin(), expected.end(), "IDDDeviceInfoSet::CreateDeviceNode SetupDiCallClassInstaller success");
    *registered = "IDDDeviceInfoSet::CreateDeviceNode PrivateDetectDeviceNode device detected";
    expected.insert(registered, "IDDDeviceInfoSet::PrivateDetectDeviceNode Current HWID = Root\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001");
    ExpectLogEquals(secondRun, expected);
}

TEST_F(SetupInstall, HardwareIdDifferingInCaseIsNotDetected) {
    DeviceCreate(L"Display", L"ROOT\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001");

    Run(L"install");

    EXPECT_EQ(DevicesWithHardwareId(kHardwareId).size(), 1u);
    EXPECT_EQ(DevicesWithHardwareId(L"ROOT\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001").size(), 1u);
    EXPECT_TRUE(LogContains("IDDDeviceInfoSet::PrivateDetectDeviceNode Current HWID = ROOT\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001"));
    EXPECT_FALSE(LogContains("IDDDeviceInfoSet::CreateDeviceNode PrivateDetectDeviceNode device detected"));
}

TEST_F(SetupInstall, MissingPackageFailsAtDiInstallDriverWithTheDeviceLeftInPlace) {
    std::filesystem::remove(Root() + "/Setup/korvaxHaldenExtendedDisplay.inf");

    Run(L"install");

    EXPECT_TRUE(LogContains("IDDSetupActions::Install DiInstallDriver failed 2"));
    EXPECT_TRUE(LogContains("DriverSetup _tmain:Exit Setup Failed"));
    EXPECT_FALSE(LogContains("IDDSetupActions::Install Install Process Finished"));
    // Nothing is rolled back.
    ASSERT_EQ(DevicesWithHardwareId(kHardwareId).size(), 1u);
    EXPECT_EQ(DevicesWithHardwareId(kHardwareId)[0].Problem, DWORD(CM_PROB_FAILED_INSTALL));
    EXPECT_TRUE(MachineInfStoreNames().empty());
}

TEST_F(SetupInstall, ProgramPathThatDoesNotFitLeavesTheInfPathEmpty) {
    MachineModuleFileNameSet(L"C:\\" + std::wstring(300, L'd') + L"\\DisplaySetup64.exe");

    Run(L"install");

    EXPECT_TRUE(LogContains("IDDUtilities::GetInfFilePath  GetFullPathName failed 122"));
    EXPECT_TRUE(LogContains(" --"));
    EXPECT_TRUE(LogContains("IDDSetupActions::Install DiInstallDriver failed 87"));
    EXPECT_TRUE(LogContains("DriverSetup _tmain:Exit Setup Failed"));
}

}  // namespace
