#include "BenchReport.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "BenchHeapCount.h"
#include "BenchLimits.h"

namespace {

double RatioOf(double Value, double Limit) { return Limit > 0 ? Value / Limit : 0; }

}  // namespace

void BenchReport::LabelSet(benchmark::State& State, const char* pPath, const char* pEvent, uint32_t Width,
                           uint32_t Height) {
    State.SetLabel(std::string(pPath) + "/" + pEvent + "/" + std::to_string(Width) + "x" + std::to_string(Height));
}

BenchReport::Limits BenchReport::LimitsMeasure(benchmark::State& State, uint32_t Width, uint32_t Height) {
    const size_t Bytes = size_t(Width) * Height * 4;
    Limits Result;
    Result.MemcpySeconds = BenchLimits::FrameMemcpySeconds(Bytes, true);
    Result.MemcpyHotSeconds = BenchLimits::FrameMemcpySeconds(Bytes, false);
    Result.WakeUpSeconds = BenchLimits::WakeUpSeconds();
    State.counters["memcpy_us"] = Result.MemcpySeconds * 1e6;
    State.counters["memcpy_hot_us"] = Result.MemcpyHotSeconds * 1e6;
    State.counters["wakeup_us"] = Result.WakeUpSeconds * 1e6;
    return Result;
}

double BenchReport::Percentile(std::vector<double> Values, double Fraction) {
    if (Values.empty())
        return 0;
    std::sort(Values.begin(), Values.end());
    const size_t Index = std::min(Values.size() - 1, static_cast<size_t>(Fraction * static_cast<double>(Values.size())));
    return Values[Index];
}

void BenchReport::LatencyReport(benchmark::State& State, std::vector<double> Seconds, const Limits& Measured) {
    const double P50 = Percentile(Seconds, 0.50);
    const double P99 = Percentile(std::move(Seconds), 0.99);
    State.counters["p50_us"] = P50 * 1e6;
    State.counters["p99_us"] = P99 * 1e6;
    State.counters["p50_per_memcpy"] = RatioOf(P50, Measured.MemcpySeconds);
    State.counters["p99_per_memcpy"] = RatioOf(P99, Measured.MemcpySeconds);
    State.counters["p50_per_memcpy_hot"] = RatioOf(P50, Measured.MemcpyHotSeconds);
    State.counters["p50_per_wakeup"] = RatioOf(P50, Measured.WakeUpSeconds);
    State.counters["p99_per_wakeup"] = RatioOf(P99, Measured.WakeUpSeconds);
}

void BenchReport::RateReport(benchmark::State& State, double Delivered, double Offered, double Seconds,
                             const Limits& Measured) {
    const double Fps = RatioOf(Delivered, Seconds);
    const double Period = RatioOf(1.0, Fps);
    State.counters["fps"] = Fps;
    State.counters["presented_fps"] = RatioOf(Offered, Seconds);
    State.counters["period_per_memcpy"] = RatioOf(Period, Measured.MemcpySeconds);
    State.counters["period_per_memcpy_hot"] = RatioOf(Period, Measured.MemcpyHotSeconds);
    State.counters["period_per_wakeup"] = RatioOf(Period, Measured.WakeUpSeconds);
}

void BenchReport::AllocationsReport(benchmark::State& State, double Updates) {
    const BenchHeapCount::Totals Totals = BenchHeapCount::TotalsGet();
    const double Divisor = Updates > 0 ? Updates : 1;
    State.counters["allocs_per_frame"] = static_cast<double>(Totals.Library) / Divisor;
    State.counters["sim_allocs_per_frame"] = static_cast<double>(Totals.Kernel) / Divisor;
    State.counters["bench_allocs_per_frame"] = static_cast<double>(Totals.Bench) / Divisor;
}

void BenchReport::RateWindowsMeasure(benchmark::State& State, DWORD WindowMilliseconds,
                                     const std::function<uint64_t()>& UpdatesGet,
                                     const std::function<uint64_t()>& PresentedGet, const Limits& Measured) {
    double Delivered = 0;
    double Offered = 0;
    double Seconds = 0;
    for (auto _ : State) {
        const uint64_t UpdatesBefore = UpdatesGet();
        const uint64_t PresentedBefore = PresentedGet();
        BenchHeapCount::TotalsReset();
        BenchHeapCount::CountingSet(true);
        const auto Start = std::chrono::steady_clock::now();
        Sleep(WindowMilliseconds);
        BenchHeapCount::CountingSet(false);
        Seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        Delivered += static_cast<double>(UpdatesGet() - UpdatesBefore);
        Offered += static_cast<double>(PresentedGet() - PresentedBefore);
    }
    AllocationsReport(State, Delivered);
    RateReport(State, Delivered, Offered, Seconds, Measured);
}
