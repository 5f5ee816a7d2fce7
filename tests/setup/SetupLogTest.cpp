// The setup log: the file accumulates runs, an unwritable log leaves the
// debugger copy, long messages are cut only in the debugger copy.
#include <gtest/gtest.h>

#include <filesystem>

#include "SetupLog.h"
#include "SetupMachineFixture.h"

namespace {

class SetupLogFile : public SetupMachineFixture {};

TEST_F(SetupLogFile, RunsAccumulateEachStartingWithTheSeparator) {
    Run(L"");
    Run(L"install");

    std::vector<std::string> lines = LogLines();
    size_t separators = 0;
    for (const std::string& line : lines)
        separators += line == "====================================================" ? 1 : 0;
    EXPECT_EQ(separators, 2u);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[1], "====================================================");
    EXPECT_EQ(lines[3], "DriverSetup _tmain: Wrong action arguments \"install\" or \"remove\" ");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "====================================================");
    EXPECT_EQ(lines.back(), "DriverSetup _tmain: Setup Success!");
}

TEST_F(SetupLogFile, UnwritableLogStillCompletesOnTheDebuggerOutput) {
    // The log's path is taken by a directory: the file cannot be opened.
    std::filesystem::create_directories(Root() + "/Users/Public/IDDDriverSetup.log");

    Run(L"install");

    EXPECT_FALSE(LogFileExists());
    EXPECT_EQ(DevicesWithHardwareId(kHardwareId).size(), 1u);
    std::vector<std::wstring> debugLines = MachineDebugLines();
    ASSERT_FALSE(debugLines.empty());
    EXPECT_EQ(debugLines.back(), L"IDDDriverSetup: DriverSetup _tmain: Setup Success!\n\n");
}

TEST_F(SetupLogFile, MissingPublicFolderStillCompletesOnTheDebuggerOutput) {
    std::filesystem::remove_all(Root() + "/Users");

    Run(L"install");

    EXPECT_FALSE(std::filesystem::exists(Root() + "/Users"));
    EXPECT_EQ(MachineDebugLines().back(), L"IDDDriverSetup: DriverSetup _tmain: Setup Success!\n\n");
}

TEST_F(SetupLogFile, MessageWithoutLineEndRunsOnAndLevelIsNotWritten) {
    SetupLog(SETUP_LOG_DETAIL, L"first part, ");
    SetupLog(SETUP_LOG_FAILURE, L"second part %d\n", 7);

    EXPECT_EQ(LogLines(), std::vector<std::string>{"first part, second part 7"});
    EXPECT_EQ(MachineDebugLines(), (std::vector<std::wstring>{L"IDDDriverSetup: first part, \n",
                                                               L"IDDDriverSetup: second part 7\n\n"}));
}

TEST_F(SetupLogFile, LongMessageIsCutInTheDebuggerCopyOnly) {
    std::wstring longText(5000, L'x');

    SetupLog(SETUP_LOG_DETAIL, L"%s", longText.c_str());

    EXPECT_EQ(FileText(Root() + "/Users/Public/IDDDriverSetup.log"), std::string(5000, 'x'));
    ASSERT_EQ(MachineDebugLines().size(), 1u);
    EXPECT_EQ(MachineDebugLines()[0], L"IDDDriverSetup: " + std::wstring(4095, L'x') + L"\n");
}

TEST_F(SetupLogFile, LoggingKeepsTheLastError) {
    std::filesystem::create_directories(Root() + "/Users/Public/IDDDriverSetup.log");
    SetLastError(ERROR_INF_IN_USE_BY_DEVICES);

    SetupLog(SETUP_LOG_FAILURE, L"failed %d\n", 5);

    EXPECT_EQ(GetLastError(), DWORD(ERROR_INF_IN_USE_BY_DEVICES));
}

}  // namespace
