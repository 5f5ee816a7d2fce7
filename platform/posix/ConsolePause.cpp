// Nobody sits at the simulated machine's console: the pause is counted for
// the tests and never waits.
#include "platform/ConsolePause.h"

#include <atomic>

#include "platform/machine.h"

namespace {

std::atomic<long> g_ConsolePauses{0};

}  // namespace

void PlatformConsolePause() { g_ConsolePauses.fetch_add(1); }

long MachineConsolePausesGet() { return g_ConsolePauses.load(); }
