// The entry function's word rules and the version gate of both actions.
#include <gtest/gtest.h>

#include "SetupMachineFixture.h"

namespace {

constexpr const char* kInstalling = "DriverSetup _tmain: Installing device and driver...";
constexpr const char* kRemoving = "DriverSetup _tmain: Removing device and driver...";
constexpr const char* kWrongArguments = "DriverSetup _tmain: Wrong action arguments \"install\" or \"remove\" ";

enum class Action { Install, Remove, None };

struct CommandLineCase {
    const char* Name;
    const wchar_t* CommandLine;
    Action Expected;
};

class SetupCommandLine : public SetupMachineFixture, public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(SetupCommandLine, RunsTheActionItsWordsName) {
    const CommandLineCase& testCase = GetParam();

    Run(testCase.CommandLine);

    EXPECT_EQ(LogContains(kInstalling), testCase.Expected == Action::Install);
    EXPECT_EQ(LogContains(kRemoving), testCase.Expected == Action::Remove);
    EXPECT_EQ(LogContains(kWrongArguments), testCase.Expected == Action::None);
    EXPECT_EQ(DevicesWithHardwareId(kHardwareId).size(), testCase.Expected == Action::Install ? 1u : 0u);
    if (testCase.Expected == Action::None) {
        // Only the header and the complaint; nothing else happened.
        EXPECT_EQ(LogLines().size(), 4u);
        EXPECT_TRUE(MachineInfStoreNames().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Words, SetupCommandLine,
    ::testing::Values(CommandLineCase{"Install", L"install", Action::Install},
                      CommandLineCase{"UninstallContainsInstall", L"uninstall", Action::Install},
                      CommandLineCase{"BothWordsInstallOnly", L"remove install", Action::Install},
                      CommandLineCase{"Remove", L"remove", Action::Remove},
                      CommandLineCase{"WordInsideAnother", L"/quiet xremovex", Action::Remove},
                      CommandLineCase{"Empty", L"", Action::None},
                      CommandLineCase{"CaseMatters", L"Install REMOVE", Action::None},
                      CommandLineCase{"OtherWords", L"setup --help", Action::None}),
    [](const ::testing::TestParamInfo<CommandLineCase>& info) { return std::string(info.param.Name); });

TEST_F(SetupMachineFixture, NullCommandLineIsTheEmptyOne) {
    EXPECT_EQ(wWinMain(nullptr, nullptr, nullptr, SW_SHOWDEFAULT), 0);
    EXPECT_TRUE(LogContains(kWrongArguments));
}

struct VersionGateCase {
    const char* Name;
    DWORD Major, Minor, Build;
    WORD ServicePackMajor;
    const wchar_t* CommandLine;
    const char* ExpectedFailure;  // null: the gate passes
    bool bMessageBox;
};

class SetupVersionGate : public SetupMachineFixture, public ::testing::WithParamInterface<VersionGateCase> {};

TEST_P(SetupVersionGate, StopsOnOldVersionsWithErrorNotSupported) {
    const VersionGateCase& testCase = GetParam();
    MachineWindowsVersionSet(testCase.Major, testCase.Minor, testCase.Build, testCase.ServicePackMajor);

    Run(testCase.CommandLine);

    std::vector<MachineMessageBox> boxes = MachineMessageBoxes();
    if (testCase.ExpectedFailure == nullptr) {
        EXPECT_TRUE(boxes.empty());
        EXPECT_FALSE(LogContains("DriverSetup _tmain:Exit Setup Failed") && std::wstring(testCase.CommandLine) == L"install");
        return;
    }
    EXPECT_TRUE(LogContains(testCase.ExpectedFailure));
    EXPECT_TRUE(LogContains("DriverSetup _tmain:Exit Setup Failed"));
    EXPECT_FALSE(LogContains("IDDSetupActions::PrivateInitializeGlobals:            "));
    EXPECT_TRUE(MachineDevices().empty());
    if (testCase.bMessageBox) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Text, L"Windows 10 version not supported");
        EXPECT_EQ(boxes[0].Caption, L"Install failed!");
        EXPECT_EQ(boxes[0].Type, UINT(MB_OK));
    } else {
        EXPECT_TRUE(boxes.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Versions, SetupVersionGate,
    ::testing::Values(
        VersionGateCase{"InstallOnEarlyWindows10", 10, 0, 14392, 0, L"install",
                        "IDDSetupActions::Install failed! Windows 10 version not supported", true},
        VersionGateCase{"RemoveOnEarlyWindows10", 10, 0, 10586, 0, L"remove",
                        "IDDSetupActions::Uninstall failed! Windows 10 version not supported", false},
        VersionGateCase{"InstallOnWindows81", 6, 3, 9600, 0, L"install",
                        "IDDSetupActions::Install failed! Windows version not supported.", false},
        VersionGateCase{"RemoveOnWindows7", 6, 1, 7601, 1, L"remove",
                        "IDDSetupActions::Uninstall failed! Windows version not supported.", false},
        VersionGateCase{"InstallOnFirstSupportedBuild", 10, 0, 14393, 0, L"install", nullptr, false},
        VersionGateCase{"InstallOnLaterMajorVersion", 11, 0, 22000, 0, L"install", nullptr, false}),
    [](const ::testing::TestParamInfo<VersionGateCase>& info) { return std::string(info.param.Name); });

}  // namespace
