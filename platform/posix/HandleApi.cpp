// CloseHandle and DuplicateHandle over the process-wide handle table.
#include "HandleTable.h"
#include "ProcessObject.h"
#include "platform/win32.h"

BOOL WINAPI CloseHandle(HANDLE hObject) {
    switch (HandleTable::Instance().Remove(hObject)) {
    case HandleTable::RemoveResult::Removed:
    case HandleTable::RemoveResult::Pseudo:  // closing a pseudo handle has no effect
        return TRUE;
    case HandleTable::RemoveResult::Invalid:
        break;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

BOOL WINAPI DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle, HANDLE hTargetProcessHandle,
                            LPHANDLE lpTargetHandle, DWORD dwDesiredAccess, BOOL bInheritHandle,
                            DWORD dwOptions) {
    // Access rights and inheritance have no meaning in a single process
    // without access checks.
    (void)dwDesiredAccess;
    (void)bInheritHandle;
    HandleTable& Table = HandleTable::Instance();
    const bool bProcessesValid = Table.Lookup<ProcessObject>(hSourceProcessHandle) != nullptr &&
                                 Table.Lookup<ProcessObject>(hTargetProcessHandle) != nullptr;
    const std::shared_ptr<KernelObject> pObject = bProcessesValid ? Table.LookupObject(hSourceHandle) : nullptr;
    // The source is closed whatever else happens, as documented.
    if ((dwOptions & DUPLICATE_CLOSE_SOURCE) && bProcessesValid)
        Table.Remove(hSourceHandle);
    if (pObject == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const HANDLE hDuplicate = Table.Insert(pObject);
    if (lpTargetHandle != nullptr)
        *lpTargetHandle = hDuplicate;
    return TRUE;
}
