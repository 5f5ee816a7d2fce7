// Runs every wait of the simulated platform without polling.
//
// A waiting thread first tries to satisfy its wait at once; otherwise it
// registers a WaitBlock with each object and blocks on the block's condition
// variable until one of three things happens:
//   - an object becomes signalled: its kind calls ObjectSignalled, which
//     satisfies (and consumes) the blocked waits it can, in the order they
//     started, and wakes exactly those waiters;
//   - the wait's deadline passes: the earlier of its timeout and the due
//     times that its objects report (DueTimeGet), in machine time;
//   - a due time or the clock scale changes: the waiter recomputes its
//     deadline and blocks again.
// Wait-any takes the lowest signalled index and consumes only that object;
// wait-all consumes all objects together, and only when all are signalled.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "KernelObject.h"
#include "WaitBlock.h"

class WaitEngine {
public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;
    static constexpr uint32_t kWaitTimeout = 0x102u;

    static WaitEngine& Instance();

    // Block names the objects (waitable and, for wait-all, distinct) and
    // whether all are waited for. Returns the satisfying index (wait-all: 0)
    // or kWaitTimeout. Takes the kernel lock.
    uint32_t Wait(WaitBlock& Block, uint32_t Milliseconds);
    // Blocks for Milliseconds of machine time; 0 only yields.
    void SleepFor(uint32_t Milliseconds);

    // Called by kinds with the kernel lock held (see KernelObject.h).
    void ObjectSignalled(KernelObject& Object);
    void ObjectDueTimeChanged(KernelObject& Object);

    // Take the kernel lock.
    void ClockChanged();
    long BlockedCount();
    // Blocks (real time, at most RealMilliseconds) until at least Count
    // threads are blocked in a wait or Sleep; returns whether they were.
    bool BlockedAwait(long Count, uint32_t RealMilliseconds);

private:
    WaitEngine() = default;

    uint32_t PrivateBlock(std::unique_lock<std::mutex>& Lock, WaitBlock& Block);
    bool PrivateSatisfyTry(WaitBlock& Block, int64_t Now);
    int64_t PrivateDeadline(const WaitBlock& Block) const;
    void PrivateRegister(WaitBlock& Block);
    void PrivateUnregister(WaitBlock& Block);

    std::vector<WaitBlock*> m_Blocked;  // every blocked wait, for clock changes
    std::condition_variable m_BlockedChanged;
};
