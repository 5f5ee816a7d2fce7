// Resets of the simulated machine's device-installation state, called by
// MachineSetupReset (platform/machine.h).
#pragma once

void VersionInfoReset();
void MessageBoxReset();
