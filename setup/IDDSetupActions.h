// The two actions of the setup program, install and uninstall of the indirect
// display driver's device node and package, with the constants of one run.
// Results are Win32 error codes: 0 success, ERROR_NOT_SUPPORTED for an
// unsupported Windows version, else the code of the failing step.
#pragma once

#include <string>

#include "platform/win32.h"

class IDDSetupActions {
public:
    IDDSetupActions();

    DWORD Install();
    DWORD Uninstall();

private:
    struct VersionGateTexts {
        const wchar_t* VersionNotSupported;
        const wchar_t* BuildNotSupported;
        bool bMessageBoxShow;
    };

    DWORD PrivateVersionGate(const VersionGateTexts& texts);
    void PrivateInitializeGlobals();
    void PrivateCleanup();

    std::wstring m_InfFileName;
    std::wstring m_InfPath;
    std::wstring m_HardwareId;
    std::wstring m_ClassName;
    GUID m_ClassGuid;
};
