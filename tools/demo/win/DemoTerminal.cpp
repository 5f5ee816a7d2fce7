#include "DemoTerminal.h"

#include <cstdio>
#include <io.h>

bool DemoTerminal::StandardOutputIsTerminal() { return _isatty(_fileno(stdout)) != 0; }
