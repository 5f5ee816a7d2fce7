// Thread: one POSIX thread running a thread procedure, or any other thread of
// the process (its object is made the first time it is asked for, e.g. through
// the GetCurrentThread() pseudo handle). Signalled when the thread ends; the
// exit code is STILL_ACTIVE until then.
//
// A thread made by CreateThread exists as a POSIX thread from the start but
// waits at a gate until its suspend count is 0. Terminating it while it still
// waits there ends it without ever running the procedure. A thread that runs
// cannot be terminated from outside: POSIX offers no safe way to stop a thread
// at an arbitrary point (its locks and heap would be left in any state), so
// Terminate refuses; the thread must end itself (ExitThread, or return).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>

#include "KernelObject.h"

class ThreadObject : public KernelObject {
public:
    using Procedure = uint32_t (*)(void*);

    static constexpr uint32_t kStillActive = 259;

    enum class TerminateResult { Terminated, Running };

    // Starts a thread, suspended when bSuspended. Null with *pError set (a
    // Win32 error code) on failure.
    static std::shared_ptr<ThreadObject> Create(Procedure pProcedure, void* pParameter, bool bSuspended,
                                                size_t StackSize, uint32_t* pError);
    // The calling thread's object and identifier.
    static std::shared_ptr<ThreadObject> Current();
    static uint32_t CurrentId();
    [[noreturn]] static void CurrentExit(uint32_t ExitCode);
    // Threads from Create that have not ended.
    static long LiveCount();

    ThreadObject(uint32_t Id, Procedure pProcedure, void* pParameter, uint32_t SuspendCount);

    const char* KindName() const override { return "Thread"; }
    uint32_t IdGet() const { return m_Id; }

    // Previous suspend count.
    uint32_t Resume();
    TerminateResult Terminate(uint32_t ExitCode);
    uint32_t ExitCodeGet();
    void PrioritySet(int Priority);
    int PriorityGet();

    // The thread has ended with ExitCode (no effect once ended).
    void EndRecord(uint32_t ExitCode);

    bool WaitableIs() const override { return true; }
    bool SignalledIs(int64_t Now) override;

private:
    enum class State { Suspended, Released, Running, Finished };

    static void* PrivateTrampoline(void* pArgument);
    static uint32_t PrivateIdAllocate();
    bool PrivateGatePass();

    const uint32_t m_Id;
    const Procedure m_pProcedure;  // null for threads not made by Create
    void* const m_pParameter;
    // kernel lock
    State m_State;
    uint32_t m_SuspendCount;
    uint32_t m_ExitCode = kStillActive;
    int m_Priority = 0;
    std::condition_variable m_Gate;
};
