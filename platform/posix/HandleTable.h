// The process-wide table of handles of the simulated platform.
//
// Each handle names one reference to a KernelObject; several handles may name
// the same object (DuplicateHandle). Handle values are multiples of 4 taken
// from a counter that only grows, so a value is never given out twice: a
// stale copy of a closed handle can never name a newer object.
//
// The pseudo handles of the current process ((HANDLE)-1) and the current
// thread ((HANDLE)-2) are not in the table; Lookup resolves them to the real
// objects, and Remove reports them (closing one has no effect).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "KernelObject.h"

class HandleTable {
public:
    using Value = void*;  // HANDLE

    static constexpr uintptr_t kPseudoProcess = static_cast<uintptr_t>(-1);
    static constexpr uintptr_t kPseudoThread = static_cast<uintptr_t>(-2);

    enum class RemoveResult { Removed, Pseudo, Invalid };

    static HandleTable& Instance();

    // A new handle to pObject (never null).
    Value Insert(std::shared_ptr<KernelObject> pObject);
    // The object named by hHandle if it is of kind T (pseudo handles
    // included); null for unknown, closed or null handles and other kinds.
    template <typename T>
    std::shared_ptr<T> Lookup(Value hHandle) {
        return std::dynamic_pointer_cast<T>(LookupObject(hHandle));
    }
    std::shared_ptr<KernelObject> LookupObject(Value hHandle);
    // Closes hHandle. The object dies with its last reference, outside the
    // table's lock.
    RemoveResult Remove(Value hHandle);

    long LiveCount();
    long LiveCountOfKind(const std::string& Kind);
    // Closes every handle (machine reset between tests).
    void Clear();

private:
    HandleTable() = default;

    std::mutex m_Mutex;  // leaf lock: nothing is called while it is held
    uintptr_t m_NextValue = 0x1000;
    std::map<uintptr_t, std::shared_ptr<KernelObject>> m_Entries;
};
