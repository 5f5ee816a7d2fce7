// Entry point of the setup program: "install" or "remove" anywhere in the
// command line. The exit code is always 0; the outcome is in the log.
#include <string>

#include "IDDSetupActions.h"
#include "SetupLog.h"
#include "platform/setupapi.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nShowCmd) {
    UNREFERENCED_PARAMETER(hInstance);
    UNREFERENCED_PARAMETER(hPrevInstance);
    UNREFERENCED_PARAMETER(nShowCmd);

    SYSTEMTIME localTime = {};
    GetLocalTime(&localTime);
    SetupLog(SETUP_LOG_HEADER, L"\n====================================================\n");
    SetupLog(SETUP_LOG_HEADER, L"Call: %d/%d/%d %d:%d:%d Build: %S %S\n", localTime.wMonth, localTime.wDay,
             localTime.wYear, localTime.wHour, localTime.wMinute, localTime.wSecond, __DATE__, __TIME__);

    IDDSetupActions setupActions;
    const std::wstring commandLine = lpCmdLine != nullptr ? lpCmdLine : L"";
    bool bActionRun = false;
    DWORD dwResult = ERROR_SUCCESS;
    // Case-sensitive substrings: "uninstall" contains "install" and installs.
    if (commandLine.find(L"install") != std::wstring::npos) {
        SetupLog(SETUP_LOG_PROGRESS, L"DriverSetup _tmain: Installing device and driver...\n");
        dwResult = setupActions.Install();
        bActionRun = true;
    } else if (commandLine.find(L"remove") != std::wstring::npos) {
        SetupLog(SETUP_LOG_PROGRESS, L"DriverSetup _tmain: Removing device and driver...\n");
        dwResult = setupActions.Uninstall();
        bActionRun = true;
    } else {
        SetupLog(SETUP_LOG_FAILURE, L"DriverSetup _tmain: Wrong action arguments \"install\" or \"remove\" \n");
    }
    if (bActionRun) {
        if (dwResult == ERROR_SUCCESS)
            SetupLog(SETUP_LOG_PROGRESS, L"DriverSetup _tmain: Setup Success!\n");
        else
            SetupLog(SETUP_LOG_FAILURE, L"DriverSetup _tmain:Exit Setup Failed\n");
    }
    return 0;
}
