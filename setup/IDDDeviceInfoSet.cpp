#include "IDDDeviceInfoSet.h"

#include <cstring>
#include <cwchar>

#include "SetupLog.h"

namespace {

// Hardware id copied for registration: at most 255 characters + terminator.
constexpr size_t kHardwareIdBufferCharacters = 260;
constexpr size_t kHardwareIdMaxCharacters = 256;  // including the terminator
// Hardware id property read back: 600 bytes on Windows. Counted in characters
// so that wider wchar_t builds hold the same ids.
constexpr DWORD kHardwareIdPropertyCharacters = 300;
constexpr size_t kInfFieldCharacters = 4096;
constexpr DWORD kInstanceIdCharacters = 260;  // device instance ids are at most 200
constexpr const wchar_t* kExpectedProvider = L"Korvax";

// Reads the first string of the device's hardware id list into the buffer,
// which always stays terminated.
BOOL PrivateHardwareIdRead(HDEVINFO hDeviceInfoSet, SP_DEVINFO_DATA* pDeviceInfoData,
                           WCHAR (&hardwareId)[kHardwareIdPropertyCharacters]) {
    std::memset(hardwareId, 0, sizeof(hardwareId));
    return SetupDiGetDeviceRegistryPropertyW(hDeviceInfoSet, pDeviceInfoData, SPDRP_HARDWAREID,
                                             nullptr, reinterpret_cast<PBYTE>(hardwareId),
                                             sizeof(hardwareId) - 2 * sizeof(WCHAR), nullptr);
}

}  // namespace

IDDDeviceInfoSet::IDDDeviceInfoSet() : m_DeviceInfoSet(INVALID_HANDLE_VALUE), m_DeviceInfoData() {}

IDDDeviceInfoSet::~IDDDeviceInfoSet() { PrivateDeviceInfoSetRelease(); }

void IDDDeviceInfoSet::PrivateDeviceInfoSetRelease() {
    if (m_DeviceInfoSet != INVALID_HANDLE_VALUE)
        SetupDiDestroyDeviceInfoList(m_DeviceInfoSet);
    m_DeviceInfoSet = INVALID_HANDLE_VALUE;
}

DWORD IDDDeviceInfoSet::CreateDeviceNode(const GUID& classGuid, const wchar_t* hardwareId,
                                         const wchar_t* deviceName) {
    PrivateDeviceInfoSetRelease();
    m_DeviceInfoSet = SetupDiCreateDeviceInfoList(&classGuid, nullptr);
    if (m_DeviceInfoSet == INVALID_HANDLE_VALUE) {
        DWORD dwError = GetLastError();
        SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::CreateDeviceNode SetupDiCreateDeviceInfoList failed %d\n", dwError);
        return dwError;
    }
    SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::CreateDeviceNode SetupDiCreateDeviceInfoList success\n");

    m_DeviceInfoData.cbSize = sizeof(SP_DEVINFO_DATA);
    if (!SetupDiCreateDeviceInfoW(m_DeviceInfoSet, deviceName, &classGuid, nullptr, nullptr,
                                  DICD_GENERATE_ID, &m_DeviceInfoData)) {
        DWORD dwError = GetLastError();
        SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::CreateDeviceNode SetupDiCreateDeviceInfo failed %d\n", dwError);
        return dwError;
    }
    SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::CreateDeviceNode SetupDiCreateDeviceInfo success\n");

    WCHAR hardwareIdList[kHardwareIdBufferCharacters] = {};
    size_t idLength = wcsnlen(hardwareId, kHardwareIdMaxCharacters);
    if (idLength >= kHardwareIdMaxCharacters) {
        // A bounded copy reports no system error of its own; name the cause so
        // that the failure cannot read as success.
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        DWORD dwError = GetLastError();
        SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::CreateDeviceNode StringCchCopy failed %d\n", dwError);
        return dwError;
    }
    std::wmemcpy(hardwareIdList, hardwareId, idLength);

    // A multi-string: the id, its terminator and the list terminator.
    DWORD dwListBytes = static_cast<DWORD>((idLength + 2) * sizeof(WCHAR));
    m_DeviceInfoData.cbSize = sizeof(SP_DEVINFO_DATA);
    if (!SetupDiSetDeviceRegistryPropertyW(m_DeviceInfoSet, &m_DeviceInfoData, SPDRP_HARDWAREID,
                                           reinterpret_cast<const BYTE*>(hardwareIdList), dwListBytes)) {
        DWORD dwError = GetLastError();
        SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::CreateDeviceNode SetupDiSetDeviceRegistryProperty failed %d\n", dwError);
        return dwError;
    }
    SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::CreateDeviceNode SetupDiSetDeviceRegistryProperty success\n");

    if (PrivateDetectDeviceNode(classGuid, hardwareId)) {
        // The new element is not registered and goes away with the set.
        SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::CreateDeviceNode PrivateDetectDeviceNode device detected\n");
        return ERROR_SUCCESS;
    }

    m_DeviceInfoData.cbSize = sizeof(SP_DEVINFO_DATA);
    if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, m_DeviceInfoSet, &m_DeviceInfoData)) {
        DWORD dwError = GetLastError();
        SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::CreateDeviceNode SetupDiCallClassInstaller failed %d\n", dwError);
        return dwError;
    }
    SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::CreateDeviceNode SetupDiCallClassInstaller success\n");
    return ERROR_SUCCESS;
}

// The element just created in m_DeviceInfoSet is not yet a device; a platform
// that lists it among the present devices (Wine does) must not make it look
// like an earlier installation, so it is skipped by its instance id.
bool IDDDeviceInfoSet::PrivateDetectDeviceNode(const GUID& classGuid, const wchar_t* hardwareId) {
    WCHAR newInstanceId[kInstanceIdCharacters] = {};
    m_DeviceInfoData.cbSize = sizeof(SP_DEVINFO_DATA);
    if (!SetupDiGetDeviceInstanceIdW(m_DeviceInfoSet, &m_DeviceInfoData, newInstanceId, kInstanceIdCharacters, nullptr))
        newInstanceId[0] = L'\0';
    HDEVINFO hDeviceInfoSet = SetupDiGetClassDevsW(&classGuid, nullptr, nullptr, DIGCF_PRESENT);
    if (hDeviceInfoSet == INVALID_HANDLE_VALUE) {
        DWORD dwError = GetLastError();
        SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::PrivateDetectDeviceNode SetupDiGetClassDevs failed %d\n", dwError);
        return false;
    }
    bool bFound = false;
    SP_DEVINFO_DATA deviceInfoData = {};
    deviceInfoData.cbSize = sizeof(SP_DEVINFO_DATA);
    for (DWORD dwIndex = 0; !bFound && SetupDiEnumDeviceInfo(hDeviceInfoSet, dwIndex, &deviceInfoData); ++dwIndex) {
        WCHAR instanceId[kInstanceIdCharacters] = {};
        if (newInstanceId[0] != L'\0' &&
            SetupDiGetDeviceInstanceIdW(hDeviceInfoSet, &deviceInfoData, instanceId, kInstanceIdCharacters, nullptr) &&
            std::wcscmp(instanceId, newInstanceId) == 0)
            continue;
        WCHAR currentHardwareId[kHardwareIdPropertyCharacters];
        if (!PrivateHardwareIdRead(hDeviceInfoSet, &deviceInfoData, currentHardwareId)) {
            DWORD dwError = GetLastError();
            SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::PrivateDetectDeviceNode SetupDiGetDeviceRegistryProperty failed %d\n", dwError);
            continue;
        }
        SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::PrivateDetectDeviceNode Current HWID = %s\n", currentHardwareId);
        bFound = std::wcscmp(currentHardwareId, hardwareId) == 0;
    }
    SetupDiDestroyDeviceInfoList(hDeviceInfoSet);
    return bFound;
}

DWORD IDDDeviceInfoSet::RemoveDeviceNode(const GUID& classGuid, const wchar_t* hardwareId) {
    PrivateDeviceInfoSetRelease();
    m_DeviceInfoSet = SetupDiGetClassDevsW(&classGuid, nullptr, nullptr, DIGCF_PRESENT);
    if (m_DeviceInfoSet == INVALID_HANDLE_VALUE) {
        DWORD dwError = GetLastError();
        SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::RemoveDeviceNode SetupDiGetClassDevs failed %d\n", dwError);
        return dwError;
    }
    SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::RemoveDeviceNode SetupDiGetClassDevs success\n");
    SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::RemoveDeviceNode Find device instance/s...\n");

    int removedCount = 0;
    for (DWORD dwIndex = 0;; ++dwIndex) {
        m_DeviceInfoData.cbSize = sizeof(SP_DEVINFO_DATA);
        // Judged by its result: a success may leave an older last error behind.
        if (!SetupDiEnumDeviceInfo(m_DeviceInfoSet, dwIndex, &m_DeviceInfoData)) {
            DWORD dwError = GetLastError();
            if (dwError == ERROR_NO_MORE_ITEMS)
                break;
            SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::RemoveDeviceNode SetupDiEnumDeviceInfo failed %d\n", dwError);
            return dwError;
        }
        WCHAR currentHardwareId[kHardwareIdPropertyCharacters];
        if (!PrivateHardwareIdRead(m_DeviceInfoSet, &m_DeviceInfoData, currentHardwareId)) {
            DWORD dwError = GetLastError();
            SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::RemoveDeviceNode SetupDiGetDeviceRegistryProperty (1) failed %d\n", dwError);
            continue;
        }
        SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::RemoveDeviceNode Current HWID = %s\n", currentHardwareId);
        if (std::wcscmp(currentHardwareId, hardwareId) != 0)
            continue;
        BOOL bRemoved = SetupDiCallClassInstaller(DIF_REMOVE, m_DeviceInfoSet, &m_DeviceInfoData);
        DWORD dwError = GetLastError();
        ++removedCount;
        if (bRemoved)
            SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::RemoveDeviceNode Found an instance = %s %d\n", hardwareId, removedCount);
        else
            SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::RemoveDeviceNode SetupDiGetDeviceRegistryProperty (4) failed %d\n", dwError);
    }
    SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::RemoveDeviceNode No more items\n");
    if (removedCount == 0)
        SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::RemoveDeviceNode No Device instance found\n");
    return ERROR_SUCCESS;
}

DWORD IDDDeviceInfoSet::RemoveDriverOemInf(const wchar_t* expectedClass) {
    std::vector<std::wstring> infPaths;
    DWORD dwResult = PrivateOemInfPathsCollect(infPaths);
    if (dwResult != ERROR_SUCCESS)
        return dwResult;

    const ValidationCriterion criteria[kValidationCriteria] = {
        {L"Version", L"Class", expectedClass},
        {L"Version", L"Provider", kExpectedProvider},
    };
    for (const std::wstring& infPath : infPaths) {
        DWORD dwMatched = 0;
        dwResult = PrivateValidateDriverOemInfFile(infPath.c_str(), criteria, &dwMatched);
        if (dwResult != ERROR_SUCCESS) {
            SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::RemoveDriverOemInf PrivateValidateDriverOemInfFile failed\n");
            return dwResult;
        }
        if (dwMatched == 0) {
            SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::RemoveDriverOemInf PrivateValidateDriverOemInfFile %s didn't match\n", infPath.c_str());
            continue;
        }
        SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::RemoveDriverOemInf PrivateValidateDriverOemInfFile %s \"%s\" and \"%s\" matched\n",
                 infPath.c_str(), expectedClass, kExpectedProvider);
        PrivateOemInfUninstall(infPath);
    }
    return ERROR_SUCCESS;
}

// Full paths of the INF directory's OEM*.INF files, in directory order.
DWORD IDDDeviceInfoSet::PrivateOemInfPathsCollect(std::vector<std::wstring>& infPaths) {
    WCHAR infDirectory[MAX_PATH] = {};
    UINT uLength = GetWindowsDirectoryW(infDirectory, MAX_PATH);
    if (uLength == 0 || uLength >= MAX_PATH) {
        DWORD dwError = uLength == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
        SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::RemoveDriverOemInf GetWindowsDirectory failed %d\n", dwError);
        return dwError;
    }
    // PathAppend reports only overflow, and not always through the last error.
    SetLastError(ERROR_BUFFER_OVERFLOW);
    if (!PathAppendW(infDirectory, L"INF")) {
        DWORD dwError = GetLastError();
        SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::RemoveDriverOemInf PathAppendW1 failed %d\n", dwError);
        return dwError;
    }
    WCHAR searchPattern[MAX_PATH] = {};
    std::wmemcpy(searchPattern, infDirectory, MAX_PATH);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    if (!PathAppendW(searchPattern, L"OEM*.INF")) {
        DWORD dwError = GetLastError();
        SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::RemoveDriverOemInf PathAppendW2 failed %d\n", dwError);
        return dwError;
    }
    WIN32_FIND_DATAW findData = {};
    HANDLE hFind = FindFirstFileW(searchPattern, &findData);
    if (hFind == INVALID_HANDLE_VALUE) {
        DWORD dwError = GetLastError();
        SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::RemoveDriverOemInf FindFirstFileW failed %d\n", dwError);
        return dwError;
    }
    do {
        infPaths.push_back(std::wstring(infDirectory) + L"\\" + findData.cFileName);
    } while (FindNextFileW(hFind, &findData));
    FindClose(hFind);
    return ERROR_SUCCESS;
}

// A package that cannot be uninstalled (a device still uses it) is logged and
// left; the others are still examined.
void IDDDeviceInfoSet::PrivateOemInfUninstall(const std::wstring& infPath) {
    WCHAR infName[MAX_PATH] = {};
    std::wcsncpy(infName, infPath.c_str(), MAX_PATH - 1);
    PathStripPathW(infName);
    SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::RemoveDriverOemInf Removing %s\n", infName);
    if (!SetupUninstallOEMInfW(infName, 0, nullptr)) {
        DWORD dwError = GetLastError();
        SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::RemoveDriverOemInf SetupUninstallOEMInf failed %d\n", dwError);
        SetupLog(SETUP_LOG_DETAIL, L"IDDDeviceInfoSet::RemoveDriverOemInf Removing %s failed\n", infName);
    }
}

DWORD IDDDeviceInfoSet::PrivateValidateDriverOemInfFile(const wchar_t* infPath,
                                                        const ValidationCriterion (&criteria)[kValidationCriteria],
                                                        DWORD* pMatched) {
    *pMatched = 0;
    HINF hInf = SetupOpenInfFileW(infPath, nullptr, INF_STYLE_WIN4, nullptr);
    if (hInf == INVALID_HANDLE_VALUE) {
        DWORD dwError = GetLastError();
        SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::PrivateValidateDriverOemInfFile SetupOpenInfFile failed %d\n", dwError);
        return dwError;
    }
    for (const ValidationCriterion& criterion : criteria) {
        INFCONTEXT context = {};
        if (!SetupFindFirstLineW(hInf, criterion.Section, criterion.Key, &context)) {
            DWORD dwError = GetLastError();
            SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::SetupFindFirstLine SetupOpenInfFile failed %d\n", dwError);
            SetupCloseInfFile(hInf);
            return dwError;
        }
        std::wstring field(kInfFieldCharacters, L'\0');
        if (!SetupGetStringFieldW(&context, 1, field.data(), static_cast<DWORD>(kInfFieldCharacters), nullptr)) {
            DWORD dwError = GetLastError();
            SetupLog(SETUP_LOG_FAILURE, L"IDDDeviceInfoSet::SetupGetStringField SetupOpenInfFile failed %d\n", dwError);
            SetupCloseInfFile(hInf);
            return dwError;
        }
        if (std::wcscmp(field.c_str(), criterion.ExpectedValue) != 0) {
            *pMatched = 0;
            SetupCloseInfFile(hInf);
            return ERROR_SUCCESS;
        }
        *pMatched = 1;
    }
    SetupCloseInfFile(hInf);
    return ERROR_SUCCESS;
}
