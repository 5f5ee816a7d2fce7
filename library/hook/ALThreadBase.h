#pragma once

#include <atomic>

#include "platform/win32.h"

// One operating-system thread whose body is the virtual Run. The critical
// section guards only the publication and removal of the thread's handle.
class ALThreadBase {
public:
    ALThreadBase();
    // Deletes the critical section only: it neither stops the thread nor
    // closes its handle (the owner stops the thread first).
    virtual ~ALThreadBase();
    ALThreadBase(const ALThreadBase&) = delete;
    ALThreadBase& operator=(const ALThreadBase&) = delete;

    virtual bool Start();
    virtual void Run() = 0;

    bool IsRunning();
    bool WaitForExit(DWORD Milliseconds);
    void Close();
    bool Terminate(DWORD ExitCode);

    static DWORD WINAPI ThreadProcedure(LPVOID Parameter);

protected:
    CRITICAL_SECTION m_CriticalSection;
    // Read without the lock by IsRunning while the exiting thread clears it.
    std::atomic<HANDLE> m_hThread;
    DWORD m_IdThread;

private:
    void PrivateExitHandleRelease();

    // A duplicate of the thread's handle that only the owner's side closes
    // (next Start or destructor). The owner waits on it, so its wait never
    // names a handle that the exiting thread has closed, and the destructor
    // waits on it so that the object outlives the exiting thread's Close().
    HANDLE m_hThreadExit;
};
