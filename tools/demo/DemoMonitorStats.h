// One monitor's statistics, written by its frame-buffer thread (through the
// monitor instance) and read by the host's thread: the period since the
// last progress line, the whole run, and the monitor's visibility.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "DemoStatsPeriod.h"

class DemoMonitorStats {
public:
    // One delivered frame; a negative latency means its presentation time
    // is not known.
    void FrameRecord(double ChangedShare, double LatencyMicroseconds);
    void VisibilitySet(bool bVisible);
    void InactivityRecord();
    void StopRecord();

    // The period since the previous call, and a fresh one begun.
    DemoStatsPeriod PeriodTake();
    DemoStatsPeriod TotalGet() const;
    uint64_t InactivityCountGet() const;
    bool StoppedIs() const;
    // Waits until the monitor is visible, at most RealMilliseconds.
    bool VisibleAwait(uint32_t RealMilliseconds);

private:
    mutable std::mutex m_Mutex;
    std::condition_variable m_VisibilityChanged;
    DemoStatsPeriod m_Period;
    DemoStatsPeriod m_Total;
    bool m_bVisible = false;
    bool m_bStopped = false;
    uint64_t m_Inactivity = 0;
};
