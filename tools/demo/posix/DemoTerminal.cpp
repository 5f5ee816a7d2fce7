#include "DemoTerminal.h"

#include <unistd.h>

bool DemoTerminal::StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }
