// Driver packages (newdev, SetupAPI) of the simulated machine: installing a
// package into the INF store and onto devices, and uninstalling it.
#include <cwchar>

#include "DeviceTree.h"
#include "FileSystem.h"
#include "InfFile.h"
#include "InfStore.h"
#include "platform/setupapi.h"

BOOL WINAPI DiInstallDriverW(HWND hwndParent, LPCWSTR InfPath, DWORD Flags, PBOOL NeedReboot) {
    (void)hwndParent;
    if (InfPath == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((Flags & ~DWORD(DIIRFLAG_FORCE_INF)) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return FALSE;
    }
    if (!FileSystem::IsFullyQualified(InfPath)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string hostPath;
    DWORD dwError = FileSystem::HostPathFromWindows(InfPath, hostPath);
    std::unique_ptr<InfFile> inf;
    if (dwError == ERROR_SUCCESS)
        dwError = InfFile::Load(hostPath, inf, nullptr);
    if (dwError == ERROR_SUCCESS && !inf->IsWin4Style())
        dwError = ERROR_WRONG_INF_STYLE;
    std::wstring oemName;
    if (dwError == ERROR_SUCCESS)
        dwError = InfStore::PackageAdd(hostPath, oemName);
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError == ERROR_PATH_NOT_FOUND ? DWORD(ERROR_FILE_NOT_FOUND) : dwError);
        return FALSE;
    }
    InfStore::PackageInstallOnDevices(oemName);
    if (NeedReboot != nullptr)
        *NeedReboot = FALSE;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI SetupUninstallOEMInfW(LPCWSTR InfFileName, DWORD Flags, PVOID Reserved) {
    if (InfFileName == nullptr || Reserved != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((Flags & ~DWORD(SUOI_FORCEDELETE)) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return FALSE;
    }
    std::wstring name = InfFileName;
    bool bOemName = name.find_first_of(L"\\/:") == std::wstring::npos && name.size() > 7 &&
                    FileSystem::NameEquals(name.substr(0, 3), L"oem") &&
                    FileSystem::NameEquals(name.substr(name.size() - 4), L".inf");
    if (!bOemName) {
        SetLastError(ERROR_NOT_AN_INSTALLED_OEM_INF);
        return FALSE;
    }
    DeviceTree& tree = DeviceTree::Instance();
    std::vector<DEVINST> users = tree.NodesUsingInf(name);
    if (!users.empty() && (Flags & SUOI_FORCEDELETE) == 0) {
        SetLastError(ERROR_INF_IN_USE_BY_DEVICES);
        return FALSE;
    }
    DWORD dwError = InfStore::PackageRemove(name);
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError);
        return FALSE;
    }
    for (DEVINST devInst : users)
        tree.DriverSet(devInst, std::wstring());
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
