// The demo host's command line: which driver, how many monitors of which
// mode, for how long, where the pictures go and the library's log level.
#pragma once

#include <cstdint>
#include <string>

class DemoOptions {
public:
    enum class Driver { Indirect, Hook };

    static constexpr uint32_t MonitorCountMaximum = 16;
    static constexpr uint32_t ExtentMinimum = 64;
    static constexpr uint32_t WidthMaximum = 7680;
    static constexpr uint32_t HeightMaximum = 4320;
    static constexpr double DurationMaximum = 3600;

    // Reads argv[1..argc-1] ("--name value" or "--name=value"). False with a
    // one-line reason in *pError; later fields keep their defaults.
    bool Parse(int argc, const char* const* argv, std::string* pError);
    static std::string UsageGet();

    Driver DriverKind = Driver::Indirect;
    uint32_t MonitorCount = 1;
    uint32_t Width = 1920;
    uint32_t Height = 1080;
    double DurationSeconds = 5;
    std::string OutDir = "out";
    uint32_t DebugLevel = 0;
    bool bDebugLevelGiven = false;
    bool bHelp = false;

private:
    bool PrivateOptionApply(const std::string& Name, const std::string& Value, std::string* pError);
    bool PrivateDriverParse(const std::string& Value, std::string* pError);
    bool PrivateMonitorCountParse(const std::string& Value, std::string* pError);
    bool PrivateModeParse(const std::string& Value, std::string* pError);
    bool PrivateDurationParse(const std::string& Value, std::string* pError);
    bool PrivateDebugLevelParse(const std::string& Value, std::string* pError);
};
