// The figures every pipeline benchmark reports, under the same counter names
// in every suite so that one table (scripts/bench-table.py) can put them side
// by side:
//   label                  "path/event/WIDTHxHEIGHT", the row of the table
//   memcpy_us              one frame's memcpy, cold (rotating buffers)
//   memcpy_hot_us          the same, hot (one pair, in the cache if it fits)
//   wakeup_us              one cross-thread wake-up through an event
//   p50_us, p99_us         latency percentiles, and their ratios to the
//                          limits: p50_per_memcpy, p99_per_memcpy,
//                          p50_per_wakeup, p99_per_wakeup
//   fps, presented_fps     updates delivered (offered) per second, and the
//                          period's ratios: period_per_memcpy, period_per_wakeup
//   allocs_per_frame       heap allocations of the library per update
//   sim_allocs_per_frame   those of the simulated kernel and drivers (inside
//                          requests and waits; none on Windows)
//   bench_allocs_per_frame those of the benchmark's own threads
#pragma once

#include <benchmark/benchmark.h>

#include "platform/win32.h"

#include <cstdint>
#include <functional>
#include <vector>

class BenchReport {
public:
    struct Limits {
        double MemcpySeconds = 0;
        double MemcpyHotSeconds = 0;
        double WakeUpSeconds = 0;
    };

    static void LabelSet(benchmark::State& State, const char* pPath, const char* pEvent, uint32_t Width,
                         uint32_t Height);
    // Measures the limits for frames of Width x Height and reports them.
    static Limits LimitsMeasure(benchmark::State& State, uint32_t Width, uint32_t Height);
    static void LatencyReport(benchmark::State& State, std::vector<double> Seconds, const Limits& Measured);
    static void RateReport(benchmark::State& State, double Delivered, double Offered, double Seconds,
                           const Limits& Measured);
    // Runs the benchmark's iterations as windows of WindowMilliseconds while
    // frames flow, counting updates delivered and frames offered and the
    // heap allocations within the windows, and reports rate and allocations.
    static void RateWindowsMeasure(benchmark::State& State, DWORD WindowMilliseconds,
                                   const std::function<uint64_t()>& UpdatesGet,
                                   const std::function<uint64_t()>& PresentedGet, const Limits& Measured);
    // What BenchHeapCount counted, per update.
    static void AllocationsReport(benchmark::State& State, double Updates);
    static double Percentile(std::vector<double> Values, double Fraction);
};
