#include "support/ALUtilRegistry.h"

#include "support/ALDebugLog.h"

namespace {

// The parts of the new key's security descriptor, released on every path,
// each only when it was obtained.
class PrivateKeySecurity {
public:
    PrivateKeySecurity() = default;
    PrivateKeySecurity(const PrivateKeySecurity&) = delete;
    PrivateKeySecurity& operator=(const PrivateKeySecurity&) = delete;
    ~PrivateKeySecurity() {
        if (m_pEveryoneSID != nullptr)
            FreeSid(m_pEveryoneSID);
        if (m_pAdminSID != nullptr)
            FreeSid(m_pAdminSID);
        if (m_pACL != nullptr)
            LocalFree(m_pACL);
        if (m_pSD != nullptr)
            LocalFree(m_pSD);
    }

    // Everyone (S-1-1-0) with full access for the key and everything below
    // it, then the Administrators (S-1-5-32-544) for the key itself.
    bool DescriptorBuild() {
        SID_IDENTIFIER_AUTHORITY SIDAuthWorld = SECURITY_WORLD_SID_AUTHORITY;
        SID_IDENTIFIER_AUTHORITY SIDAuthNT = SECURITY_NT_AUTHORITY;
        EXPLICIT_ACCESS_W ea[2] = {};

        if (!AllocateAndInitializeSid(&SIDAuthWorld, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &m_pEveryoneSID))
            return PrivateFailure(L"AllocateAndInitializeSid Error %u\n", GetLastError());
        PrivateEntrySet(ea[0], SUB_CONTAINERS_AND_OBJECTS_INHERIT, TRUSTEE_IS_WELL_KNOWN_GROUP, m_pEveryoneSID);

        if (!AllocateAndInitializeSid(&SIDAuthNT, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                      0, 0, 0, &m_pAdminSID))
            return PrivateFailure(L"AllocateAndInitializeSid Error %u\n", GetLastError());
        PrivateEntrySet(ea[1], NO_INHERITANCE, TRUSTEE_IS_GROUP, m_pAdminSID);

        // SetEntriesInAclW reports its error as its result, not as the
        // thread's last error.
        const DWORD AclResult = SetEntriesInAclW(2, ea, nullptr, &m_pACL);
        if (AclResult != ERROR_SUCCESS) {
            m_pACL = nullptr;
            return PrivateFailure(L"SetEntriesInAcl Error %u\n", AclResult);
        }

        m_pSD = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
        if (m_pSD == nullptr)
            return PrivateFailure(L"LocalAlloc Error %u\n", GetLastError());
        if (!InitializeSecurityDescriptor(m_pSD, SECURITY_DESCRIPTOR_REVISION))
            return PrivateFailure(L"InitializeSecurityDescriptor Error %u\n", GetLastError());
        if (!SetSecurityDescriptorDacl(m_pSD, TRUE, m_pACL, FALSE))
            return PrivateFailure(L"SetSecurityDescriptorDacl Error %u\n", GetLastError());
        return true;
    }

    PSECURITY_DESCRIPTOR Descriptor() const { return m_pSD; }

private:
    static void PrivateEntrySet(EXPLICIT_ACCESS_W& Entry, DWORD Inheritance, TRUSTEE_TYPE TrusteeType, PSID pSid) {
        Entry.grfAccessPermissions = KEY_ALL_ACCESS;
        Entry.grfAccessMode = SET_ACCESS;
        Entry.grfInheritance = Inheritance;
        Entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        Entry.Trustee.TrusteeType = TrusteeType;
        Entry.Trustee.ptstrName = static_cast<LPWSTR>(pSid);
    }

    static bool PrivateFailure(const wchar_t* pText, DWORD Code) {
        ALDebugPrint(AL_DEBUG_ERROR, pText, Code);
        return false;
    }

    PSID m_pEveryoneSID = nullptr;
    PSID m_pAdminSID = nullptr;
    PACL m_pACL = nullptr;
    PSECURITY_DESCRIPTOR m_pSD = nullptr;
};

}  // namespace

bool ALUtilPrivateRegistryKeyCreateWithEveryoneAccess(HKEY hRoot, LPCWSTR pSubKeyPath, HKEY* phKey) {
    PrivateKeySecurity Security;
    if (!Security.DescriptorBuild())
        return false;
    SECURITY_ATTRIBUTES sa;
    sa.nLength = sizeof(SECURITY_ATTRIBUTES);
    sa.lpSecurityDescriptor = Security.Descriptor();
    sa.bInheritHandle = FALSE;
    const LSTATUS Status = RegCreateKeyExW(hRoot, pSubKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                           &sa, phKey, nullptr);
    if (Status != ERROR_SUCCESS) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALUtilPrivateRegistryKeyCreateWithEveryoneAccess  RegCreateKeyExW failed! %s %d\n",
                     pSubKeyPath, static_cast<int>(Status));
        return false;
    }
    return true;
}

bool ALUtilRegistryValueGet(HKEY hRoot, LPCWSTR pSubKeyPath, LPCWSTR pValueName, BYTE* pData, DWORD* pDataSize) {
    HKEY hKey = nullptr;
    LSTATUS Status = RegOpenKeyExW(hRoot, pSubKeyPath, 0, KEY_QUERY_VALUE, &hKey);
    if (Status != ERROR_SUCCESS) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALUtilRegistryValueGet ALUtilPrivateRegistryKeyCreateWithEveryoneAccess failed! %s %d\n",
                     pSubKeyPath, static_cast<int>(Status));
        return false;
    }
    DWORD Type = 0;
    Status = RegQueryValueExW(hKey, pValueName, nullptr, &Type, pData, pDataSize);
    if (Status != ERROR_SUCCESS) {
        if (Status == ERROR_FILE_NOT_FOUND)
            ALDebugPrint(AL_DEBUG_ERROR, L"ALUtilRegistryValueGet RegQueryValueExW failed! %s ERROR_FILE_NOT_FOUND\n",
                         pValueName);
        else
            ALDebugPrint(AL_DEBUG_ERROR, L"ALUtilRegistryValueGet RegQueryValueExW failed! %s %d\n", pValueName,
                         static_cast<int>(Status));
        RegCloseKey(hKey);
        return false;
    }
    RegCloseKey(hKey);
    return true;
}

bool ZKLUtilRegistryValueSet(HKEY hRoot, LPCWSTR pKeyPath, LPCWSTR pValueName, DWORD Type, const BYTE* pData,
                             DWORD DataSize) {
    if (Type == REG_SZ)
        // Bounded by the data's size: the text need not be terminated.
        ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ZKLUtilRegistryValueSet Path: %s Value: %s Data: %.*s\n", pKeyPath,
                     pValueName, static_cast<int>(DataSize / sizeof(wchar_t)), reinterpret_cast<const wchar_t*>(pData));
    else
        ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ZKLUtilRegistryValueSet Path: %s Value: %s\n", pKeyPath, pValueName);

    HKEY hKey = nullptr;
    if (!ALUtilPrivateRegistryKeyCreateWithEveryoneAccess(hRoot, pKeyPath, &hKey)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ZKLUtilRegistryValueSet RegCreateKeyExW failed! %s\n", pKeyPath);
        return false;
    }
    const LSTATUS Status = RegSetValueExW(hKey, pValueName, 0, Type, pData, DataSize);
    if (Status != ERROR_SUCCESS) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ZKLUtilRegistryValueSet RegSetValueExW failed! %s %d\n", pValueName,
                     static_cast<int>(Status));
        RegCloseKey(hKey);
        return false;
    }
    RegCloseKey(hKey);
    return true;
}

void ZKLUtilRegistryKeyDelete(HKEY hRoot, LPCWSTR pKeyPath, LPCWSTR pSubKeyName) {
    HKEY hKey = nullptr;
    if (!ALUtilPrivateRegistryKeyCreateWithEveryoneAccess(hRoot, pKeyPath, &hKey)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ZKLUtilRegistryKeyDelete ALUtilPrivateRegistryKeyCreateWithEveryoneAccess failed! %s\n",
                     pSubKeyName);
        return;
    }
    const LSTATUS Status = RegDeleteTreeW(hKey, pSubKeyName);
    if (Status != ERROR_SUCCESS)
        ALDebugPrint(AL_DEBUG_ERROR, L"ZKLUtilRegistryKeyDelete  RegDeleteTree failed! %s Error:%d\n", pSubKeyName,
                     static_cast<int>(Status));
    RegCloseKey(hKey);
}
