// Machine API, security part: the process object's DACL and failures of
// GetSecurityInfo / SetSecurityInfo on demand.
#pragma once

#include "win32_base.h"

enum class MachineSecurityCall { GetSecurityInfo, SetSecurityInfo };

// True while the process object has a null DACL (open to every account).
bool MachineProcessDaclIsNull();
// Whether a service account (as a user-mode driver runs) may open this
// process with the given rights under its current DACL.
bool MachineProcessOpenByServiceAllowed(DWORD dwDesiredAccess);
// Back to the default process DACL; clears failures and call counts.
void MachineProcessSecurityReset();

// The call of that kind after dwCallsToSkip further calls fails once with
// dwError (returned and left in the last error); the calls before it work.
void MachineSecurityInfoFailSet(MachineSecurityCall Call, DWORD dwCallsToSkip, DWORD dwError);
// Calls of that kind on the process object since the last reset.
DWORD MachineSecurityInfoCallCount(MachineSecurityCall Call);
