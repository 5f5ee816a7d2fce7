// The console's "press any key" pause that the library's exports run when a
// plug fails, so that a console host shows its text before it goes on.
#pragma once

// Windows: flushes standard output (the command processor writes its prompt
// to the same console after it) and runs the command "pause" through the C
// library's system function, which waits for a key press.
// Simulated platform: counts the call (MachineConsolePausesGet) and returns
// at once.
void PlatformConsolePause();
