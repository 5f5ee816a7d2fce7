#pragma once

#include "platform/win32.h"

// A well-known SID made the documented way, freed with the scope.
class WellKnownSid {
public:
    explicit WellKnownSid(bool bAdministrators) {
        SID_IDENTIFIER_AUTHORITY World = SECURITY_WORLD_SID_AUTHORITY;
        SID_IDENTIFIER_AUTHORITY Nt = SECURITY_NT_AUTHORITY;
        if (bAdministrators)
            AllocateAndInitializeSid(&Nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                     &m_pSid);
        else
            AllocateAndInitializeSid(&World, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &m_pSid);
    }
    ~WellKnownSid() {
        if (m_pSid != nullptr)
            FreeSid(m_pSid);
    }
    WellKnownSid(const WellKnownSid&) = delete;
    WellKnownSid& operator=(const WellKnownSid&) = delete;
    PSID Get() const { return m_pSid; }

private:
    PSID m_pSid = nullptr;
};
