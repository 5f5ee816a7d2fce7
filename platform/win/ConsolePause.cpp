// The command processor's own pause: its prompt, then a wait for a key.
#include "platform/ConsolePause.h"

#include <cstdio>
#include <cstdlib>

void PlatformConsolePause() {
    std::fflush(stdout);  // our text first, then the prompt
    static_cast<void>(std::system("pause"));
}
