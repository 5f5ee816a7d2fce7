// Reading and checking the documented binary layouts of SIDs, ACLs and ACEs.
// Every security routine of the platform goes through these checks so that a
// malformed structure is rejected instead of being read past its end.
#pragma once

#include <vector>

#include "win32_security.h"

class SecurityLayout {
public:
    // S-1-<authority>-<sub authorities...>: revision 1, at most 15 sub
    // authorities.
    static bool SidIsValid(const void* pSid);
    static DWORD SidLength(const void* pSid);  // 0 for an invalid SID
    static bool SidEqual(const void* pSid1, const void* pSid2);
    static std::vector<BYTE> SidBytes(const void* pSid);  // empty when invalid

    // Revision 2 or 4, size at least the header, every ACE inside the ACL.
    static bool AclIsValid(const ACL* pAcl);
    // Offset of ACE dwIndex from the start of the ACL; 0 when there is none.
    static DWORD AceOffset(const ACL* pAcl, DWORD dwIndex);
    // Bytes used by the header and all ACEs.
    static DWORD AclBytesInUse(const ACL* pAcl);
    static std::vector<BYTE> AclBytes(const ACL* pAcl);  // empty when invalid

    // The SID that an ACCESS_ALLOWED_ACE / ACCESS_DENIED_ACE carries.
    static const void* AceSid(const ACE_HEADER* pAce);
};
