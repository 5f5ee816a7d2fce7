// Events. Names are not supported: no part of the system shares events by name.
#include "EventObject.h"
#include "HandleTable.h"
#include "platform/win32.h"

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                           LPCWSTR lpName) {
    (void)lpEventAttributes;  // no access checks on this platform
    if (lpName != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    HANDLE hObject =
        HandleTable::Instance().Insert(std::make_shared<EventObject>(bManualReset != FALSE, bInitialState != FALSE));
    SetLastError(ERROR_SUCCESS);  // as Windows does: a new object, not an existing one
    return hObject;
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
    const std::shared_ptr<EventObject> pEvent = HandleTable::Instance().Lookup<EventObject>(hEvent);
    if (pEvent == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    pEvent->Set();
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
    const std::shared_ptr<EventObject> pEvent = HandleTable::Instance().Lookup<EventObject>(hEvent);
    if (pEvent == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    pEvent->Reset();
    return TRUE;
}
