#include "WaitEngine.h"

#include <algorithm>
#include <thread>

#include "KernelLock.h"
#include "MachineClock.h"

namespace {

int64_t DeadlineAfter(int64_t Now, uint32_t Milliseconds) {
    if (Milliseconds == WaitEngine::kInfinite)
        return WaitBlock::kNoDeadline;
    return Now + static_cast<int64_t>(Milliseconds) * MachineClock::kTicksPerMillisecond;
}

}  // namespace

WaitEngine& WaitEngine::Instance() {
    static WaitEngine* s_pEngine = new WaitEngine;  // used until process exit
    return *s_pEngine;
}

uint32_t WaitEngine::Wait(WaitBlock& Block, uint32_t Milliseconds) {
    std::unique_lock Lock(KernelLock::Mutex());
    const int64_t Now = MachineClock::Instance().Now();
    if (PrivateSatisfyTry(Block, Now))
        return Block.m_SatisfiedIndex;
    Block.m_TimeoutDeadline = DeadlineAfter(Now, Milliseconds);
    if (Block.m_TimeoutDeadline <= Now)
        return kWaitTimeout;
    return PrivateBlock(Lock, Block);
}

void WaitEngine::SleepFor(uint32_t Milliseconds) {
    if (Milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    WaitBlock Block;
    std::unique_lock Lock(KernelLock::Mutex());
    Block.m_TimeoutDeadline = DeadlineAfter(MachineClock::Instance().Now(), Milliseconds);
    PrivateBlock(Lock, Block);
}

uint32_t WaitEngine::PrivateBlock(std::unique_lock<std::mutex>& Lock, WaitBlock& Block) {
    MachineClock& Clock = MachineClock::Instance();
    PrivateRegister(Block);
    for (;;) {
        const int64_t Deadline = PrivateDeadline(Block);
        if (Deadline == WaitBlock::kNoDeadline)
            Block.m_Condition.wait(Lock);
        else
            Block.m_Condition.wait_until(Lock, Clock.RealTimeAt(Deadline));
        if (Block.m_bSatisfied)
            break;
        const int64_t Now = Clock.Now();
        if (!Block.Objects().empty() && PrivateSatisfyTry(Block, Now))
            break;
        if (Now >= Block.m_TimeoutDeadline)
            break;
    }
    PrivateUnregister(Block);
    return Block.m_bSatisfied ? Block.m_SatisfiedIndex : kWaitTimeout;
}

bool WaitEngine::PrivateSatisfyTry(WaitBlock& Block, int64_t Now) {
    const std::span<const std::shared_ptr<KernelObject>> Objects = Block.Objects();
    if (Block.m_bWaitAll) {
        // Every state is looked at before any is consumed: all or nothing.
        // No early exit: looking brings due timers up to date, and a timer
        // left behind would keep reporting a due time in the past.
        bool bAllSignalled = true;
        for (const std::shared_ptr<KernelObject>& pObject : Objects)
            bAllSignalled = pObject->SignalledIs(Now) && bAllSignalled;
        if (!bAllSignalled)
            return false;
        for (const std::shared_ptr<KernelObject>& pObject : Objects)
            pObject->WaitSatisfy();
        Block.m_SatisfiedIndex = 0;
        Block.m_bSatisfied = true;
        return true;
    }
    for (size_t Index = 0; Index < Objects.size(); ++Index) {
        if (Objects[Index]->SignalledIs(Now)) {
            Objects[Index]->WaitSatisfy();
            Block.m_SatisfiedIndex = static_cast<uint32_t>(Index);
            Block.m_bSatisfied = true;
            return true;
        }
    }
    return false;
}

int64_t WaitEngine::PrivateDeadline(const WaitBlock& Block) const {
    int64_t Deadline = Block.m_TimeoutDeadline;
    for (const std::shared_ptr<KernelObject>& pObject : Block.Objects()) {
        const std::optional<int64_t> Due = pObject->DueTimeGet();
        if (Due && *Due < Deadline)
            Deadline = *Due;
    }
    return Deadline;
}

void WaitEngine::ObjectSignalled(KernelObject& Object) {
    if (Object.m_WaitBlocks.empty())
        return;
    const int64_t Now = MachineClock::Instance().Now();
    // Satisfying a block changes object states, never the blocks' lists: the
    // waiters unregister themselves once they run again.
    for (WaitBlock* pBlock : Object.m_WaitBlocks) {
        if (!Object.SignalledIs(Now))
            break;  // consumed by an earlier waiter
        if (!pBlock->m_bSatisfied && PrivateSatisfyTry(*pBlock, Now))
            pBlock->m_Condition.notify_one();
    }
}

void WaitEngine::ObjectDueTimeChanged(KernelObject& Object) {
    for (WaitBlock* pBlock : Object.m_WaitBlocks)
        pBlock->m_Condition.notify_one();
}

void WaitEngine::ClockChanged() {
    std::lock_guard Lock(KernelLock::Mutex());
    for (WaitBlock* pBlock : m_Blocked)
        pBlock->m_Condition.notify_one();
}

long WaitEngine::BlockedCount() {
    std::lock_guard Lock(KernelLock::Mutex());
    return static_cast<long>(m_Blocked.size());
}

bool WaitEngine::BlockedAwait(long Count, uint32_t RealMilliseconds) {
    std::unique_lock Lock(KernelLock::Mutex());
    return m_BlockedChanged.wait_for(Lock, std::chrono::milliseconds(RealMilliseconds),
                                     [&] { return static_cast<long>(m_Blocked.size()) >= Count; });
}

void WaitEngine::PrivateRegister(WaitBlock& Block) {
    for (const std::shared_ptr<KernelObject>& pObject : Block.Objects()) {
        std::vector<WaitBlock*>& Blocks = pObject->m_WaitBlocks;
        if (std::find(Blocks.begin(), Blocks.end(), &Block) == Blocks.end())
            Blocks.push_back(&Block);
    }
    m_Blocked.push_back(&Block);
    m_BlockedChanged.notify_all();
}

void WaitEngine::PrivateUnregister(WaitBlock& Block) {
    for (const std::shared_ptr<KernelObject>& pObject : Block.Objects())
        std::erase(pObject->m_WaitBlocks, &Block);
    std::erase(m_Blocked, &Block);
    m_BlockedChanged.notify_all();
}
