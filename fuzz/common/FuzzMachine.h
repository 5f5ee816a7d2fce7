// The simulated machine as every fuzz target sets it up: debugger output is
// formatted and written but not kept (a run makes millions of lines);
// FUZZ_DEBUG_ECHO=1 echoes it to standard error, to follow one input.
#pragma once

#include <cstdlib>
#include <cstring>

#include "platform/machine.h"

inline void FuzzMachineDebugSet() {
    MachineDebugRecordSet(false);
    const char* pEcho = std::getenv("FUZZ_DEBUG_ECHO");
    MachineDebugEchoSet(pEcho != nullptr && std::strcmp(pEcho, "1") == 0);
}
