// The texts the demo prints: the live progress line and the summary.
#pragma once

#include <cstdint>
#include <string>

#include "DemoStatsPeriod.h"

class DemoReport {
public:
    // Elapsed run time, then the last period over all monitors: frames,
    // frames per second (per monitor when there are several), latency
    // percentiles and the mean share of the screen an update changed.
    static std::string ProgressLineGet(double ElapsedSeconds, const DemoStatsPeriod& Period, double PeriodSeconds,
                                       uint64_t FramesTotal, uint32_t MonitorCount);
    // One monitor over the whole run. Presented < 0: not known.
    static std::string MonitorSummaryGet(uint32_t Ordinal, const DemoStatsPeriod& Total, double Seconds,
                                         int64_t Presented, uint64_t Inactivity, const std::string& Picture);
    // "p50 0.071 ms p99 0.210 ms", or "-" without samples.
    static std::string LatencyTextGet(const DemoLatencyHistogram& Latency, bool bMaximum);
};
