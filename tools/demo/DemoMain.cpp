// nimbo-demo: a host application of the Nimbo library. See --help.
#include <atomic>
#include <csignal>
#include <cstdio>

#include "DemoDriverSide.h"
#include "DemoHost.h"
#include "DemoOptions.h"

namespace {

std::atomic<bool> g_bInterrupted{false};

extern "C" void InterruptHandler(int) { g_bInterrupted.store(true); }

}  // namespace

int main(int argc, char** argv) {
    DemoOptions Options;
    std::string Error;
    if (!Options.Parse(argc, argv, &Error)) {
        std::fprintf(stderr, "nimbo-demo: %s\nTry 'nimbo-demo --help'.\n", Error.c_str());
        return 2;
    }
    if (Options.bHelp) {
        std::fputs(DemoOptions::UsageGet().c_str(), stdout);
        return 0;
    }
    // Ctrl-C ends the run early but still through the clean shutdown.
    std::signal(SIGINT, InterruptHandler);
    std::signal(SIGTERM, InterruptHandler);
    DemoHost Host(Options, DemoDriverSide::Create(), g_bInterrupted);
    return Host.Run();
}
