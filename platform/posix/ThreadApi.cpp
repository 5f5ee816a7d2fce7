// Threads: creation (optionally suspended), resumption, exit codes,
// priorities (remembered, not applied: the simulated machine schedules every
// thread alike), identity and termination of threads that never ran.
#include "HandleTable.h"
#include "ThreadObject.h"
#include "platform/win32.h"

namespace {

std::shared_ptr<ThreadObject> ThreadLookup(HANDLE hThread) {
    std::shared_ptr<ThreadObject> pThread = HandleTable::Instance().Lookup<ThreadObject>(hThread);
    if (pThread == nullptr)
        SetLastError(ERROR_INVALID_HANDLE);
    return pThread;
}

bool PriorityValidIs(int nPriority) {
    switch (nPriority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
        return true;
    default:
        return false;
    }
}

}  // namespace

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                           LPDWORD lpThreadId) {
    (void)lpThreadAttributes;  // no access checks on this platform
    if (lpStartAddress == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DWORD Error = ERROR_SUCCESS;
    const std::shared_ptr<ThreadObject> pThread = ThreadObject::Create(
        lpStartAddress, lpParameter, (dwCreationFlags & CREATE_SUSPENDED) != 0, dwStackSize, &Error);
    if (pThread == nullptr) {
        SetLastError(Error);
        return nullptr;
    }
    if (lpThreadId != nullptr)
        *lpThreadId = pThread->IdGet();
    return HandleTable::Instance().Insert(pThread);
}

DWORD WINAPI ResumeThread(HANDLE hThread) {
    const std::shared_ptr<ThreadObject> pThread = ThreadLookup(hThread);
    if (pThread == nullptr)
        return static_cast<DWORD>(-1);
    return pThread->Resume();
}

// Only a thread that has not begun its procedure (created suspended and not
// resumed, or not yet scheduled) can be terminated; for a running thread this
// fails with ERROR_NOT_SUPPORTED, because stopping a POSIX thread at an
// arbitrary point is not safe. A thread may terminate itself (as ExitThread).
BOOL WINAPI TerminateThread(HANDLE hThread, DWORD dwExitCode) {
    const std::shared_ptr<ThreadObject> pThread = ThreadLookup(hThread);
    if (pThread == nullptr)
        return FALSE;
    if (pThread == ThreadObject::Current())
        ThreadObject::CurrentExit(dwExitCode);
    if (pThread->Terminate(dwExitCode) == ThreadObject::TerminateResult::Running) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    const std::shared_ptr<ThreadObject> pThread = ThreadLookup(hThread);
    if (pThread == nullptr)
        return FALSE;
    if (lpExitCode == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpExitCode = pThread->ExitCodeGet();
    return TRUE;
}

BOOL WINAPI SetThreadPriority(HANDLE hThread, int nPriority) {
    const std::shared_ptr<ThreadObject> pThread = ThreadLookup(hThread);
    if (pThread == nullptr)
        return FALSE;
    if (!PriorityValidIs(nPriority)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pThread->PrioritySet(nPriority);
    return TRUE;
}

int WINAPI GetThreadPriority(HANDLE hThread) {
    const std::shared_ptr<ThreadObject> pThread = ThreadLookup(hThread);
    if (pThread == nullptr)
        return THREAD_PRIORITY_ERROR_RETURN;
    return pThread->PriorityGet();
}

void WINAPI ExitThread(DWORD dwExitCode) { ThreadObject::CurrentExit(dwExitCode); }

HANDLE WINAPI GetCurrentThread(void) { return reinterpret_cast<HANDLE>(HandleTable::kPseudoThread); }

DWORD WINAPI GetCurrentThreadId(void) { return ThreadObject::CurrentId(); }
