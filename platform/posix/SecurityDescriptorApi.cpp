// Security descriptors: absolute ones that the caller builds (pointers to
// its own SIDs and ACLs) and self-relative ones that the platform hands out
// (one block, parts addressed by offsets).
#include <cstring>

#include "SecurityDescriptorImage.h"
#include "SecurityLayout.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kDaclOffsetAt = 16;

bool IsSelfRelative(const SECURITY_DESCRIPTOR* pDescriptor) {
    return (pDescriptor->Control & SE_SELF_RELATIVE) != 0;
}

DWORD RelativeOffset(const SECURITY_DESCRIPTOR* pDescriptor, DWORD dwAt) {
    DWORD dwOffset;
    std::memcpy(&dwOffset, reinterpret_cast<const BYTE*>(pDescriptor) + dwAt, sizeof(dwOffset));
    return dwOffset;
}

DWORD AclLength(const void* pAcl) {
    return pAcl == nullptr ? 0 : static_cast<const ACL*>(pAcl)->AclSize;
}

}  // namespace

BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         DWORD dwRevision) {
    if (pSecurityDescriptor == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (dwRevision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(ERROR_UNKNOWN_REVISION);
        return FALSE;
    }
    auto* pDescriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
    std::memset(pDescriptor, 0, sizeof(*pDescriptor));
    pDescriptor->Revision = SECURITY_DESCRIPTOR_REVISION;
    return TRUE;
}

BOOL WINAPI IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor) {
    SecurityDescriptorImage Image;
    if (!Image.Read(pSecurityDescriptor)) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                      BOOL bDaclPresent, PACL pDacl, BOOL bDaclDefaulted) {
    auto* pDescriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
    if (pDescriptor == nullptr || IsSelfRelative(pDescriptor)) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return FALSE;
    }
    if (pDescriptor->Revision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(ERROR_UNKNOWN_REVISION);
        return FALSE;
    }
    pDescriptor->Control &= static_cast<WORD>(~(SE_DACL_PRESENT | SE_DACL_DEFAULTED));
    if (!bDaclPresent) {
        pDescriptor->Dacl = nullptr;
        return TRUE;
    }
    pDescriptor->Control |= SE_DACL_PRESENT;
    if (bDaclDefaulted)
        pDescriptor->Control |= SE_DACL_DEFAULTED;
    pDescriptor->Dacl = pDacl;
    return TRUE;
}

BOOL WINAPI GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                      LPBOOL lpbDaclPresent, PACL* pDacl,
                                      LPBOOL lpbDaclDefaulted) {
    auto* pDescriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
    if (pDescriptor == nullptr || lpbDaclPresent == nullptr || pDacl == nullptr ||
        lpbDaclDefaulted == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (pDescriptor->Revision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(ERROR_UNKNOWN_REVISION);
        return FALSE;
    }
    *lpbDaclPresent = (pDescriptor->Control & SE_DACL_PRESENT) ? TRUE : FALSE;
    if (!*lpbDaclPresent)
        return TRUE;  // as on Windows, the other outputs are left alone
    *lpbDaclDefaulted = (pDescriptor->Control & SE_DACL_DEFAULTED) ? TRUE : FALSE;
    if (!IsSelfRelative(pDescriptor)) {
        *pDacl = pDescriptor->Dacl;
        return TRUE;
    }
    const DWORD dwOffset = RelativeOffset(pDescriptor, kDaclOffsetAt);
    *pDacl = dwOffset == 0 ? nullptr
                           : reinterpret_cast<PACL>(reinterpret_cast<BYTE*>(pDescriptor) + dwOffset);
    return TRUE;
}

DWORD WINAPI GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR pSecurityDescriptor) {
    auto* pDescriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
    if (pDescriptor == nullptr)
        return 0;
    if (IsSelfRelative(pDescriptor)) {
        SecurityDescriptorImage Image;
        if (!Image.Read(pDescriptor))
            return 0;
        return static_cast<DWORD>(
            Image.SelfRelative(OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                               DACL_SECURITY_INFORMATION).size());
    }
    DWORD dwLength = SECURITY_DESCRIPTOR_MIN_LENGTH;
    dwLength += SecurityLayout::SidLength(pDescriptor->Owner);
    dwLength += SecurityLayout::SidLength(pDescriptor->Group);
    dwLength += AclLength(pDescriptor->Dacl);
    dwLength += AclLength(pDescriptor->Sacl);
    return dwLength;
}
