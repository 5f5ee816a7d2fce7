// The security descriptor of this process's kernel object, as
// GetSecurityInfo / SetSecurityInfo see it through GetCurrentProcess().
#pragma once

#include <mutex>

#include "AccessToken.h"
#include "SecurityDescriptorImage.h"
#include "machine_security.h"

class ProcessObjectSecurity {
public:
    static ProcessObjectSecurity& Instance();

    // Both return a Win32 error code; the descriptor is one LocalAlloc block.
    DWORD Get(SECURITY_INFORMATION SecurityInfo, PSID* ppsidOwner, PSID* ppsidGroup, PACL* ppDacl,
              PACL* ppSacl, PSECURITY_DESCRIPTOR* ppSecurityDescriptor);
    DWORD Set(SECURITY_INFORMATION SecurityInfo, PSID psidOwner, PSID psidGroup, PACL pDacl, PACL pSacl);

    bool DaclIsNull();
    bool OpenAllowed(const AccessToken& Token, ACCESS_MASK Desired);
    void Reset();
    void FailSet(MachineSecurityCall Call, DWORD dwCallsToSkip, DWORD dwError);
    DWORD CallCount(MachineSecurityCall Call);

private:
    struct Failure {
        bool bArmed = false;
        DWORD dwCallsToSkip = 0;
        DWORD dwError = 0;
    };

    ProcessObjectSecurity();
    static SecurityDescriptorImage PrivateDefault();
    // Counts the call and returns the injected error, if any (lock held).
    DWORD PrivateCallEnter(MachineSecurityCall Call);

    std::mutex m_Lock;
    SecurityDescriptorImage m_Descriptor;
    Failure m_Failures[2];
    DWORD m_CallCounts[2] = {0, 0};
};
