// Machine API, console part.
#pragma once

// PlatformConsolePause calls since the process started (a pause never waits
// on the simulated machine).
long MachineConsolePausesGet();
