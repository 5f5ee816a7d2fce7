// The indirect display frame pipeline end to end on the simulated machine:
// latency from the driver making a frame available to the start of the
// monitor instance's FrameBufferUpdate (p50, p99), sustained frames per
// second with the driver presenting as fast as it can, and heap allocations
// per frame in steady state, at 1920x1080 and 3840x2160. Each figure is also
// given as a ratio to limits measured in the same run: one frame's memcpy
// and one cross-thread wake-up (counters: common/BenchReport.h).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "BenchHeapCount.h"
#include "BenchPipeline.h"
#include "BenchReport.h"

namespace {

constexpr int kWarmUpFrames = 50;
constexpr DWORD kFpsWindowMilliseconds = 3000;
constexpr const char* kPath = "indirect";
constexpr const char* kEvent = "frame";

void BM_PresentToUpdateLatency(benchmark::State& State) {
    BenchHeapCount::ThreadIsBench();
    const UINT32 Width = static_cast<UINT32>(State.range(0));
    const UINT32 Height = static_cast<UINT32>(State.range(1));
    BenchReport::LabelSet(State, kPath, kEvent, Width, Height);
    const BenchReport::Limits Measured = BenchReport::LimitsMeasure(State, Width, Height);
    BenchPipeline Pipeline(Width, Height);
    if (!Pipeline.ReadyIs()) {
        State.SkipWithError("the pipeline did not start");
        return;
    }
    for (int i = 0; i < kWarmUpFrames; ++i)
        Pipeline.FrameLatency();
    std::vector<double> Latencies;
    Latencies.reserve(static_cast<size_t>(State.max_iterations));
    BenchHeapCount::TotalsReset();
    BenchHeapCount::CountingSet(true);
    for (auto _ : State) {
        const double Seconds = Pipeline.FrameLatency();
        State.SetIterationTime(Seconds);
        Latencies.push_back(Seconds);
    }
    BenchHeapCount::CountingSet(false);
    BenchReport::AllocationsReport(State, static_cast<double>(Latencies.size()));
    BenchReport::LatencyReport(State, std::move(Latencies), Measured);
}

void BM_SustainedFramesPerSecond(benchmark::State& State) {
    BenchHeapCount::ThreadIsBench();
    const UINT32 Width = static_cast<UINT32>(State.range(0));
    const UINT32 Height = static_cast<UINT32>(State.range(1));
    BenchReport::LabelSet(State, kPath, kEvent, Width, Height);
    const BenchReport::Limits Measured = BenchReport::LimitsMeasure(State, Width, Height);
    BenchPipeline Pipeline(Width, Height);
    if (!Pipeline.ReadyIs()) {
        State.SkipWithError("the pipeline did not start");
        return;
    }
    // The driver keeps a new frame ready: it presents whenever fewer than
    // kFramesAhead presented frames are still on their way. (Presenting back
    // to back instead would hold the driver's lock nearly all the time and
    // starve the library's acquisitions, which no compositor does.) A frame
    // the driver merged into the next never arrives, so the wait is bounded.
    constexpr uint64_t kFramesAhead = 2;
    std::atomic<bool> bPresenting{true};
    std::atomic<uint64_t> Presented{0};
    std::thread Presenter([&] {
        BenchHeapCount::ThreadIsBench();
        while (bPresenting.load()) {
            const uint64_t Count = Presented.load();
            if (Count >= kFramesAhead)
                Pipeline.InstanceGet().UpdatesAwait(Count - kFramesAhead + 1, 20);
            if (Pipeline.DriverGet().FramePresent(0))
                Presented.fetch_add(1);
        }
    });
    Sleep(500);  // into steady state
    BenchReport::RateWindowsMeasure(
        State, kFpsWindowMilliseconds, [&] { return Pipeline.InstanceGet().UpdatesGet(); }, [&] { return static_cast<uint64_t>(Presented.load()); },
        Measured);
    bPresenting = false;
    Presenter.join();
}

}  // namespace

BENCHMARK(BM_PresentToUpdateLatency)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Iterations(1000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_SustainedFramesPerSecond)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
