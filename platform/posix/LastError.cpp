// Per-thread last error, as GetLastError/SetLastError keep it on Windows.
#include "platform/win32.h"

namespace {
thread_local DWORD t_LastError = ERROR_SUCCESS;
}

DWORD WINAPI GetLastError(void) { return t_LastError; }

void WINAPI SetLastError(DWORD dwErrCode) { t_LastError = dwErrCode; }
