// The current process: its pseudo handle, its id, and real handles to it.
#include <unistd.h>

#include "HandleTable.h"
#include "ProcessObject.h"
#include "platform/win32.h"

HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(HandleTable::kPseudoProcess); }

DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

// Only the current process exists on the simulated machine.
HANDLE WINAPI OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId) {
    (void)dwDesiredAccess;
    (void)bInheritHandle;
    if (dwProcessId != GetCurrentProcessId()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return HandleTable::Instance().Insert(ProcessObject::Current());
}
