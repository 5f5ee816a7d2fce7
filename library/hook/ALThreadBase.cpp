#include "hook/ALThreadBase.h"

#include "support/ALDebugLog.h"

ALThreadBase::ALThreadBase() : m_hThread(nullptr), m_IdThread(0), m_hThreadExit(nullptr) {
    InitializeCriticalSection(&m_CriticalSection);
}

ALThreadBase::~ALThreadBase() {
    PrivateExitHandleRelease();
    DeleteCriticalSection(&m_CriticalSection);
}

void ALThreadBase::PrivateExitHandleRelease() {
    if (m_hThreadExit == nullptr)
        return;
    // A thread that has begun Close() (its published handle is gone) may
    // still be inside it: let it leave before the object goes away. A thread
    // still in Run is not waited for; stopping it is the owner's duty.
    EnterCriticalSection(&m_CriticalSection);
    bool bThreadLeaving = m_hThread.load() == nullptr;
    LeaveCriticalSection(&m_CriticalSection);
    if (bThreadLeaving)
        WaitForSingleObject(m_hThreadExit, INFINITE);
    CloseHandle(m_hThreadExit);
    m_hThreadExit = nullptr;
}

bool ALThreadBase::Start() {
    // A thread already recorded refuses the start before any thread exists:
    // terminating a freshly created thread is avoided where it can be (it is
    // fragile on some Win32 implementations); the check after creation below
    // still covers two owners starting at once.
    EnterCriticalSection(&m_CriticalSection);
    bool bAlreadyRecorded = m_hThread.load() != nullptr;
    LeaveCriticalSection(&m_CriticalSection);
    if (bAlreadyRecorded)
        return false;

    DWORD IdThread = 0;
    HANDLE hThread = CreateThread(nullptr, 0, ThreadProcedure, this, CREATE_SUSPENDED, &IdThread);
    if (hThread == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadBase::Start CreateThread failed. LastError %d",
                     GetLastError());
        return false;
    }

    HANDLE hThreadExit = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), hThread, GetCurrentProcess(), &hThreadExit, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadBase::Start CreateThread failed. LastError %d",
                     GetLastError());
        TerminateThread(hThread, 0);
        CloseHandle(hThread);
        return false;
    }

    bool bPublished = false;
    EnterCriticalSection(&m_CriticalSection);
    if (m_hThread.load() == nullptr) {
        m_hThread.store(hThread);
        m_IdThread = IdThread;
        bPublished = true;
    }
    LeaveCriticalSection(&m_CriticalSection);

    if (!bPublished) {
        TerminateThread(hThread, 0);
        CloseHandle(hThread);
        CloseHandle(hThreadExit);
        return false;
    }
    // A previous run, if any, has taken its handle out: it is leaving or gone.
    if (m_hThreadExit != nullptr) {
        WaitForSingleObject(m_hThreadExit, INFINITE);
        CloseHandle(m_hThreadExit);
    }
    m_hThreadExit = hThreadExit;
    ResumeThread(hThread);
    return true;
}

bool ALThreadBase::IsRunning() {
    if (m_hThread.load() == nullptr)
        return false;
    DWORD ExitCode = 0;
    HANDLE hQuery = m_hThreadExit != nullptr ? m_hThreadExit : m_hThread.load();
    return GetExitCodeThread(hQuery, &ExitCode) && ExitCode == STILL_ACTIVE;
}

bool ALThreadBase::WaitForExit(DWORD Milliseconds) {
    EnterCriticalSection(&m_CriticalSection);
    bool bRecorded = m_hThread.load() != nullptr;
    LeaveCriticalSection(&m_CriticalSection);
    if (!bRecorded || m_hThreadExit == nullptr)
        return false;
    return WaitForSingleObject(m_hThreadExit, Milliseconds) == WAIT_OBJECT_0;
}

void ALThreadBase::Close() {
    EnterCriticalSection(&m_CriticalSection);
    HANDLE hThread = m_hThread.exchange(nullptr);
    LeaveCriticalSection(&m_CriticalSection);
    if (hThread != nullptr && !CloseHandle(hThread))
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadBase::Close CloseHandle failed. LastError %d",
                     GetLastError());
}

bool ALThreadBase::Terminate(DWORD ExitCode) {
    if (!TerminateThread(m_hThread.load(), ExitCode)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadBase::Terminate TerminateThread failed. LastError %d",
                     GetLastError());
        return false;
    }
    return true;
}

DWORD WINAPI ALThreadBase::ThreadProcedure(LPVOID Parameter) {
    ALThreadBase* pThread = static_cast<ALThreadBase*>(Parameter);
    pThread->Run();
    pThread->Close();
    return 0;
}
