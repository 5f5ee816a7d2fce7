// Waitable timers on the machine clock. Absolute due times are turned into a
// distance from the current system time when the timer is armed, so they too
// pass at the machine clock's speed. Completion routines need alertable waits
// (APCs), which this platform does not have.
#include "HandleTable.h"
#include "MachineClock.h"
#include "WaitableTimerObject.h"
#include "platform/win32.h"

namespace {

int64_t FileTimeNow() {
    FILETIME Now;
    GetSystemTimeAsFileTime(&Now);
    return static_cast<int64_t>((static_cast<uint64_t>(Now.dwHighDateTime) << 32) | Now.dwLowDateTime);
}

// Machine time of a due time given as SetWaitableTimer takes it: negative
// values are relative, in 100 ns units; others are absolute FILETIME values.
int64_t DueTimeToMachine(LONGLONG DueTime) {
    const int64_t Now = MachineClock::Instance().Now();
    if (DueTime < 0) {
        const int64_t Distance = DueTime == INT64_MIN ? INT64_MAX : -DueTime;
        return Distance > INT64_MAX - Now ? INT64_MAX : Now + Distance;
    }
    const int64_t Distance = DueTime - FileTimeNow();
    return Distance > 0 ? Now + Distance : Now;
}

std::shared_ptr<WaitableTimerObject> TimerLookup(HANDLE hTimer) {
    std::shared_ptr<WaitableTimerObject> pTimer = HandleTable::Instance().Lookup<WaitableTimerObject>(hTimer);
    if (pTimer == nullptr)
        SetLastError(ERROR_INVALID_HANDLE);
    return pTimer;
}

}  // namespace

HANDLE WINAPI CreateWaitableTimerW(LPSECURITY_ATTRIBUTES lpTimerAttributes, BOOL bManualReset,
                                   LPCWSTR lpTimerName) {
    (void)lpTimerAttributes;  // no access checks on this platform
    if (lpTimerName != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    HANDLE hObject = HandleTable::Instance().Insert(std::make_shared<WaitableTimerObject>(bManualReset != FALSE));
    SetLastError(ERROR_SUCCESS);  // as Windows does: a new object, not an existing one
    return hObject;
}

BOOL WINAPI SetWaitableTimer(HANDLE hTimer, const LARGE_INTEGER* lpDueTime, LONG lPeriod,
                             PTIMERAPCROUTINE pfnCompletionRoutine, LPVOID lpArgToCompletionRoutine,
                             BOOL fResume) {
    (void)lpArgToCompletionRoutine;
    (void)fResume;  // nothing here suspends
    const std::shared_ptr<WaitableTimerObject> pTimer = TimerLookup(hTimer);
    if (pTimer == nullptr)
        return FALSE;
    if (lpDueTime == nullptr || lPeriod < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (pfnCompletionRoutine != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    pTimer->Arm(DueTimeToMachine(lpDueTime->QuadPart),
                static_cast<int64_t>(lPeriod) * MachineClock::kTicksPerMillisecond);
    return TRUE;
}

BOOL WINAPI CancelWaitableTimer(HANDLE hTimer) {
    const std::shared_ptr<WaitableTimerObject> pTimer = TimerLookup(hTimer);
    if (pTimer == nullptr)
        return FALSE;
    pTimer->Cancel();
    return TRUE;
}
