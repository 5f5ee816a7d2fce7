// Wine's ntdll exports wine_get_version; Windows' does not.
#include "platform/PlatformInfo.h"

#include "platform/win32.h"

bool PlatformIsWine() {
    HMODULE hNtdll = GetModuleHandleW(L"ntdll.dll");
    return hNtdll != nullptr && GetProcAddress(hNtdll, "wine_get_version") != nullptr;
}
