#include "ProcessObjectSecurity.h"

#include <cstring>

#include "AceList.h"
#include "SecurityLayout.h"
#include "platform/win32.h"

namespace {

constexpr BYTE kNtAuthority = 5;
constexpr ACCESS_MASK kProcessLimitedRights = PROCESS_QUERY_LIMITED_INFORMATION | 0x00100000;  // + SYNCHRONIZE
constexpr GENERIC_MAPPING kProcessMapping = {0x00020410, 0x00020BEA, 0x00121000, PROCESS_ALL_ACCESS};

size_t CallIndex(MachineSecurityCall Call) { return Call == MachineSecurityCall::GetSecurityInfo ? 0 : 1; }

}  // namespace

ProcessObjectSecurity& ProcessObjectSecurity::Instance() {
    static ProcessObjectSecurity s_Instance;
    return s_Instance;
}

ProcessObjectSecurity::ProcessObjectSecurity() : m_Descriptor(PrivateDefault()) {}

// What a process gets from its creator's token: full access for the owner
// and for SYSTEM, query and wait rights for the logon session.
SecurityDescriptorImage ProcessObjectSecurity::PrivateDefault() {
    const AccessToken Caller = AccessToken::Caller();
    AceList Aces;
    Aces.Append({ACCESS_ALLOWED_ACE_TYPE, 0, PROCESS_ALL_ACCESS, Caller.OwnerSid()});
    Aces.Append({ACCESS_ALLOWED_ACE_TYPE, 0, PROCESS_ALL_ACCESS,
                 AccessToken::WellKnownSid(kNtAuthority, {SECURITY_LOCAL_SYSTEM_RID})});
    Aces.Append({ACCESS_ALLOWED_ACE_TYPE, 0, kProcessLimitedRights,
                 AccessToken::WellKnownSid(kNtAuthority, {SECURITY_LOGON_IDS_RID, 0, 0x3E7A1})});
    SecurityDescriptorImage Descriptor;
    Descriptor.OwnerSet(Caller.OwnerSid());
    Descriptor.DaclSet(true, Aces.Bytes());
    return Descriptor;
}

DWORD ProcessObjectSecurity::PrivateCallEnter(MachineSecurityCall Call) {
    const size_t i = CallIndex(Call);
    m_CallCounts[i]++;
    Failure& Planned = m_Failures[i];
    if (!Planned.bArmed)
        return ERROR_SUCCESS;
    if (Planned.dwCallsToSkip > 0) {
        Planned.dwCallsToSkip--;
        return ERROR_SUCCESS;
    }
    Planned.bArmed = false;
    return Planned.dwError;
}

DWORD ProcessObjectSecurity::Get(SECURITY_INFORMATION SecurityInfo, PSID* ppsidOwner, PSID* ppsidGroup,
                                 PACL* ppDacl, PACL* ppSacl, PSECURITY_DESCRIPTOR* ppSecurityDescriptor) {
    if (ppSecurityDescriptor == nullptr && (ppsidOwner || ppsidGroup || ppDacl || ppSacl))
        return ERROR_INVALID_PARAMETER;
    if (SecurityInfo & SACL_SECURITY_INFORMATION)
        return ERROR_PRIVILEGE_NOT_HELD;
    std::lock_guard<std::mutex> Guard(m_Lock);
    const DWORD dwInjected = PrivateCallEnter(MachineSecurityCall::GetSecurityInfo);
    if (dwInjected != ERROR_SUCCESS)
        return dwInjected;
    const std::vector<BYTE> Bytes = m_Descriptor.SelfRelative(SecurityInfo);
    auto* pBlock = static_cast<BYTE*>(LocalAlloc(LPTR, Bytes.size()));
    if (pBlock == nullptr)
        return ERROR_NOT_ENOUGH_MEMORY;
    std::memcpy(pBlock, Bytes.data(), Bytes.size());
    BOOL bPresent = FALSE;
    BOOL bDefaulted = FALSE;
    PACL pDacl = nullptr;
    GetSecurityDescriptorDacl(pBlock, &bPresent, &pDacl, &bDefaulted);
    DWORD dwOwner;
    std::memcpy(&dwOwner, pBlock + 4, sizeof(dwOwner));
    if (ppsidOwner != nullptr)
        *ppsidOwner = dwOwner != 0 ? pBlock + dwOwner : nullptr;
    if (ppsidGroup != nullptr)
        *ppsidGroup = nullptr;
    if (ppDacl != nullptr)
        *ppDacl = bPresent ? pDacl : nullptr;
    if (ppSacl != nullptr)
        *ppSacl = nullptr;
    if (ppSecurityDescriptor != nullptr)
        *ppSecurityDescriptor = pBlock;
    else
        LocalFree(pBlock);
    return ERROR_SUCCESS;
}

DWORD ProcessObjectSecurity::Set(SECURITY_INFORMATION SecurityInfo, PSID psidOwner, PSID psidGroup,
                                 PACL pDacl, PACL pSacl) {
    (void)pSacl;
    if (SecurityInfo & SACL_SECURITY_INFORMATION)
        return ERROR_PRIVILEGE_NOT_HELD;
    if ((SecurityInfo & OWNER_SECURITY_INFORMATION) && !SecurityLayout::SidIsValid(psidOwner))
        return ERROR_INVALID_OWNER;
    if ((SecurityInfo & GROUP_SECURITY_INFORMATION) && !SecurityLayout::SidIsValid(psidGroup))
        return ERROR_INVALID_PARAMETER;
    if ((SecurityInfo & DACL_SECURITY_INFORMATION) && pDacl != nullptr && !SecurityLayout::AclIsValid(pDacl))
        return ERROR_INVALID_ACL;
    std::lock_guard<std::mutex> Guard(m_Lock);
    const DWORD dwInjected = PrivateCallEnter(MachineSecurityCall::SetSecurityInfo);
    if (dwInjected != ERROR_SUCCESS)
        return dwInjected;
    if (SecurityInfo & OWNER_SECURITY_INFORMATION)
        m_Descriptor.OwnerSet(SecurityLayout::SidBytes(psidOwner));
    // A null DACL pointer with DACL_SECURITY_INFORMATION grants everyone
    // full access, as the documentation says.
    if (SecurityInfo & DACL_SECURITY_INFORMATION)
        m_Descriptor.DaclSet(true, pDacl != nullptr ? SecurityLayout::AclBytes(pDacl) : std::vector<BYTE>{});
    return ERROR_SUCCESS;
}

bool ProcessObjectSecurity::DaclIsNull() {
    std::lock_guard<std::mutex> Guard(m_Lock);
    return m_Descriptor.DaclIsNull();
}

bool ProcessObjectSecurity::OpenAllowed(const AccessToken& Token, ACCESS_MASK Desired) {
    std::lock_guard<std::mutex> Guard(m_Lock);
    ACCESS_MASK Granted = 0;
    return Token.Check(m_Descriptor, Desired, kProcessMapping, &Granted);
}

void ProcessObjectSecurity::Reset() {
    std::lock_guard<std::mutex> Guard(m_Lock);
    m_Descriptor = PrivateDefault();
    m_Failures[0] = m_Failures[1] = Failure{};
    m_CallCounts[0] = m_CallCounts[1] = 0;
}

void ProcessObjectSecurity::FailSet(MachineSecurityCall Call, DWORD dwCallsToSkip, DWORD dwError) {
    std::lock_guard<std::mutex> Guard(m_Lock);
    m_Failures[CallIndex(Call)] = Failure{true, dwCallsToSkip, dwError};
}

DWORD ProcessObjectSecurity::CallCount(MachineSecurityCall Call) {
    std::lock_guard<std::mutex> Guard(m_Lock);
    return m_CallCounts[CallIndex(Call)];
}
