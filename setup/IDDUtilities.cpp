#include "IDDUtilities.h"

#include "SetupLog.h"
#include "platform/setupapi.h"

namespace IDDUtilities {

bool ScanForHardwareChanges() {
    DEVINST devInstRoot = 0;
    if (CM_Locate_DevNodeW(&devInstRoot, nullptr, CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS) {
        SetupLog(SETUP_LOG_FAILURE, L"IDDUtilities::ScanForHardwareChanges CM_Locate_DevNode failed\n");
        return false;
    }
    if (CM_Reenumerate_DevNode(devInstRoot, CM_REENUMERATE_SYNCHRONOUS) != CR_SUCCESS) {
        SetupLog(SETUP_LOG_FAILURE, L"IDDUtilities::ScanForHardwareChanges CM_Reenumerate_DevNode failed\n");
        return false;
    }
    return true;
}

void GetInfFilePath(const std::wstring& infName, std::wstring& path) {
    WCHAR moduleDirectory[MAX_PATH] = {};
    DWORD dwLength = GetModuleFileNameW(nullptr, moduleDirectory, MAX_PATH);
    // A path cut to the buffer is as useless as none.
    bool bFound = dwLength != 0 && dwLength < MAX_PATH;
    if (bFound)
        bFound = PathRemoveFileSpecW(moduleDirectory) != FALSE;
    if (!bFound) {
        DWORD dwError = GetLastError();
        path.clear();
        SetupLog(SETUP_LOG_FAILURE, L"IDDUtilities::GetInfFilePath  GetFullPathName failed %d\n", dwError);
        return;
    }
    path = moduleDirectory;
    path += L"\\";
    path += infName;
}

}  // namespace IDDUtilities
