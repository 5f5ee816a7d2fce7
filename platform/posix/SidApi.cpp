// SIDs in the documented layout: revision 1, sub-authority count, 6-byte
// identifier authority (big-endian), then the 32-bit sub authorities.
#include <cstring>

#include "SecurityLayout.h"
#include "platform/win32.h"

BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                     BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                     DWORD nSubAuthority1, DWORD nSubAuthority2,
                                     DWORD nSubAuthority3, DWORD nSubAuthority4,
                                     DWORD nSubAuthority5, DWORD nSubAuthority6,
                                     DWORD nSubAuthority7, PSID* pSid) {
    if (pIdentifierAuthority == nullptr || pSid == nullptr || nSubAuthorityCount > 8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD SubAuthorities[8] = {nSubAuthority0, nSubAuthority1, nSubAuthority2, nSubAuthority3,
                                     nSubAuthority4, nSubAuthority5, nSubAuthority6, nSubAuthority7};
    auto* pBytes = static_cast<BYTE*>(LocalAlloc(LPTR, 8 + 4u * nSubAuthorityCount));
    if (pBytes == nullptr)
        return FALSE;  // LocalAlloc set the error
    pBytes[0] = SID_REVISION;
    pBytes[1] = nSubAuthorityCount;
    std::memcpy(pBytes + 2, pIdentifierAuthority->Value, 6);
    std::memcpy(pBytes + 8, SubAuthorities, 4u * nSubAuthorityCount);
    *pSid = pBytes;
    return TRUE;
}

PVOID WINAPI FreeSid(PSID pSid) { return LocalFree(pSid); }

BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2) {
    if (!SecurityLayout::SidIsValid(pSid1) || !SecurityLayout::SidIsValid(pSid2)) {
        SetLastError(ERROR_INVALID_SID);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return SecurityLayout::SidEqual(pSid1, pSid2) ? TRUE : FALSE;
}

BOOL WINAPI IsValidSid(PSID pSid) { return SecurityLayout::SidIsValid(pSid) ? TRUE : FALSE; }

DWORD WINAPI GetLengthSid(PSID pSid) { return SecurityLayout::SidLength(pSid); }

// Like the system's, these do not check the index; callers check the count.
PDWORD WINAPI GetSidSubAuthority(PSID pSid, DWORD nSubAuthority) {
    return reinterpret_cast<PDWORD>(static_cast<BYTE*>(pSid) + 8 + 4u * nSubAuthority);
}

PBYTE WINAPI GetSidSubAuthorityCount(PSID pSid) { return static_cast<BYTE*>(pSid) + 1; }
