#include "MonitorTally.h"

#include <chrono>

void MonitorTally::CallAdd(Kind Type) {
    {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        ++m_Counts[static_cast<int>(Type)];
    }
    m_Changed.notify_all();
}

void MonitorTally::FrameAdd(const RECT& Rectangle) {
    {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        m_LastRectangle = Rectangle;
        ++m_Counts[static_cast<int>(Kind::FrameBufferUpdate)];
    }
    m_Changed.notify_all();
}

void MonitorTally::DeletedSet() {
    {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        m_bDeleted = true;
    }
    m_Changed.notify_all();
}

uint64_t MonitorTally::CountOf(Kind Type) const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Counts[static_cast<int>(Type)];
}

bool MonitorTally::IsDeleted() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_bDeleted;
}

RECT MonitorTally::LastRectangleGet() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_LastRectangle;
}

bool MonitorTally::WaitForCount(Kind Type, uint64_t Count, DWORD RealMilliseconds) const {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    return m_Changed.wait_for(Lock, std::chrono::milliseconds(RealMilliseconds),
                              [&] { return m_Counts[static_cast<int>(Type)] >= Count; });
}

bool MonitorTally::WaitForDeleted(DWORD RealMilliseconds) const {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    return m_Changed.wait_for(Lock, std::chrono::milliseconds(RealMilliseconds), [&] { return m_bDeleted; });
}

bool MonitorTally::WaitForCountUnlessDeleted(Kind Type, uint64_t Count, DWORD RealMilliseconds) const {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    m_Changed.wait_for(Lock, std::chrono::milliseconds(RealMilliseconds),
                       [&] { return m_bDeleted || m_Counts[static_cast<int>(Type)] >= Count; });
    return m_Counts[static_cast<int>(Type)] >= Count;
}
