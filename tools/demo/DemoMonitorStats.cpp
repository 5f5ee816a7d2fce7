#include "DemoMonitorStats.h"

#include <chrono>
#include <utility>

void DemoMonitorStats::FrameRecord(double ChangedShare, double LatencyMicroseconds) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_Period.FrameAdd(ChangedShare);
    m_Total.FrameAdd(ChangedShare);
    if (LatencyMicroseconds >= 0) {
        m_Period.LatencyAdd(LatencyMicroseconds);
        m_Total.LatencyAdd(LatencyMicroseconds);
    }
}

void DemoMonitorStats::VisibilitySet(bool bVisible) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_bVisible = bVisible;
    m_VisibilityChanged.notify_all();
}

void DemoMonitorStats::InactivityRecord() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    ++m_Inactivity;
}

void DemoMonitorStats::StopRecord() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_bStopped = true;
    m_VisibilityChanged.notify_all();
}

DemoStatsPeriod DemoMonitorStats::PeriodTake() {
    // A fresh period is made outside the lock and swapped in, so the frame
    // thread never waits for a copy of the counters.
    DemoStatsPeriod Taken;
    std::lock_guard<std::mutex> Lock(m_Mutex);
    std::swap(Taken, m_Period);
    return Taken;
}

DemoStatsPeriod DemoMonitorStats::TotalGet() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Total;
}

uint64_t DemoMonitorStats::InactivityCountGet() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Inactivity;
}

bool DemoMonitorStats::StoppedIs() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_bStopped;
}

bool DemoMonitorStats::VisibleAwait(uint32_t RealMilliseconds) {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    return m_VisibilityChanged.wait_for(Lock, std::chrono::milliseconds(RealMilliseconds),
                                        [&] { return m_bVisible || m_bStopped; }) &&
           m_bVisible;
}
