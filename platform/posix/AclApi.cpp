// ACLs in the documented layout: an 8-byte ACL header followed by AceCount
// ACEs, each a header, an access mask and the trustee's SID.
#include <cstring>

#include "SecurityLayout.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kMaxAclBytes = 0xFFFC;
constexpr DWORD kValidAceFlags =
    OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE | INHERIT_ONLY_ACE | INHERITED_ACE;

bool RevisionIsKnown(DWORD dwRevision) { return dwRevision == ACL_REVISION || dwRevision == ACL_REVISION_DS; }

BOOL AceAppend(PACL pAcl, DWORD dwAceRevision, BYTE AceType, DWORD AceFlags, DWORD AccessMask, PSID pSid) {
    if (!SecurityLayout::AclIsValid(pAcl)) {
        SetLastError(ERROR_INVALID_ACL);
        return FALSE;
    }
    if (!SecurityLayout::SidIsValid(pSid)) {
        SetLastError(ERROR_INVALID_SID);
        return FALSE;
    }
    if (!RevisionIsKnown(dwAceRevision)) {
        SetLastError(ERROR_REVISION_MISMATCH);
        return FALSE;
    }
    if ((AceFlags & ~kValidAceFlags) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return FALSE;
    }
    const DWORD dwSidLength = SecurityLayout::SidLength(pSid);
    const DWORD dwAceSize = sizeof(ACE_HEADER) + sizeof(ACCESS_MASK) + dwSidLength;
    const DWORD dwInUse = SecurityLayout::AclBytesInUse(pAcl);
    if (dwInUse + dwAceSize > pAcl->AclSize) {
        SetLastError(ERROR_ALLOTTED_SPACE_EXCEEDED);
        return FALSE;
    }
    BYTE* pAce = reinterpret_cast<BYTE*>(pAcl) + dwInUse;
    const ACE_HEADER Header{AceType, static_cast<BYTE>(AceFlags), static_cast<WORD>(dwAceSize)};
    std::memcpy(pAce, &Header, sizeof(Header));
    std::memcpy(pAce + sizeof(Header), &AccessMask, sizeof(AccessMask));
    std::memcpy(pAce + sizeof(Header) + sizeof(AccessMask), pSid, dwSidLength);
    pAcl->AceCount++;
    if (dwAceRevision > pAcl->AclRevision)
        pAcl->AclRevision = static_cast<BYTE>(dwAceRevision);
    return TRUE;
}

}  // namespace

BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision) {
    if (pAcl == nullptr || !RevisionIsKnown(dwAclRevision) || nAclLength > kMaxAclBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (nAclLength < sizeof(ACL)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    pAcl->AclRevision = static_cast<BYTE>(dwAclRevision);
    pAcl->Sbz1 = 0;
    pAcl->AclSize = static_cast<WORD>(nAclLength & ~3u);
    pAcl->AceCount = 0;
    pAcl->Sbz2 = 0;
    return TRUE;
}

BOOL WINAPI IsValidAcl(PACL pAcl) { return SecurityLayout::AclIsValid(pAcl) ? TRUE : FALSE; }

BOOL WINAPI GetAce(PACL pAcl, DWORD dwAceIndex, LPVOID* pAce) {
    if (!SecurityLayout::AclIsValid(pAcl) || pAce == nullptr || dwAceIndex >= pAcl->AceCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *pAce = reinterpret_cast<BYTE*>(pAcl) + SecurityLayout::AceOffset(pAcl, dwAceIndex);
    return TRUE;
}

BOOL WINAPI GetAclInformation(PACL pAcl, LPVOID pAclInformation, DWORD nAclInformationLength,
                              ACL_INFORMATION_CLASS dwAclInformationClass) {
    if (!SecurityLayout::AclIsValid(pAcl)) {
        SetLastError(ERROR_INVALID_ACL);
        return FALSE;
    }
    if (dwAclInformationClass == AclRevisionInformation) {
        if (nAclInformationLength < sizeof(ACL_REVISION_INFORMATION)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        static_cast<ACL_REVISION_INFORMATION*>(pAclInformation)->AclRevision = pAcl->AclRevision;
        return TRUE;
    }
    if (dwAclInformationClass != AclSizeInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (nAclInformationLength < sizeof(ACL_SIZE_INFORMATION)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* pSize = static_cast<ACL_SIZE_INFORMATION*>(pAclInformation);
    pSize->AceCount = pAcl->AceCount;
    pSize->AclBytesInUse = SecurityLayout::AclBytesInUse(pAcl);
    pSize->AclBytesFree = pAcl->AclSize - pSize->AclBytesInUse;
    return TRUE;
}

BOOL WINAPI AddAccessAllowedAceEx(PACL pAcl, DWORD dwAceRevision, DWORD AceFlags,
                                  DWORD AccessMask, PSID pSid) {
    return AceAppend(pAcl, dwAceRevision, ACCESS_ALLOWED_ACE_TYPE, AceFlags, AccessMask, pSid);
}

BOOL WINAPI AddAccessDeniedAceEx(PACL pAcl, DWORD dwAceRevision, DWORD AceFlags,
                                 DWORD AccessMask, PSID pSid) {
    return AceAppend(pAcl, dwAceRevision, ACCESS_DENIED_ACE_TYPE, AceFlags, AccessMask, pSid);
}
