// The demo's command line: defaults, each option in both spellings, and
// every kind of bad value refused with a message that names the option.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DemoOptions.h"

namespace {

bool ParseList(const std::vector<std::string>& Arguments, DemoOptions* pOptions, std::string* pError) {
    std::vector<const char*> Argv{"nimbo-demo"};
    for (const auto& Argument : Arguments)
        Argv.push_back(Argument.c_str());
    return pOptions->Parse(static_cast<int>(Argv.size()), Argv.data(), pError);
}

TEST(DemoOptionsTest, DefaultsAreOneFullHdMonitorOnTheIndirectDriverForFiveSeconds) {
    DemoOptions Options;
    std::string Error;
    ASSERT_TRUE(ParseList({}, &Options, &Error)) << Error;
    EXPECT_EQ(Options.DriverKind, DemoOptions::Driver::Indirect);
    EXPECT_EQ(Options.MonitorCount, 1u);
    EXPECT_EQ(Options.Width, 1920u);
    EXPECT_EQ(Options.Height, 1080u);
    EXPECT_DOUBLE_EQ(Options.DurationSeconds, 5);
    EXPECT_EQ(Options.OutDir, "out");
    EXPECT_FALSE(Options.bDebugLevelGiven);
    EXPECT_FALSE(Options.bHelp);
}

TEST(DemoOptionsTest, EveryOptionIsTakenWithASpaceOrAnEqualsSign) {
    DemoOptions Options;
    std::string Error;
    ASSERT_TRUE(ParseList({"--driver", "hook", "--monitors=4", "--mode", "800x600", "--duration=0.25", "--out",
                           "pictures", "--debug-level=0x41"},
                          &Options, &Error))
        << Error;
    EXPECT_EQ(Options.DriverKind, DemoOptions::Driver::Hook);
    EXPECT_EQ(Options.MonitorCount, 4u);
    EXPECT_EQ(Options.Width, 800u);
    EXPECT_EQ(Options.Height, 600u);
    EXPECT_DOUBLE_EQ(Options.DurationSeconds, 0.25);
    EXPECT_EQ(Options.OutDir, "pictures");
    EXPECT_TRUE(Options.bDebugLevelGiven);
    EXPECT_EQ(Options.DebugLevel, 0x41u);
}

TEST(DemoOptionsTest, DebugLevelIsHexadecimalWithOrWithoutPrefix) {
    DemoOptions Options;
    std::string Error;
    ASSERT_TRUE(ParseList({"--debug-level", "ffffffff"}, &Options, &Error)) << Error;
    EXPECT_EQ(Options.DebugLevel, 0xFFFFFFFFu);
    ASSERT_TRUE(ParseList({"--debug-level", "0"}, &Options, &Error)) << Error;
    EXPECT_EQ(Options.DebugLevel, 0u);
    EXPECT_TRUE(Options.bDebugLevelGiven);
}

TEST(DemoOptionsTest, HelpIsNotedAndTheUsageNamesEveryOption) {
    DemoOptions Options;
    std::string Error;
    ASSERT_TRUE(ParseList({"--help"}, &Options, &Error));
    EXPECT_TRUE(Options.bHelp);
    const std::string Usage = DemoOptions::UsageGet();
    for (const char* pName : {"--driver", "--monitors", "--mode", "--duration", "--out", "--debug-level", "--help"})
        EXPECT_NE(Usage.find(pName), std::string::npos) << pName;
}

struct BadCase {
    std::vector<std::string> Arguments;
    const char* pFragment;  // the message must contain it
};

class DemoOptionsBadTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(DemoOptionsBadTest, IsRefusedWithAMessage) {
    DemoOptions Options;
    std::string Error;
    EXPECT_FALSE(ParseList(GetParam().Arguments, &Options, &Error));
    EXPECT_NE(Error.find(GetParam().pFragment), std::string::npos) << Error;
}

const BadCase kBadCases[] = {
    {{"--driver", "wddm"}, "--driver"},
    {{"--driver"}, "needs a value"},
    {{"--driver", "--monitors", "2"}, "needs a value"},
    {{"--monitors", "0"}, "--monitors"},
    {{"--monitors", "17"}, "--monitors"},
    {{"--monitors", "-1"}, "--monitors"},
    {{"--monitors", "2x"}, "--monitors"},
    {{"--monitors", "99999999999"}, "--monitors"},
    {{"--mode", "1920"}, "--mode"},
    {{"--mode", "1920x"}, "--mode"},
    {{"--mode", "x1080"}, "--mode"},
    {{"--mode", "63x1080"}, "--mode"},
    {{"--mode", "7681x1080"}, "--mode"},
    {{"--mode", "1920x4321"}, "--mode"},
    {{"--mode", "+1920x1080"}, "--mode"},
    {{"--duration", "0"}, "--duration"},
    {{"--duration", "-2"}, "--duration"},
    {{"--duration", "3601"}, "--duration"},
    {{"--duration", "nan"}, "--duration"},
    {{"--duration", "5s"}, "--duration"},
    {{"--debug-level", "0x"}, "--debug-level"},
    {{"--debug-level", "0x0x1"}, "--debug-level"},
    {{"--debug-level", "100000000"}, "--debug-level"},
    {{"--debug-level", "g"}, "--debug-level"},
    {{"--out="}, "--out"},
    {{"--fps", "30"}, "unknown option --fps"},
    {{"stray"}, "unexpected argument"},
};

INSTANTIATE_TEST_SUITE_P(Cases, DemoOptionsBadTest, ::testing::ValuesIn(kBadCases));

}  // namespace
