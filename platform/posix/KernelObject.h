// Base of every object that a HANDLE of the simulated platform can name.
//
// Objects live in the process-wide HandleTable, shared between all handles
// that name them (and any wait in progress on them), and die with the last
// reference. Every object has a kind name (used by the machine API's leak
// counts). Waitable kinds also implement the wait contract below; the
// WaitEngine runs every wait through that contract and knows no kind.
//
// Adding a kind (device file, device notification, section, shared resource):
//   1. Derive from KernelObject; return a unique name from KindName().
//   2. Create it with std::make_shared and hand it out with
//      HandleTable::Instance().Insert(pObject).
//   3. In the API entry points, resolve handles with
//      HandleTable::Instance().Lookup<YourKind>(hHandle); a null result means
//      "bad handle for this call": SetLastError(ERROR_INVALID_HANDLE).
//   4. Only if the kind can be waited on: override WaitableIs() (true),
//      SignalledIs() and, for objects that a successful wait changes,
//      WaitSatisfy(). Change the signalled state only while holding
//      KernelLock::Mutex(), and when the object has become signalled call
//      WaitEngine::Instance().ObjectSignalled(*this) before releasing it.
//      An object that becomes signalled by itself at a machine time (like a
//      timer) reports that time through DueTimeGet() and calls
//      WaitEngine::Instance().ObjectDueTimeChanged(*this) (lock held)
//      whenever it changes, so waiters never poll for it.
//   Non-waitable kinds override nothing of the wait contract: a wait on them
//   fails with ERROR_INVALID_HANDLE.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

class WaitBlock;

class KernelObject {
public:
    KernelObject() = default;
    virtual ~KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    virtual const char* KindName() const = 0;

    // --- wait contract; every member below is called with the kernel lock held
    virtual bool WaitableIs() const { return false; }
    // Whether a wait on the object would be satisfied at machine time Now.
    virtual bool SignalledIs(int64_t Now) { (void)Now; return false; }
    // A wait that this object helped satisfy has ended: consume what the
    // kind's rules consume (the state of an auto-reset event, for instance).
    virtual void WaitSatisfy() {}
    // The machine time at which the object will become signalled by itself,
    // if any.
    virtual std::optional<int64_t> DueTimeGet() const { return std::nullopt; }

private:
    friend class WaitEngine;
    std::vector<WaitBlock*> m_WaitBlocks;  // waits blocked on this object
};
