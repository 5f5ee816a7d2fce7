// Threads blocked inside the simulated immediate context (in Map waiting for
// the GPU, or waiting for a protected context's device lock), so that tests
// can tell that a thread has reached such a wait without guessing.
#pragma once

#include <condition_variable>
#include <mutex>

#include "win32_base.h"

class D3DWaiterCount {
public:
    enum class Kind { Map, ContextLock };

    static D3DWaiterCount& Instance();

    void Blocked(Kind Which);
    void Unblocked(Kind Which);
    long Count(Kind Which);
    bool CountAwait(Kind Which, long Count, DWORD RealMilliseconds);

private:
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    long m_Counts[2] = {0, 0};
};
