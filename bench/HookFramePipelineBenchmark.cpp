// The hook frame pipeline against the simulated hook display driver, at
// 1920x1080 and 3840x2160, for the two things that make the frame-buffer
// thread call FrameBufferUpdate: a frame change (an update-ring entry) and a
// pointer move.
//   BM_*ToUpdate: latency from the driver signalling the change to the start
//     of the monitor instance's FrameBufferUpdate (p50, p99) and the heap
//     allocations per update. Each sample is paired with a cross-thread
//     wake-up through the same kind of event, taken just before it:
//     wake_p50_us, wake_p99_us and the ratios p50_per_wake_paired,
//     p99_per_wake_paired.
//   BM_Sustained*: updates per second while the driver keeps announcing,
//     never more than kAhead announcements ahead of the updates.
// The common counters (limits measured in the same run, ratios to them,
// allocations) are described in common/BenchReport.h. The hook path hands
// the mapped frame buffer to the instance without copying it.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "BenchHeapCount.h"
#include "BenchReport.h"
#include "HookChangeSource.h"
#include "HookPipeline.h"
#include "HookWakeUpProbe.h"

namespace {

constexpr DWORD kRateWindowMilliseconds = 3000;
constexpr const char* kPath = "hook";

void LatencyMeasure(benchmark::State& State, HookChangeSource::Kind Which) {
    BenchHeapCount::ThreadIsBench();
    const UINT32 Width = static_cast<UINT32>(State.range(0));
    const UINT32 Height = static_cast<UINT32>(State.range(1));
    BenchReport::LabelSet(State, kPath, HookChangeSource::EventName(Which), Width, Height);
    const BenchReport::Limits Measured = BenchReport::LimitsMeasure(State, Width, Height);
    HookPipeline Pipeline(Width, Height);
    if (!Pipeline.IsStarted()) {
        State.SkipWithError("the frame-buffer thread did not start");
        return;
    }
    HookChangeSource Source(Which);
    HookWakeUpProbe WakeUp;
    std::vector<double> Path, Wake;
    Path.reserve(static_cast<size_t>(State.max_iterations));
    Wake.reserve(static_cast<size_t>(State.max_iterations));
    BenchHeapCount::TotalsReset();
    BenchHeapCount::CountingSet(true);
    for (auto _ : State) {
        Wake.push_back(WakeUp.Sample());
        const int64_t Signalled = HookTimingInstance::NowNanoseconds();
        Source.Signal(Pipeline.Driver());
        if (WaitForSingleObject(Pipeline.Instance().UpdatedGet(), 10000) != WAIT_OBJECT_0) {
            BenchHeapCount::CountingSet(false);
            State.SkipWithError("no update arrived");
            return;
        }
        const double Latency = static_cast<double>(Pipeline.Instance().StartGet() - Signalled) / 1e9;
        Path.push_back(Latency);
        State.SetIterationTime(Latency);
    }
    BenchHeapCount::CountingSet(false);
    BenchReport::AllocationsReport(State, static_cast<double>(Path.size()));
    const double WakeP50 = BenchReport::Percentile(Wake, 0.50), WakeP99 = BenchReport::Percentile(Wake, 0.99);
    const double PathP50 = BenchReport::Percentile(Path, 0.50), PathP99 = BenchReport::Percentile(Path, 0.99);
    State.counters["wake_p50_us"] = WakeP50 * 1e6;
    State.counters["wake_p99_us"] = WakeP99 * 1e6;
    State.counters["p50_per_wake_paired"] = WakeP50 > 0 ? PathP50 / WakeP50 : 0;
    State.counters["p99_per_wake_paired"] = WakeP99 > 0 ? PathP99 / WakeP99 : 0;
    BenchReport::LatencyReport(State, std::move(Path), Measured);
}

void RateMeasure(benchmark::State& State, HookChangeSource::Kind Which) {
    BenchHeapCount::ThreadIsBench();
    const UINT32 Width = static_cast<UINT32>(State.range(0));
    const UINT32 Height = static_cast<UINT32>(State.range(1));
    BenchReport::LabelSet(State, kPath, HookChangeSource::EventName(Which), Width, Height);
    const BenchReport::Limits Measured = BenchReport::LimitsMeasure(State, Width, Height);
    HookPipeline Pipeline(Width, Height);
    if (!Pipeline.IsStarted()) {
        State.SkipWithError("the frame-buffer thread did not start");
        return;
    }
    // The thread drains every entry an event announced into one update, so
    // updates and announcements do not pair up. The driver waits, before
    // each announcement, for an update that began after the announcement
    // kAhead before it: some update follows every announcement, so the wait
    // ends (the time limit is a safety net).
    constexpr uint64_t kAhead = 2;
    std::atomic<bool> bPresenting{true};
    std::atomic<uint64_t> Presented{0};
    std::thread Presenter([&] {
        BenchHeapCount::ThreadIsBench();
        HookChangeSource Source(Which);
        uint64_t UpdatesAtAnnouncement[kAhead] = {};
        for (uint64_t Count = 0; bPresenting.load(); ++Count) {
            uint64_t& Slot = UpdatesAtAnnouncement[Count % kAhead];
            if (Count >= kAhead)
                Pipeline.Instance().UpdatesBeyondAwait(Slot, 1000);
            Slot = Pipeline.Instance().UpdatesGet();
            Source.Signal(Pipeline.Driver());
            Presented.store(Count + 1);
        }
    });
    Sleep(300);  // into steady state
    BenchReport::RateWindowsMeasure(
        State, kRateWindowMilliseconds, [&] { return Pipeline.Instance().UpdatesGet(); }, [&] { return static_cast<uint64_t>(Presented.load()); },
        Measured);
    bPresenting = false;
    Presenter.join();
}

void BM_FrameBufferChangedToUpdate(benchmark::State& State) { LatencyMeasure(State, HookChangeSource::Kind::FrameChange); }
void BM_PointerMoveToUpdate(benchmark::State& State) { LatencyMeasure(State, HookChangeSource::Kind::PointerMove); }
void BM_SustainedFrameChanges(benchmark::State& State) { RateMeasure(State, HookChangeSource::Kind::FrameChange); }
void BM_SustainedPointerMoves(benchmark::State& State) { RateMeasure(State, HookChangeSource::Kind::PointerMove); }

}  // namespace

BENCHMARK(BM_FrameBufferChangedToUpdate)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->UseManualTime()
    ->Iterations(20000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PointerMoveToUpdate)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->UseManualTime()
    ->Iterations(20000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SustainedFrameChanges)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SustainedPointerMoves)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
