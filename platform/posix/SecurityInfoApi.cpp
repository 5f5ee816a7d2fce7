// GetSecurityInfo / SetSecurityInfo for the one kernel object whose security
// the system touches: its own process, through the GetCurrentProcess() pseudo
// handle. The result code is also left in the last error, so callers that log
// GetLastError() after a failure report the real cause.
#include "ProcessObjectSecurity.h"
#include "platform/machine.h"
#include "platform/win32.h"

namespace {

const HANDLE kCurrentProcessPseudoHandle = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

DWORD TargetCheck(HANDLE handle, SE_OBJECT_TYPE ObjectType) {
    if (ObjectType != SE_KERNEL_OBJECT)
        return ERROR_INVALID_PARAMETER;
    if (handle != kCurrentProcessPseudoHandle)
        return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

DWORD Finish(DWORD dwResult) {
    if (dwResult != ERROR_SUCCESS)
        SetLastError(dwResult);
    return dwResult;
}

}  // namespace

DWORD WINAPI GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType,
                             SECURITY_INFORMATION SecurityInfo, PSID* ppsidOwner,
                             PSID* ppsidGroup, PACL* ppDacl, PACL* ppSacl,
                             PSECURITY_DESCRIPTOR* ppSecurityDescriptor) {
    const DWORD dwTarget = TargetCheck(handle, ObjectType);
    if (dwTarget != ERROR_SUCCESS)
        return Finish(dwTarget);
    return Finish(ProcessObjectSecurity::Instance().Get(SecurityInfo, ppsidOwner, ppsidGroup, ppDacl, ppSacl,
                                                        ppSecurityDescriptor));
}

DWORD WINAPI SetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType,
                             SECURITY_INFORMATION SecurityInfo, PSID psidOwner, PSID psidGroup,
                             PACL pDacl, PACL pSacl) {
    const DWORD dwTarget = TargetCheck(handle, ObjectType);
    if (dwTarget != ERROR_SUCCESS)
        return Finish(dwTarget);
    return Finish(ProcessObjectSecurity::Instance().Set(SecurityInfo, psidOwner, psidGroup, pDacl, pSacl));
}

bool MachineProcessDaclIsNull() { return ProcessObjectSecurity::Instance().DaclIsNull(); }

bool MachineProcessOpenByServiceAllowed(DWORD dwDesiredAccess) {
    return ProcessObjectSecurity::Instance().OpenAllowed(AccessToken::Service(), dwDesiredAccess);
}

void MachineProcessSecurityReset() { ProcessObjectSecurity::Instance().Reset(); }

void MachineSecurityInfoFailSet(MachineSecurityCall Call, DWORD dwCallsToSkip, DWORD dwError) {
    ProcessObjectSecurity::Instance().FailSet(Call, dwCallsToSkip, dwError);
}

DWORD MachineSecurityInfoCallCount(MachineSecurityCall Call) {
    return ProcessObjectSecurity::Instance().CallCount(Call);
}
