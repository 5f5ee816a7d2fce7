#include "DemoOptions.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

// Digits only (in the given base, 10 or 16), no sign, prefix or trailing
// text, within 32 bits.
bool UnsignedParse(const std::string& Text, int Base, uint32_t* pValue) {
    if (Text.empty() || Text.size() > 10)
        return false;
    for (const char Character : Text) {
        const bool bDigit = Base == 16 ? std::isxdigit(static_cast<unsigned char>(Character)) != 0
                                       : std::isdigit(static_cast<unsigned char>(Character)) != 0;
        if (!bDigit)
            return false;
    }
    const unsigned long long Value = std::strtoull(Text.c_str(), nullptr, Base);
    if (Value > 0xFFFFFFFFull)
        return false;
    *pValue = static_cast<uint32_t>(Value);
    return true;
}

}  // namespace

std::string DemoOptions::UsageGet() {
    return "Usage: nimbo-demo [options]\n"
           "\n"
           "Plugs virtual monitors through the Nimbo library, receives what is drawn on\n"
           "them with its own monitor instance, shows live progress (frames, frames per\n"
           "second, latency from presentation to delivery, share of the screen that\n"
           "changed) and writes each monitor's last frame as a PNG. On the simulated\n"
           "platform it also plays the driver's side: simulated drivers presenting a\n"
           "moving pattern at 60 frames per second.\n"
           "\n"
           "Options (\"--name value\" or \"--name=value\"):\n"
           "  --driver indirect|hook  display driver to use (default indirect)\n"
           "  --monitors N            virtual monitors to plug, 1 to 16 (default 1)\n"
           "  --mode WxH              display mode of each monitor (default 1920x1080)\n"
           "  --duration SECONDS      how long frames are received (default 5)\n"
           "  --out DIR               where monitor-N.png are written (default out)\n"
           "  --debug-level HEX       the library's log level DebugLevelAL, e.g. 0x41;\n"
           "                          on the simulated platform its lines go to stderr\n"
           "  --help                  this text\n";
}

bool DemoOptions::Parse(int argc, const char* const* argv, std::string* pError) {
    for (int Index = 1; Index < argc; ++Index) {
        const std::string Argument = argv[Index];
        if (Argument == "--help" || Argument == "-h") {
            bHelp = true;
            continue;
        }
        if (Argument.rfind("--", 0) != 0) {
            *pError = "unexpected argument '" + Argument + "'";
            return false;
        }
        std::string Name = Argument;
        std::string Value;
        const size_t Equals = Argument.find('=');
        if (Equals != std::string::npos) {
            Name = Argument.substr(0, Equals);
            Value = Argument.substr(Equals + 1);
        } else {
            // An option in place of the value means the value is missing.
            if (Index + 1 >= argc || std::string(argv[Index + 1]).rfind("--", 0) == 0) {
                *pError = "option " + Name + " needs a value";
                return false;
            }
            Value = argv[++Index];
        }
        if (!PrivateOptionApply(Name, Value, pError))
            return false;
    }
    return true;
}

bool DemoOptions::PrivateOptionApply(const std::string& Name, const std::string& Value, std::string* pError) {
    if (Name == "--driver")
        return PrivateDriverParse(Value, pError);
    if (Name == "--monitors")
        return PrivateMonitorCountParse(Value, pError);
    if (Name == "--mode")
        return PrivateModeParse(Value, pError);
    if (Name == "--duration")
        return PrivateDurationParse(Value, pError);
    if (Name == "--debug-level")
        return PrivateDebugLevelParse(Value, pError);
    if (Name == "--out") {
        if (Value.empty()) {
            *pError = "--out needs a directory";
            return false;
        }
        OutDir = Value;
        return true;
    }
    *pError = "unknown option " + Name;
    return false;
}

bool DemoOptions::PrivateDriverParse(const std::string& Value, std::string* pError) {
    if (Value == "indirect") {
        DriverKind = Driver::Indirect;
        return true;
    }
    if (Value == "hook") {
        DriverKind = Driver::Hook;
        return true;
    }
    *pError = "--driver must be 'indirect' or 'hook', not '" + Value + "'";
    return false;
}

bool DemoOptions::PrivateMonitorCountParse(const std::string& Value, std::string* pError) {
    uint32_t Count = 0;
    if (!UnsignedParse(Value, 10, &Count) || Count < 1 || Count > MonitorCountMaximum) {
        *pError = "--monitors must be a whole number from 1 to " + std::to_string(MonitorCountMaximum) + ", not '" +
                  Value + "'";
        return false;
    }
    MonitorCount = Count;
    return true;
}

bool DemoOptions::PrivateModeParse(const std::string& Value, std::string* pError) {
    const size_t Cross = Value.find('x');
    uint32_t W = 0;
    uint32_t H = 0;
    if (Cross == std::string::npos || !UnsignedParse(Value.substr(0, Cross), 10, &W) ||
        !UnsignedParse(Value.substr(Cross + 1), 10, &H) || W < ExtentMinimum || H < ExtentMinimum ||
        W > WidthMaximum || H > HeightMaximum) {
        *pError = "--mode must be WIDTHxHEIGHT from " + std::to_string(ExtentMinimum) + "x" +
                  std::to_string(ExtentMinimum) + " to " + std::to_string(WidthMaximum) + "x" +
                  std::to_string(HeightMaximum) + ", not '" + Value + "'";
        return false;
    }
    Width = W;
    Height = H;
    return true;
}

bool DemoOptions::PrivateDurationParse(const std::string& Value, std::string* pError) {
    errno = 0;
    char* pEnd = nullptr;
    const double Seconds = Value.empty() ? 0 : std::strtod(Value.c_str(), &pEnd);
    if (Value.empty() || errno != 0 || *pEnd != '\0' || !std::isfinite(Seconds) || Seconds <= 0 ||
        Seconds > DurationMaximum) {
        *pError = "--duration must be a number of seconds above 0 and at most 3600, not '" + Value + "'";
        return false;
    }
    DurationSeconds = Seconds;
    return true;
}

bool DemoOptions::PrivateDebugLevelParse(const std::string& Value, std::string* pError) {
    std::string Digits = Value;
    if (Digits.size() > 2 && Digits[0] == '0' && (Digits[1] == 'x' || Digits[1] == 'X'))
        Digits = Digits.substr(2);
    uint32_t Level = 0;
    if (Digits.size() > 8 || !UnsignedParse(Digits, 16, &Level)) {
        *pError = "--debug-level must be a hexadecimal 32-bit value such as 0x41, not '" + Value + "'";
        return false;
    }
    DebugLevel = Level;
    bDebugLevelGiven = true;
    return true;
}
