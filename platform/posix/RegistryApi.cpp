// The registry functions of the simulated platform; the tree does the work.
#include "RegistryTree.h"
#include "platform/machine.h"
#include "platform/win32.h"

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                               DWORD dwOptions, REGSAM samDesired,
                               const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
    (void)lpClass;  // key classes are not kept
    if (Reserved != 0)
        return ERROR_INVALID_PARAMETER;
    return RegistryTree::Instance().KeyCreate(hKey, lpSubKey, dwOptions, samDesired, lpSecurityAttributes,
                                              phkResult, lpdwDisposition);
}

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                             PHKEY phkResult) {
    (void)ulOptions;  // REG_OPTION_OPEN_LINK: there are no links here
    return RegistryTree::Instance().KeyOpen(hKey, lpSubKey, samDesired, phkResult);
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) { return RegistryTree::Instance().KeyClose(hKey); }

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved,
                                LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved != nullptr)
        return ERROR_INVALID_PARAMETER;
    return RegistryTree::Instance().ValueQuery(hKey, lpValueName, lpType, lpData, lpcbData);
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
    (void)Reserved;
    return RegistryTree::Instance().ValueSet(hKey, lpValueName, dwType, lpData, cbData);
}

LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    return RegistryTree::Instance().ValueDelete(hKey, lpValueName);
}

LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (lpSubKey == nullptr)
        return ERROR_INVALID_PARAMETER;
    return RegistryTree::Instance().KeyDelete(hKey, lpSubKey);
}

LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
    return RegistryTree::Instance().TreeDelete(hKey, lpSubKey);
}

LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                             LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                             PFILETIME lpftLastWriteTime) {
    if (lpReserved != nullptr)
        return ERROR_INVALID_PARAMETER;
    return RegistryTree::Instance().KeyEnum(hKey, dwIndex, lpName, lpcchName, lpClass, lpcchClass,
                                            lpftLastWriteTime);
}

LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved != nullptr)
        return ERROR_INVALID_PARAMETER;
    return RegistryTree::Instance().ValueEnum(hKey, dwIndex, lpValueName, lpcchValueName, lpType, lpData,
                                              lpcbData);
}

LSTATUS WINAPI RegGetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                                 PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                 LPDWORD lpcbSecurityDescriptor) {
    return RegistryTree::Instance().SecurityGet(hKey, SecurityInformation, pSecurityDescriptor,
                                                lpcbSecurityDescriptor);
}

LSTATUS WINAPI RegSetKeySecurity(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                                 PSECURITY_DESCRIPTOR pSecurityDescriptor) {
    return RegistryTree::Instance().SecuritySet(hKey, SecurityInformation, pSecurityDescriptor);
}

void MachineRegistryReset() { RegistryTree::Instance().Reset(); }

void MachineRegistryCallerAdministratorSet(bool bAdministrator) {
    AccessToken::CallerAdministratorSet(bAdministrator);
}

size_t MachineRegistryOpenKeyCount() { return RegistryTree::Instance().HandleCount(); }

bool MachineRegistryKeyExists(LPCWSTR lpPath) { return RegistryTree::Instance().KeyExists(lpPath); }
