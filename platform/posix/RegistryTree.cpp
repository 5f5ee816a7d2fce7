#include "RegistryTree.h"

#include <cstring>

#include "AceList.h"
#include "SecurityLayout.h"

namespace {

constexpr GENERIC_MAPPING kKeyMapping = {KEY_READ, KEY_WRITE, KEY_EXECUTE, KEY_ALL_ACCESS};
constexpr BYTE kNtAuthority = 5;
constexpr REGSAM kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;
constexpr DWORD kKnownOptions = REG_OPTION_VOLATILE;
constexpr size_t kMaxKeyNameChars = 255;

// Keys that every Windows installation has, so that paths below them behave
// as there (created with the DACL they inherit from the root).
const wchar_t* const kSeededKeys[] = {
    L"HARDWARE",
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
    L"SYSTEM\\CurrentControlSet\\Control\\Class",
    L"SYSTEM\\CurrentControlSet\\Services",
};

bool IsPredefinedRoot(HKEY hKey) {
    const auto Value = reinterpret_cast<uintptr_t>(hKey);
    return Value >= reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT) &&
           Value <= reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT) + 0x0F;
}

std::vector<BYTE> NtSid(std::vector<DWORD> SubAuthorities) {
    return AccessToken::WellKnownSid(kNtAuthority, std::move(SubAuthorities));
}

std::wstring_view NameOf(LPCWSTR lpName) { return lpName == nullptr ? std::wstring_view{} : std::wstring_view{lpName}; }

// Copies Name and its terminator into a buffer of *lpcch characters; on
// return *lpcch holds the name's length without the terminator.
LSTATUS NameCopy(const std::wstring& Name, LPWSTR lpBuffer, LPDWORD lpcch) {
    if (lpBuffer == nullptr || lpcch == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (*lpcch < Name.size() + 1)
        return ERROR_MORE_DATA;
    std::memcpy(lpBuffer, Name.c_str(), (Name.size() + 1) * sizeof(WCHAR));
    *lpcch = static_cast<DWORD>(Name.size());
    return ERROR_SUCCESS;
}

LSTATUS DataCopy(const RegistryKey::Value& Entry, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpData != nullptr && lpcbData == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (lpType != nullptr)
        *lpType = Entry.Type;
    if (lpcbData == nullptr)
        return ERROR_SUCCESS;
    const auto dwNeeded = static_cast<DWORD>(Entry.Data.size());
    const DWORD dwRoom = *lpcbData;
    *lpcbData = dwNeeded;
    if (lpData == nullptr)
        return ERROR_SUCCESS;
    if (dwRoom < dwNeeded)
        return ERROR_MORE_DATA;
    if (dwNeeded != 0)
        std::memcpy(lpData, Entry.Data.data(), dwNeeded);
    return ERROR_SUCCESS;
}

}  // namespace

RegistryTree& RegistryTree::Instance() {
    static RegistryTree s_Instance;
    return s_Instance;
}

RegistryTree::RegistryTree() : m_pRoot(PrivateRootMake()) {}

// HKEY_LOCAL_MACHINE as Windows protects it: SYSTEM and Administrators have
// full access, Users may read; all of it inherited by the keys below.
std::shared_ptr<RegistryKey> RegistryTree::PrivateRootMake() {
    AceList Aces;
    const BYTE Inherit = CONTAINER_INHERIT_ACE;
    Aces.Append({ACCESS_ALLOWED_ACE_TYPE, Inherit, KEY_ALL_ACCESS, NtSid({SECURITY_LOCAL_SYSTEM_RID})});
    Aces.Append({ACCESS_ALLOWED_ACE_TYPE, Inherit, KEY_ALL_ACCESS,
                 NtSid({SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS})});
    Aces.Append({ACCESS_ALLOWED_ACE_TYPE, Inherit, KEY_READ,
                 NtSid({SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS})});
    SecurityDescriptorImage Security;
    Security.OwnerSet(NtSid({SECURITY_LOCAL_SYSTEM_RID}));
    Security.DaclSet(true, Aces.Bytes());
    auto pRoot = std::make_shared<RegistryKey>(L"MACHINE", Security);
    for (const wchar_t* pPath : kSeededKeys)
        PrivateSeedPathAdd(*pRoot, pPath);
    return pRoot;
}

void RegistryTree::PrivateSeedPathAdd(RegistryKey& Root, const wchar_t* pPath) {
    std::vector<std::wstring> Components;
    PrivatePathSplit(pPath, Components);
    RegistryKey* pParent = &Root;
    for (const std::wstring& Name : Components) {
        auto pChild = pParent->SubkeyFind(Name);
        if (pChild == nullptr) {
            pChild = std::make_shared<RegistryKey>(
                Name, PrivateInheritedSecurity(*pParent, NtSid({SECURITY_LOCAL_SYSTEM_RID})));
            pParent->SubkeyAdd(pChild);
        }
        pParent = pChild.get();
    }
}

// The caller's default DACL, for a key whose parent passes nothing on.
SecurityDescriptorImage RegistryTree::PrivateDefaultSecurity() {
    const AccessToken Caller = AccessToken::Caller();
    AceList Aces;
    Aces.Append({ACCESS_ALLOWED_ACE_TYPE, 0, KEY_ALL_ACCESS, Caller.OwnerSid()});
    Aces.Append({ACCESS_ALLOWED_ACE_TYPE, 0, KEY_ALL_ACCESS, NtSid({SECURITY_LOCAL_SYSTEM_RID})});
    SecurityDescriptorImage Security;
    Security.OwnerSet(Caller.OwnerSid());
    Security.DaclSet(true, Aces.Bytes());
    return Security;
}

SecurityDescriptorImage RegistryTree::PrivateInheritedSecurity(const RegistryKey& Parent,
                                                               std::vector<BYTE> OwnerSid) {
    AceList ParentAces;
    if (!Parent.Security().DaclPresent() || !ParentAces.Read(Parent.Security().DaclPointer()))
        return PrivateDefaultSecurity();
    const AceList Inherited = ParentAces.ContainerInheritance();
    if (Inherited.Entries().empty())
        return PrivateDefaultSecurity();
    SecurityDescriptorImage Security;
    Security.OwnerSet(std::move(OwnerSid));
    Security.DaclSet(true, Inherited.Bytes());
    return Security;
}

bool RegistryTree::PrivatePathSplit(LPCWSTR lpSubKey, std::vector<std::wstring>& Components) {
    Components.clear();
    const std::wstring_view Path = NameOf(lpSubKey);
    if (Path.empty())
        return true;
    if (Path.front() == L'\\')
        return false;
    size_t Start = 0;
    while (Start < Path.size()) {
        const size_t End = std::min(Path.find(L'\\', Start), Path.size());
        if (End == Start || End - Start > kMaxKeyNameChars)
            return false;  // empty component ("a\\\\b") or an overlong name
        Components.emplace_back(Path.substr(Start, End - Start));
        Start = End + 1;  // a single trailing backslash is accepted
    }
    return true;
}

LSTATUS RegistryTree::PrivateResolve(HKEY hKey, ACCESS_MASK Needed, std::shared_ptr<RegistryKey>& pKey) {
    if (hKey == HKEY_LOCAL_MACHINE) {
        ACCESS_MASK Granted = 0;
        if (Needed != 0 && !AccessToken::Caller().Check(m_pRoot->Security(), Needed, kKeyMapping, &Granted))
            return ERROR_ACCESS_DENIED;
        pKey = m_pRoot;
        return ERROR_SUCCESS;
    }
    if (IsPredefinedRoot(hKey))
        return ERROR_INVALID_HANDLE;  // only HKEY_LOCAL_MACHINE exists here
    auto At = m_Handles.find(reinterpret_cast<uintptr_t>(hKey));
    if (At == m_Handles.end())
        return ERROR_INVALID_HANDLE;
    if (At->second.pKey->IsDeleted())
        return ERROR_KEY_DELETED;
    if ((At->second.Granted & Needed) != Needed)
        return ERROR_ACCESS_DENIED;
    pKey = At->second.pKey;
    return ERROR_SUCCESS;
}

LSTATUS RegistryTree::PrivateWalk(const std::shared_ptr<RegistryKey>& pBase, LPCWSTR lpSubKey,
                                  std::shared_ptr<RegistryKey>& pKey) {
    std::vector<std::wstring> Components;
    if (!PrivatePathSplit(lpSubKey, Components))
        return ERROR_BAD_PATHNAME;
    std::shared_ptr<RegistryKey> pCurrent = pBase;
    for (const std::wstring& Name : Components) {
        pCurrent = pCurrent->SubkeyFind(Name);
        if (pCurrent == nullptr)
            return ERROR_FILE_NOT_FOUND;
    }
    pKey = pCurrent;
    return ERROR_SUCCESS;
}

HKEY RegistryTree::PrivateHandleAdd(std::shared_ptr<RegistryKey> pKey, ACCESS_MASK Granted) {
    const uintptr_t Value = m_NextHandle;
    m_NextHandle += 4;  // handle values are never reused
    m_Handles.emplace(Value, OpenKey{std::move(pKey), Granted});
    return reinterpret_cast<HKEY>(Value);
}

LSTATUS RegistryTree::KeyCreate(HKEY hKey, LPCWSTR lpSubKey, DWORD dwOptions, REGSAM samDesired,
                                const SECURITY_ATTRIBUTES* pSecurityAttributes, PHKEY phkResult,
                                LPDWORD lpdwDisposition) {
    if (phkResult == nullptr || (dwOptions & ~kKnownOptions) != 0)
        return ERROR_INVALID_PARAMETER;
    SecurityDescriptorImage Requested;
    const bool bExplicitSecurity =
        pSecurityAttributes != nullptr && pSecurityAttributes->lpSecurityDescriptor != nullptr;
    if (bExplicitSecurity && !Requested.Read(pSecurityAttributes->lpSecurityDescriptor))
        return ERROR_INVALID_SECURITY_DESCR;
    std::lock_guard<std::mutex> Guard(m_Lock);
    std::shared_ptr<RegistryKey> pCurrent;
    LSTATUS Status = PrivateResolve(hKey, 0, pCurrent);
    if (Status != ERROR_SUCCESS)
        return Status;
    std::vector<std::wstring> Components;
    if (!PrivatePathSplit(lpSubKey, Components))
        return ERROR_BAD_PATHNAME;
    const AccessToken Caller = AccessToken::Caller();
    const REGSAM Desired = samDesired & ~kViewFlags;
    bool bCreated = false;
    for (const std::wstring& Name : Components) {
        auto pChild = pCurrent->SubkeyFind(Name);
        if (pChild == nullptr) {
            Status = PrivateSubkeyCreate(*pCurrent, Name, bExplicitSecurity ? &Requested : nullptr, Caller, pChild);
            if (Status != ERROR_SUCCESS)
                return Status;
            bCreated = true;
        }
        pCurrent = pChild;
    }
    ACCESS_MASK Granted = 0;
    if (bCreated) {
        // The creator of a key gets the rights it asked for.
        Caller.Check(SecurityDescriptorImage{}, Desired, kKeyMapping, &Granted);
    } else if (!Caller.Check(pCurrent->Security(), Desired, kKeyMapping, &Granted)) {
        return ERROR_ACCESS_DENIED;
    }
    *phkResult = PrivateHandleAdd(pCurrent, Granted);
    if (lpdwDisposition != nullptr)
        *lpdwDisposition = bCreated ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

// The caller's descriptor goes to every key a create call makes; without one
// (or without a DACL in it) the key inherits from its parent.
LSTATUS RegistryTree::PrivateSubkeyCreate(RegistryKey& Parent, const std::wstring& Name,
                                          const SecurityDescriptorImage* pRequested, const AccessToken& Caller,
                                          std::shared_ptr<RegistryKey>& pChild) {
    ACCESS_MASK Granted = 0;
    if (!Caller.Check(Parent.Security(), KEY_CREATE_SUB_KEY, kKeyMapping, &Granted))
        return ERROR_ACCESS_DENIED;
    SecurityDescriptorImage Security = PrivateInheritedSecurity(Parent, Caller.OwnerSid());
    if (pRequested != nullptr && pRequested->DaclPresent())
        Security.Merge(DACL_SECURITY_INFORMATION, *pRequested);
    if (pRequested != nullptr && !pRequested->Owner().empty())
        Security.Merge(OWNER_SECURITY_INFORMATION, *pRequested);
    pChild = std::make_shared<RegistryKey>(Name, std::move(Security));
    Parent.SubkeyAdd(pChild);
    return ERROR_SUCCESS;
}

LSTATUS RegistryTree::KeyOpen(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, PHKEY phkResult) {
    if (phkResult == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> Guard(m_Lock);
    std::shared_ptr<RegistryKey> pBase;
    LSTATUS Status = PrivateResolve(hKey, 0, pBase);
    if (Status != ERROR_SUCCESS)
        return Status;
    std::shared_ptr<RegistryKey> pKey;
    Status = PrivateWalk(pBase, lpSubKey, pKey);
    if (Status != ERROR_SUCCESS)
        return Status;
    ACCESS_MASK Granted = 0;
    if (!AccessToken::Caller().Check(pKey->Security(), samDesired & ~kViewFlags, kKeyMapping, &Granted))
        return ERROR_ACCESS_DENIED;
    *phkResult = PrivateHandleAdd(pKey, Granted);
    return ERROR_SUCCESS;
}

LSTATUS RegistryTree::KeyClose(HKEY hKey) {
    if (hKey == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    std::lock_guard<std::mutex> Guard(m_Lock);
    return m_Handles.erase(reinterpret_cast<uintptr_t>(hKey)) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegistryTree::KeyDelete(HKEY hKey, LPCWSTR lpSubKey) {
    std::lock_guard<std::mutex> Guard(m_Lock);
    std::shared_ptr<RegistryKey> pBase;
    LSTATUS Status = PrivateResolve(hKey, 0, pBase);
    if (Status != ERROR_SUCCESS)
        return Status;
    std::shared_ptr<RegistryKey> pKey;
    Status = PrivateWalk(pBase, lpSubKey, pKey);
    if (Status != ERROR_SUCCESS)
        return Status;
    ACCESS_MASK Granted = 0;
    if (pKey == m_pRoot || !pKey->Subkeys().empty() ||
        !AccessToken::Caller().Check(pKey->Security(), DELETE, kKeyMapping, &Granted))
        return ERROR_ACCESS_DENIED;
    pKey->Parent()->SubkeyDelete(pKey.get());
    return ERROR_SUCCESS;
}

bool RegistryTree::PrivateSubtreeDeletable(const RegistryKey& Key, const AccessToken& Token) {
    ACCESS_MASK Granted = 0;
    if (!Token.Check(Key.Security(), DELETE, kKeyMapping, &Granted))
        return false;
    for (const auto& pSubkey : Key.Subkeys())
        if (!PrivateSubtreeDeletable(*pSubkey, Token))
            return false;
    return true;
}

// All or nothing: the rights for every key of the tree are checked before
// anything is deleted.
LSTATUS RegistryTree::TreeDelete(HKEY hKey, LPCWSTR lpSubKey) {
    const bool bOwnContents = lpSubKey == nullptr;
    const ACCESS_MASK Needed = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | (bOwnContents ? KEY_SET_VALUE : 0);
    std::lock_guard<std::mutex> Guard(m_Lock);
    std::shared_ptr<RegistryKey> pBase;
    LSTATUS Status = PrivateResolve(hKey, Needed, pBase);
    if (Status != ERROR_SUCCESS)
        return Status;
    std::shared_ptr<RegistryKey> pKey;
    Status = PrivateWalk(pBase, lpSubKey, pKey);
    if (Status != ERROR_SUCCESS)
        return Status;
    const AccessToken Caller = AccessToken::Caller();
    if (bOwnContents || pKey == m_pRoot) {
        for (const auto& pSubkey : pKey->Subkeys())
            if (!PrivateSubtreeDeletable(*pSubkey, Caller))
                return ERROR_ACCESS_DENIED;
        while (!pKey->Subkeys().empty())
            pKey->SubkeyDelete(pKey->Subkeys().front().get());
        pKey->ValuesClear();
        return ERROR_SUCCESS;
    }
    if (!PrivateSubtreeDeletable(*pKey, Caller))
        return ERROR_ACCESS_DENIED;
    pKey->Parent()->SubkeyDelete(pKey.get());
    return ERROR_SUCCESS;
}

LSTATUS RegistryTree::KeyEnum(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPWSTR lpClass,
                              LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    std::lock_guard<std::mutex> Guard(m_Lock);
    std::shared_ptr<RegistryKey> pKey;
    LSTATUS Status = PrivateResolve(hKey, KEY_ENUMERATE_SUB_KEYS, pKey);
    if (Status != ERROR_SUCCESS)
        return Status;
    if (dwIndex >= pKey->Subkeys().size())
        return ERROR_NO_MORE_ITEMS;
    Status = NameCopy(pKey->Subkeys()[dwIndex]->Name(), lpName, lpcchName);
    if (Status != ERROR_SUCCESS)
        return Status;
    if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0)
        lpClass[0] = L'\0';
    if (lpcchClass != nullptr)
        *lpcchClass = 0;  // keys carry no class here
    if (lpftLastWriteTime != nullptr)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LSTATUS RegistryTree::ValueQuery(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    std::lock_guard<std::mutex> Guard(m_Lock);
    std::shared_ptr<RegistryKey> pKey;
    LSTATUS Status = PrivateResolve(hKey, KEY_QUERY_VALUE, pKey);
    if (Status != ERROR_SUCCESS)
        return Status;
    const RegistryKey::Value* pValue = pKey->ValueFind(NameOf(lpValueName));
    if (pValue == nullptr)
        return ERROR_FILE_NOT_FOUND;
    return DataCopy(*pValue, lpType, lpData, lpcbData);
}

LSTATUS RegistryTree::ValueSet(HKEY hKey, LPCWSTR lpValueName, DWORD dwType, const BYTE* lpData, DWORD cbData) {
    if (lpData == nullptr && cbData != 0)
        return ERROR_NOACCESS;
    std::lock_guard<std::mutex> Guard(m_Lock);
    std::shared_ptr<RegistryKey> pKey;
    LSTATUS Status = PrivateResolve(hKey, KEY_SET_VALUE, pKey);
    if (Status != ERROR_SUCCESS)
        return Status;
    std::vector<BYTE> Data(lpData, lpData + cbData);
    pKey->ValueSet(NameOf(lpValueName), dwType, std::move(Data));
    return ERROR_SUCCESS;
}

LSTATUS RegistryTree::ValueDelete(HKEY hKey, LPCWSTR lpValueName) {
    std::lock_guard<std::mutex> Guard(m_Lock);
    std::shared_ptr<RegistryKey> pKey;
    LSTATUS Status = PrivateResolve(hKey, KEY_SET_VALUE, pKey);
    if (Status != ERROR_SUCCESS)
        return Status;
    return pKey->ValueDelete(NameOf(lpValueName)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LSTATUS RegistryTree::ValueEnum(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                                LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    std::lock_guard<std::mutex> Guard(m_Lock);
    std::shared_ptr<RegistryKey> pKey;
    LSTATUS Status = PrivateResolve(hKey, KEY_QUERY_VALUE, pKey);
    if (Status != ERROR_SUCCESS)
        return Status;
    if (dwIndex >= pKey->Values().size())
        return ERROR_NO_MORE_ITEMS;
    const RegistryKey::Value& Entry = pKey->Values()[dwIndex];
    Status = NameCopy(Entry.Name, lpValueName, lpcchValueName);
    if (Status != ERROR_SUCCESS)
        return Status;
    return DataCopy(Entry, lpType, lpData, lpcbData);
}

LSTATUS RegistryTree::SecurityGet(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                                  PSECURITY_DESCRIPTOR pSecurityDescriptor, LPDWORD lpcbSecurityDescriptor) {
    if (lpcbSecurityDescriptor == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (SecurityInformation & SACL_SECURITY_INFORMATION)
        return ERROR_PRIVILEGE_NOT_HELD;
    std::lock_guard<std::mutex> Guard(m_Lock);
    std::shared_ptr<RegistryKey> pKey;
    LSTATUS Status = PrivateResolve(hKey, READ_CONTROL, pKey);
    if (Status != ERROR_SUCCESS)
        return Status;
    const std::vector<BYTE> Bytes = pKey->Security().SelfRelative(SecurityInformation);
    const DWORD dwRoom = *lpcbSecurityDescriptor;
    *lpcbSecurityDescriptor = static_cast<DWORD>(Bytes.size());
    if (pSecurityDescriptor == nullptr || dwRoom < Bytes.size())
        return ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(pSecurityDescriptor, Bytes.data(), Bytes.size());
    return ERROR_SUCCESS;
}

LSTATUS RegistryTree::SecuritySet(HKEY hKey, SECURITY_INFORMATION SecurityInformation,
                                  PSECURITY_DESCRIPTOR pSecurityDescriptor) {
    SecurityDescriptorImage Requested;
    if (!Requested.Read(pSecurityDescriptor))
        return ERROR_INVALID_PARAMETER;
    if (SecurityInformation & SACL_SECURITY_INFORMATION)
        return ERROR_PRIVILEGE_NOT_HELD;
    if ((SecurityInformation & OWNER_SECURITY_INFORMATION) && Requested.Owner().empty())
        return ERROR_INVALID_OWNER;
    const ACCESS_MASK Needed = ((SecurityInformation & DACL_SECURITY_INFORMATION) ? WRITE_DAC : 0) |
                               ((SecurityInformation & OWNER_SECURITY_INFORMATION) ? WRITE_OWNER : 0);
    std::lock_guard<std::mutex> Guard(m_Lock);
    std::shared_ptr<RegistryKey> pKey;
    LSTATUS Status = PrivateResolve(hKey, Needed, pKey);
    if (Status != ERROR_SUCCESS)
        return Status;
    pKey->Security().Merge(SecurityInformation, Requested);
    return ERROR_SUCCESS;
}

// Every key of the old tree is marked deleted, so handles still open fail
// with ERROR_KEY_DELETED instead of reaching the new tree.
void RegistryTree::Reset() {
    std::lock_guard<std::mutex> Guard(m_Lock);
    m_pRoot->DeletedMark();
    m_pRoot = PrivateRootMake();
}

size_t RegistryTree::HandleCount() {
    std::lock_guard<std::mutex> Guard(m_Lock);
    return m_Handles.size();
}

bool RegistryTree::KeyExists(LPCWSTR lpPath) {
    std::lock_guard<std::mutex> Guard(m_Lock);
    std::shared_ptr<RegistryKey> pKey;
    return PrivateWalk(m_pRoot, lpPath, pKey) == ERROR_SUCCESS;
}
