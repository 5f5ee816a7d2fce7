// One blocked wait (WaitForSingleObject, WaitForMultipleObjects, Sleep): what
// it waits for and how it ended. It lives on the waiting thread's stack and is
// touched only under the kernel lock; whoever satisfies it records the result
// and wakes its condition variable, so a signal reaches the waiter directly.
//
// The objects sit in a fixed array of the most a wait may name, so that a
// wait (the frame threads wait once per frame) takes nothing from the heap.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <span>

#include "KernelObject.h"

class WaitBlock {
public:
    static constexpr int64_t kNoDeadline = INT64_MAX;
    static constexpr uint32_t kMaximumObjects = 64;  // MAXIMUM_WAIT_OBJECTS

    // Appends one object; false when the block is full.
    bool ObjectAdd(std::shared_ptr<KernelObject> pObject) {
        if (m_CountObjects == kMaximumObjects)
            return false;
        m_Objects[m_CountObjects++] = std::move(pObject);
        return true;
    }
    std::span<const std::shared_ptr<KernelObject>> Objects() const { return {m_Objects.data(), m_CountObjects}; }

    bool m_bWaitAll = false;
    int64_t m_TimeoutDeadline = kNoDeadline;  // machine time
    bool m_bSatisfied = false;
    uint32_t m_SatisfiedIndex = 0;
    std::condition_variable m_Condition;

private:
    std::array<std::shared_ptr<KernelObject>, kMaximumObjects> m_Objects;
    uint32_t m_CountObjects = 0;
};
