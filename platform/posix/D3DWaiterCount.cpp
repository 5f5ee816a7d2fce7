#include "D3DWaiterCount.h"

#include <chrono>

D3DWaiterCount& D3DWaiterCount::Instance() {
    static D3DWaiterCount s_Count;
    return s_Count;
}

void D3DWaiterCount::Blocked(Kind Which) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    ++m_Counts[static_cast<int>(Which)];
    m_Changed.notify_all();
}

void D3DWaiterCount::Unblocked(Kind Which) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    --m_Counts[static_cast<int>(Which)];
    m_Changed.notify_all();
}

long D3DWaiterCount::Count(Kind Which) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Counts[static_cast<int>(Which)];
}

bool D3DWaiterCount::CountAwait(Kind Which, long Count, DWORD RealMilliseconds) {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    return m_Changed.wait_for(Lock, std::chrono::milliseconds(RealMilliseconds),
                              [&] { return m_Counts[static_cast<int>(Which)] >= Count; });
}
