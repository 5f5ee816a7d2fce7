// The log header at a fixed local time of the simulated machine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/DebugLevelScope.h"
#include "library/LogLine.h"
#include "platform/DebugCapture.h"
#include "platform/machine.h"
#include "platform/win32.h"
#include "support/ALDebugLog.h"

namespace {

struct CallLineCase {
    SYSTEMTIME Time;
    const wchar_t* Expected;
};

const CallLineCase kCallLineCases[] = {
    // month before day; year after a point and a blank; two blanks before the time
    {{2018, 5, 3, 16, 9, 5, 3, 0}, L"| Call:  05.16. 2018  09:05:03\n"},
    {{2023, 12, 0, 31, 23, 59, 58, 999}, L"| Call:  12.31. 2023  23:59:58\n"},
    {{2001, 1, 1, 1, 0, 0, 0, 0}, L"| Call:  01.01. 2001  00:00:00\n"},
};

class ALDebugHeaderCallLineTest : public ::testing::TestWithParam<CallLineCase> {
protected:
    void TearDown() override { MachineLocalTimeClear(); }
};

TEST_P(ALDebugHeaderCallLineTest, ShowsTheLocalTimeOfTheCall) {
    const CallLineCase& Case = GetParam();
    MachineLocalTimeSet(&Case.Time);
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ALDebugHeaderPrint();
    const std::vector<std::wstring> Lines = Capture.Lines();
    ASSERT_EQ(Lines.size(), 10u);
    EXPECT_EQ(Lines[8], LogLine(Case.Expected));
}

INSTANTIATE_TEST_SUITE_P(Table, ALDebugHeaderCallLineTest, ::testing::ValuesIn(kCallLineCases));

}  // namespace
