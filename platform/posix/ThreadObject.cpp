#include "ThreadObject.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include "KernelLock.h"
#include "WaitEngine.h"

namespace {

constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr size_t kDefaultStackSize = 8u << 20;

std::atomic<long> g_LiveThreads{0};
std::atomic<uint32_t> g_NextThreadId{0x104};

// What the platform knows about the calling thread. Its destructor runs when
// the thread ends and ends the thread's object (threads not made by
// CreateThread have no other end to observe).
struct CurrentThreadSlot {
    std::shared_ptr<ThreadObject> m_pThread;
    uint32_t m_Id = 0;
    uint32_t m_ExitCode = 0;  // the procedure's result, or ExitThread's code

    ~CurrentThreadSlot() {
        if (m_pThread)
            m_pThread->EndRecord(m_ExitCode);
    }
};

thread_local CurrentThreadSlot t_Slot;

// Ends the object of a CreateThread thread also when ExitThread unwinds the
// procedure's frames instead of returning.
struct ProcedureEndGuard {
    ThreadObject& m_Thread;
    ~ProcedureEndGuard() { m_Thread.EndRecord(t_Slot.m_ExitCode); }
};

}  // namespace

ThreadObject::ThreadObject(uint32_t Id, Procedure pProcedure, void* pParameter, uint32_t SuspendCount)
    : m_Id(Id),
      m_pProcedure(pProcedure),
      m_pParameter(pParameter),
      m_State(pProcedure == nullptr ? State::Running : (SuspendCount > 0 ? State::Suspended : State::Released)),
      m_SuspendCount(SuspendCount) {}

std::shared_ptr<ThreadObject> ThreadObject::Create(Procedure pProcedure, void* pParameter, bool bSuspended,
                                                   size_t StackSize, uint32_t* pError) {
    auto pThread = std::make_shared<ThreadObject>(PrivateIdAllocate(), pProcedure, pParameter, bSuspended ? 1u : 0u);
    pthread_attr_t Attributes;
    pthread_attr_init(&Attributes);
    pthread_attr_setdetachstate(&Attributes, PTHREAD_CREATE_DETACHED);
    // Smaller requests are raised to the default: sanitizer builds need the room.
    pthread_attr_setstacksize(&Attributes, StackSize > kDefaultStackSize ? StackSize : kDefaultStackSize);
    auto* pArgument = new std::shared_ptr<ThreadObject>(pThread);
    g_LiveThreads.fetch_add(1);
    pthread_t Thread;
    const int Result = pthread_create(&Thread, &Attributes, &ThreadObject::PrivateTrampoline, pArgument);
    pthread_attr_destroy(&Attributes);
    if (Result != 0) {
        g_LiveThreads.fetch_sub(1);
        delete pArgument;
        *pError = kErrorNotEnoughMemory;
        return nullptr;
    }
    return pThread;
}

void* ThreadObject::PrivateTrampoline(void* pArgument) {
    auto* pOwned = static_cast<std::shared_ptr<ThreadObject>*>(pArgument);
    t_Slot.m_pThread = std::move(*pOwned);
    delete pOwned;
    ThreadObject& Self = *t_Slot.m_pThread;
    t_Slot.m_Id = Self.m_Id;
    if (!Self.PrivateGatePass())
        return nullptr;  // terminated before it ever ran
    ProcedureEndGuard Guard{Self};
    t_Slot.m_ExitCode = Self.m_pProcedure(Self.m_pParameter);
    return nullptr;
}

std::shared_ptr<ThreadObject> ThreadObject::Current() {
    if (!t_Slot.m_pThread)
        t_Slot.m_pThread = std::make_shared<ThreadObject>(CurrentId(), nullptr, nullptr, 0);
    return t_Slot.m_pThread;
}

uint32_t ThreadObject::CurrentId() {
    if (t_Slot.m_Id == 0)
        t_Slot.m_Id = PrivateIdAllocate();
    return t_Slot.m_Id;
}

void ThreadObject::CurrentExit(uint32_t ExitCode) {
    t_Slot.m_ExitCode = ExitCode;
    // Unwinds the thread's frames (destructors run); the guard of a
    // CreateThread thread, or the slot of any other thread, records the end.
    pthread_exit(nullptr);
}

long ThreadObject::LiveCount() { return g_LiveThreads.load(); }

uint32_t ThreadObject::PrivateIdAllocate() {
    // Multiples of 4 as on Windows, never reused, never the process id.
    const uint32_t ProcessId = static_cast<uint32_t>(getpid());
    uint32_t Id;
    do
        Id = g_NextThreadId.fetch_add(4);
    while (Id == ProcessId || Id == 0);
    return Id;
}

bool ThreadObject::PrivateGatePass() {
    std::unique_lock Lock(KernelLock::Mutex());
    m_Gate.wait(Lock, [this] { return m_State != State::Suspended; });
    if (m_State == State::Finished)
        return false;
    m_State = State::Running;
    return true;
}

void ThreadObject::EndRecord(uint32_t ExitCode) {
    std::lock_guard Lock(KernelLock::Mutex());
    if (m_State == State::Finished)
        return;
    m_State = State::Finished;
    m_ExitCode = ExitCode;
    if (m_pProcedure != nullptr)
        g_LiveThreads.fetch_sub(1);
    WaitEngine::Instance().ObjectSignalled(*this);
}

uint32_t ThreadObject::Resume() {
    std::lock_guard Lock(KernelLock::Mutex());
    const uint32_t Previous = m_SuspendCount;
    if (m_SuspendCount > 0 && --m_SuspendCount == 0 && m_State == State::Suspended) {
        m_State = State::Released;
        m_Gate.notify_one();
    }
    return Previous;
}

ThreadObject::TerminateResult ThreadObject::Terminate(uint32_t ExitCode) {
    std::lock_guard Lock(KernelLock::Mutex());
    if (m_State == State::Running)
        return TerminateResult::Running;
    if (m_State == State::Finished)
        return TerminateResult::Terminated;  // already over: its exit code stays
    // Still at the gate: it never runs its procedure.
    m_State = State::Finished;
    m_ExitCode = ExitCode;
    g_LiveThreads.fetch_sub(1);
    m_Gate.notify_one();
    WaitEngine::Instance().ObjectSignalled(*this);
    return TerminateResult::Terminated;
}

uint32_t ThreadObject::ExitCodeGet() {
    std::lock_guard Lock(KernelLock::Mutex());
    return m_State == State::Finished ? m_ExitCode : kStillActive;
}

void ThreadObject::PrioritySet(int Priority) {
    std::lock_guard Lock(KernelLock::Mutex());
    m_Priority = Priority;
}

int ThreadObject::PriorityGet() {
    std::lock_guard Lock(KernelLock::Mutex());
    return m_Priority;
}

bool ThreadObject::SignalledIs(int64_t) { return m_State == State::Finished; }
