#include "IDDSetupActions.h"

#include "IDDDeviceInfoSet.h"
#include "IDDUtilities.h"
#include "SetupLog.h"
#include "platform/setupapi.h"

namespace {

constexpr const wchar_t* kInfFileName = L"korvaxHaldenExtendedDisplay.inf";
constexpr const wchar_t* kHardwareId = L"Root\\VID_KORVAX_HALDEN_VIRTUAL_DISPLAY_0001";
constexpr const wchar_t* kClassName = L"Display";
// The Display device setup class.
constexpr GUID kClassGuidDisplay = {0x4D36E968, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

constexpr DWORD kMinimumMajorVersion = 10;
constexpr DWORD kMinimumMinorVersion = 0;
constexpr WORD kMinimumServicePackMajor = 0;
constexpr DWORD kMinimumBuildNumber = 14393;

constexpr const wchar_t* kUninstallCommandPrefix = L"DefaultUninstall 128 ";
// The user-mode driver service's key, under HKEY_LOCAL_MACHINE.
constexpr const wchar_t* kServiceKey =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\WUDF\\Services\\korvaxHaldenDisplayUmode";

bool PrivateVersionAtLeast(DWORD dwMajor, DWORD dwMinor, WORD wServicePackMajor) {
    OSVERSIONINFOEXW versionInfo = {};
    versionInfo.dwOSVersionInfoSize = sizeof(versionInfo);
    versionInfo.dwMajorVersion = dwMajor;
    versionInfo.dwMinorVersion = dwMinor;
    versionInfo.wServicePackMajor = wServicePackMajor;
    DWORDLONG conditionMask = 0;
    conditionMask = VerSetConditionMask(conditionMask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    conditionMask = VerSetConditionMask(conditionMask, VER_MINORVERSION, VER_GREATER_EQUAL);
    conditionMask = VerSetConditionMask(conditionMask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&versionInfo, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                              conditionMask) != FALSE;
}

bool PrivateBuildAtLeast(DWORD dwBuildNumber) {
    OSVERSIONINFOEXW versionInfo = {};
    versionInfo.dwOSVersionInfoSize = sizeof(versionInfo);
    versionInfo.dwBuildNumber = dwBuildNumber;
    DWORDLONG conditionMask = VerSetConditionMask(0, VER_BUILDNUMBER, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&versionInfo, VER_BUILDNUMBER, conditionMask) != FALSE;
}

}  // namespace

IDDSetupActions::IDDSetupActions() : m_ClassGuid() {}

DWORD IDDSetupActions::PrivateVersionGate(const VersionGateTexts& texts) {
    if (!PrivateVersionAtLeast(kMinimumMajorVersion, kMinimumMinorVersion, kMinimumServicePackMajor)) {
        SetupLog(SETUP_LOG_FAILURE, texts.VersionNotSupported);
        return ERROR_NOT_SUPPORTED;
    }
    if (!PrivateBuildAtLeast(kMinimumBuildNumber)) {
        SetupLog(SETUP_LOG_FAILURE, texts.BuildNotSupported);
        if (texts.bMessageBoxShow)
            MessageBoxW(nullptr, L"Windows 10 version not supported", L"Install failed!", MB_OK);
        return ERROR_NOT_SUPPORTED;
    }
    return ERROR_SUCCESS;
}

DWORD IDDSetupActions::Install() {
    SetupLog(SETUP_LOG_PROGRESS, L"IDDSetupActions::Install Begin Install Process...\n");
    DWORD dwResult = PrivateVersionGate({L"IDDSetupActions::Install failed! Windows version not supported.\n",
                                         L"IDDSetupActions::Install failed! Windows 10 version not supported\n",
                                         true});
    if (dwResult != ERROR_SUCCESS)
        return dwResult;

    IDDDeviceInfoSet deviceInfoSet;
    PrivateInitializeGlobals();

    dwResult = deviceInfoSet.CreateDeviceNode(m_ClassGuid, m_HardwareId.c_str(), m_ClassName.c_str());
    if (dwResult != ERROR_SUCCESS) {
        SetupLog(SETUP_LOG_FAILURE, L"IDDSetupActions::Install DeviceInfoSet.CreateDeviceNode failed %d\n", dwResult);
        return dwResult;
    }
    SetupLog(SETUP_LOG_PROGRESS, L"IDDSetupActions::Install DeviceInfoSet.CreateDeviceNode success\n");

    if (!DiInstallDriverW(nullptr, m_InfPath.c_str(), 0, nullptr)) {
        DWORD dwError = GetLastError();
        SetupLog(SETUP_LOG_FAILURE, L"IDDSetupActions::Install DiInstallDriver failed %d\n", dwError);
        return dwError;
    }
    SetupLog(SETUP_LOG_PROGRESS, L"IDDSetupActions::Install DiInstallDriver success\n");
    IDDUtilities::ScanForHardwareChanges();
    SetupLog(SETUP_LOG_PROGRESS, L"IDDSetupActions::Install Install Process Finished\n");
    return ERROR_SUCCESS;
}

DWORD IDDSetupActions::Uninstall() {
    SetupLog(SETUP_LOG_PROGRESS, L"IDDSetupActions::Uninstall Begin Uninstall Process...\n");
    DWORD dwResult = PrivateVersionGate({L"IDDSetupActions::Uninstall failed! Windows version not supported.\n",
                                         L"IDDSetupActions::Uninstall failed! Windows 10 version not supported\n",
                                         false});
    if (dwResult != ERROR_SUCCESS)
        return dwResult;

    IDDDeviceInfoSet deviceInfoSet;
    PrivateInitializeGlobals();

    dwResult = deviceInfoSet.RemoveDeviceNode(m_ClassGuid, m_HardwareId.c_str());
    if (dwResult != ERROR_SUCCESS) {
        SetupLog(SETUP_LOG_FAILURE, L"IDDSetupActions::Uninstall DeviceInfoSet.RemoveDeviceNode failed %d\n", dwResult);
        return dwResult;
    }
    SetupLog(SETUP_LOG_PROGRESS, L"IDDSetupActions::Uninstall DeviceInfoSet.RemoveDeviceNode success\n");

    dwResult = deviceInfoSet.RemoveDriverOemInf(kClassName);
    if (dwResult != ERROR_SUCCESS) {
        SetupLog(SETUP_LOG_FAILURE, L"IDDSetupActions::Uninstall DeviceInfoSet.RemoveDeviceOemInf failed %d\n", dwResult);
        return dwResult;
    }
    SetupLog(SETUP_LOG_PROGRESS, L"IDDSetupActions::Uninstall DeviceInfoSet.RemoveDeviceOemInf success\n");

    IDDUtilities::ScanForHardwareChanges();
    PrivateCleanup();
    SetupLog(SETUP_LOG_PROGRESS, L"IDDSetupActions::Uninstall Uninstall Process Finished\n");
    return ERROR_SUCCESS;
}

void IDDSetupActions::PrivateInitializeGlobals() {
    m_InfFileName = kInfFileName;
    m_HardwareId = kHardwareId;
    m_ClassGuid = kClassGuidDisplay;
    m_ClassName = kClassName;
    std::wstring infFileName = m_InfFileName;
    IDDUtilities::GetInfFilePath(infFileName, m_InfPath);
    SetupLog(SETUP_LOG_PROGRESS,
             L"IDDSetupActions::PrivateInitializeGlobals:            \n --%s\n --%s\n"
             L" --{%08lX-%04hX-%04hX-%02hhX%02hhX-%02hhX%02hhX%02hhX%02hhX%02hhX%02hhX}\n --%s\n --%s\n",
             m_InfFileName.c_str(), m_HardwareId.c_str(), m_ClassGuid.Data1, m_ClassGuid.Data2,
             m_ClassGuid.Data3, m_ClassGuid.Data4[0], m_ClassGuid.Data4[1], m_ClassGuid.Data4[2],
             m_ClassGuid.Data4[3], m_ClassGuid.Data4[4], m_ClassGuid.Data4[5], m_ClassGuid.Data4[6],
             m_ClassGuid.Data4[7], m_ClassName.c_str(), m_InfPath.c_str());
}

void IDDSetupActions::PrivateCleanup() {
    SetupLog(SETUP_LOG_PROGRESS, L"IDDSetupActions::PrivateCleanup Removing file and registry entry\n");
    std::wstring uninstallCommand = kUninstallCommandPrefix + m_InfPath;
    InstallHinfSectionW(nullptr, nullptr, uninstallCommand.c_str(), 0);
    LSTATUS status = SHDeleteKeyW(HKEY_LOCAL_MACHINE, kServiceKey);
    if (status != ERROR_SUCCESS)
        SetupLog(SETUP_LOG_FAILURE, L"IDDSetupActions::PrivateCleanup SHDeleteKey failed! %d\n", status);
}
