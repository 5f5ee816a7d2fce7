// The simulated registry: the HKEY_LOCAL_MACHINE tree, the table of open key
// handles and the access checks, behind one lock. The Reg* functions are thin
// entries into this class; results are Win32 error codes.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "AccessToken.h"
#include "RegistryKey.h"
#include "win32_registry.h"

class RegistryTree {
public:
    static RegistryTree& Instance();

    LSTATUS KeyCreate(HKEY hKey, LPCWSTR lpSubKey, DWORD dwOptions, REGSAM samDesired,
                      const SECURITY_ATTRIBUTES* pSecurityAttributes, PHKEY phkResult, LPDWORD lpdwDisposition);
    LSTATUS KeyOpen(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, PHKEY phkResult);
    LSTATUS KeyClose(HKEY hKey);
    LSTATUS KeyDelete(HKEY hKey, LPCWSTR lpSubKey);
    LSTATUS TreeDelete(HKEY hKey, LPCWSTR lpSubKey);
    LSTATUS KeyEnum(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPWSTR lpClass,
                    LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);

    LSTATUS ValueQuery(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
    LSTATUS ValueSet(HKEY hKey, LPCWSTR lpValueName, DWORD dwType, const BYTE* lpData, DWORD cbData);
    LSTATUS ValueDelete(HKEY hKey, LPCWSTR lpValueName);
    LSTATUS ValueEnum(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData);

    LSTATUS SecurityGet(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                        PSECURITY_DESCRIPTOR pSecurityDescriptor, LPDWORD lpcbSecurityDescriptor);
    LSTATUS SecuritySet(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                        PSECURITY_DESCRIPTOR pSecurityDescriptor);

    // Machine side.
    void Reset();
    size_t HandleCount();
    bool KeyExists(LPCWSTR lpPath);

private:
    struct OpenKey {
        std::shared_ptr<RegistryKey> pKey;
        ACCESS_MASK Granted;
    };

    RegistryTree();
    static std::shared_ptr<RegistryKey> PrivateRootMake();
    static void PrivateSeedPathAdd(RegistryKey& Root, const wchar_t* pPath);
    static SecurityDescriptorImage PrivateDefaultSecurity();
    static SecurityDescriptorImage PrivateInheritedSecurity(const RegistryKey& Parent, std::vector<BYTE> OwnerSid);
    static bool PrivatePathSplit(LPCWSTR lpSubKey, std::vector<std::wstring>& Components);

    // The key behind a handle, with the rights the handle must carry; a
    // predefined root is checked against its DACL each time.
    LSTATUS PrivateResolve(HKEY hKey, ACCESS_MASK Needed, std::shared_ptr<RegistryKey>& pKey);
    LSTATUS PrivateWalk(const std::shared_ptr<RegistryKey>& pBase, LPCWSTR lpSubKey,
                        std::shared_ptr<RegistryKey>& pKey);
    static LSTATUS PrivateSubkeyCreate(RegistryKey& Parent, const std::wstring& Name,
                                       const SecurityDescriptorImage* pRequested, const AccessToken& Caller,
                                       std::shared_ptr<RegistryKey>& pChild);
    HKEY PrivateHandleAdd(std::shared_ptr<RegistryKey> pKey, ACCESS_MASK Granted);
    static bool PrivateSubtreeDeletable(const RegistryKey& Key, const AccessToken& Token);

    std::mutex m_Lock;
    std::shared_ptr<RegistryKey> m_pRoot;
    std::unordered_map<uintptr_t, OpenKey> m_Handles;
    uintptr_t m_NextHandle = 0x1000;
};
