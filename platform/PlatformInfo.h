// Facts about the Win32 implementation the program runs on, for tests that
// must tell a known deviation of Wine from the documented behaviour.
#pragma once

#include "win32.h"

// True when running under Wine (its ntdll exports wine_get_version); false on
// Windows and on the simulated platform.
inline bool IsWine() {
#if defined(_WIN32)
    HMODULE hNtdll = GetModuleHandleW(L"ntdll.dll");
    return hNtdll != nullptr && GetProcAddress(hNtdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}
