#include "SecurityLayout.h"

#include <cstring>

namespace {

constexpr DWORD kSidHeaderBytes = 8;  // revision, count, 6-byte authority
constexpr DWORD kAceFixedBytes = sizeof(ACE_HEADER) + sizeof(ACCESS_MASK);

const BYTE* BytesOf(const void* p) { return static_cast<const BYTE*>(p); }

WORD WordAt(const BYTE* p) {
    WORD w;
    std::memcpy(&w, p, sizeof(w));
    return w;
}

}  // namespace

bool SecurityLayout::SidIsValid(const void* pSid) {
    if (pSid == nullptr)
        return false;
    const BYTE* p = BytesOf(pSid);
    return p[0] == SID_REVISION && p[1] <= SID_MAX_SUB_AUTHORITIES;
}

DWORD SecurityLayout::SidLength(const void* pSid) {
    if (!SidIsValid(pSid))
        return 0;
    return kSidHeaderBytes + 4u * BytesOf(pSid)[1];
}

bool SecurityLayout::SidEqual(const void* pSid1, const void* pSid2) {
    const DWORD dwLength = SidLength(pSid1);
    return dwLength != 0 && dwLength == SidLength(pSid2) &&
           std::memcmp(pSid1, pSid2, dwLength) == 0;
}

std::vector<BYTE> SecurityLayout::SidBytes(const void* pSid) {
    const DWORD dwLength = SidLength(pSid);
    return std::vector<BYTE>(BytesOf(pSid), BytesOf(pSid) + dwLength);
}

bool SecurityLayout::AclIsValid(const ACL* pAcl) {
    if (pAcl == nullptr)
        return false;
    if (pAcl->AclRevision != ACL_REVISION && pAcl->AclRevision != ACL_REVISION_DS)
        return false;
    if (pAcl->AclSize < sizeof(ACL) || (pAcl->AclSize % sizeof(DWORD)) != 0)
        return false;
    const BYTE* pBase = BytesOf(pAcl);
    DWORD dwOffset = sizeof(ACL);
    for (WORD i = 0; i < pAcl->AceCount; ++i) {
        if (dwOffset + sizeof(ACE_HEADER) > pAcl->AclSize)
            return false;
        const WORD wAceSize = WordAt(pBase + dwOffset + offsetof(ACE_HEADER, AceSize));
        if (wAceSize < sizeof(ACE_HEADER) || dwOffset + wAceSize > pAcl->AclSize)
            return false;
        dwOffset += wAceSize;
    }
    return true;
}

DWORD SecurityLayout::AceOffset(const ACL* pAcl, DWORD dwIndex) {
    if (!AclIsValid(pAcl) || dwIndex >= pAcl->AceCount)
        return 0;
    const BYTE* pBase = BytesOf(pAcl);
    DWORD dwOffset = sizeof(ACL);
    for (DWORD i = 0; i < dwIndex; ++i)
        dwOffset += WordAt(pBase + dwOffset + offsetof(ACE_HEADER, AceSize));
    return dwOffset;
}

DWORD SecurityLayout::AclBytesInUse(const ACL* pAcl) {
    if (!AclIsValid(pAcl))
        return 0;
    if (pAcl->AceCount == 0)
        return sizeof(ACL);
    const DWORD dwLast = AceOffset(pAcl, pAcl->AceCount - 1u);
    return dwLast + WordAt(BytesOf(pAcl) + dwLast + offsetof(ACE_HEADER, AceSize));
}

std::vector<BYTE> SecurityLayout::AclBytes(const ACL* pAcl) {
    if (!AclIsValid(pAcl))
        return {};
    return std::vector<BYTE>(BytesOf(pAcl), BytesOf(pAcl) + pAcl->AclSize);
}

const void* SecurityLayout::AceSid(const ACE_HEADER* pAce) {
    if (pAce == nullptr || pAce->AceSize < kAceFixedBytes + kSidHeaderBytes)
        return nullptr;
    const BYTE* pSid = BytesOf(pAce) + kAceFixedBytes;
    if (!SidIsValid(pSid) || kAceFixedBytes + SidLength(pSid) > pAce->AceSize)
        return nullptr;
    return pSid;
}
