// One blocked wait (WaitForSingleObject, WaitForMultipleObjects, Sleep): what
// it waits for and how it ended. It lives on the waiting thread's stack and is
// touched only under the kernel lock; whoever satisfies it records the result
// and wakes its condition variable, so a signal reaches the waiter directly.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <vector>

#include "KernelObject.h"

class WaitBlock {
public:
    static constexpr int64_t kNoDeadline = INT64_MAX;

    std::vector<std::shared_ptr<KernelObject>> m_Objects;
    bool m_bWaitAll = false;
    int64_t m_TimeoutDeadline = kNoDeadline;  // machine time
    bool m_bSatisfied = false;
    uint32_t m_SatisfiedIndex = 0;
    std::condition_variable m_Condition;
};
