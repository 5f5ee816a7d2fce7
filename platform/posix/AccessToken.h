// The identity that the platform checks DACLs against: the group SIDs of an
// account. The process runs as an interactive user who is an administrator
// unless a test says otherwise; a service account stands for the other
// processes (drivers) that open this process's objects.
#pragma once

#include <vector>

#include "SecurityDescriptorImage.h"
#include "win32_security.h"

class AccessToken {
public:
    // The calling process's account (administrator or not, as the machine
    // is set up).
    static AccessToken Caller();
    // A service account (LocalService) that is neither owner nor administrator.
    static AccessToken Service();

    static void CallerAdministratorSet(bool bAdministrator);
    static bool CallerIsAdministrator();

    static std::vector<BYTE> WellKnownSid(BYTE Authority, std::vector<DWORD> SubAuthorities);
    // Administrators for an administrator (as Windows assigns new objects), the
    // user's own SID otherwise.
    std::vector<BYTE> OwnerSid() const { return m_Owner; }

    bool Contains(const void* pSid) const;
    // Rights of Desired (generic rights mapped) that the descriptor grants;
    // false when any requested right is refused. MAXIMUM_ALLOWED asks for all
    // the descriptor allows.
    bool Check(const SecurityDescriptorImage& Descriptor, ACCESS_MASK Desired,
               const GENERIC_MAPPING& Mapping, ACCESS_MASK* pGranted) const;

private:
    static ACCESS_MASK PrivateMap(ACCESS_MASK Desired, const GENERIC_MAPPING& Mapping);

    std::vector<std::vector<BYTE>> m_Groups;
    std::vector<BYTE> m_Owner;
};
