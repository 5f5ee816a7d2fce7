#include "win/DemoDriverSideInstalled.h"

#include <cstdio>

std::unique_ptr<DemoDriverSide> DemoDriverSide::Create() { return std::make_unique<DemoDriverSideInstalled>(); }

std::string DemoDriverSideInstalled::DescriptionGet(const DemoOptions& Options) const {
    return Options.DriverKind == DemoOptions::Driver::Hook ? "the installed hook display driver"
                                                           : "the installed indirect display driver";
}

bool DemoDriverSideInstalled::Prepare(const DemoOptions& Options, std::string*) {
    // The library read its level from the registry when it was loaded; the
    // demo does not change a real machine's settings.
    if (Options.bDebugLevelGiven)
        std::fprintf(stderr,
                     "nimbo-demo: --debug-level: on Windows set the DWORD \"DebugLevelAL\" under "
                     "HKLM\\SYSTEM\\CurrentControlSet\\Services\\vantorService before starting the demo; the "
                     "library writes to the debugger output.\n");
    return true;
}
