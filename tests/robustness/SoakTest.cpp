// A thousand plug and unplug cycles on each driver, with frames flowing on a
// monitor that stays (from a thread of their own, all through the cycles,
// as zero-copy updates on the hook driver) and on the one that cycles. At rest
// the library holds exactly what the staying monitor needs (every machine
// counter equal to its value before the first cycle), the heap does not grow
// from cycle 100 to the last, and no cycle logs a failure.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

#include "FramePump.h"
#include "HeapBytesInUse.h"
#include "RobustnessTest.h"

namespace {

constexpr int kCycles = 1000;
constexpr int kHeapFirstCycle = 100;
// Heap growth allowed between cycle 100 and the last: 16 bytes a cycle,
// below the smallest block a leaking cycle would lose (a thread object, a
// description record, a handle's table entry). Seen: a few hundred bytes
// either way in all.
constexpr long long kHeapTolerance = 16 * (kCycles - kHeapFirstCycle);

class SoakTest : public RobustnessTest, public ::testing::WithParamInterface<DriverKind> {
protected:
    // Plugs a monitor at the index the library chooses (the stored one, or
    // the lowest free one); Index is what it reported.
    PluggedMonitor PlugChosen() {
        PluggedMonitor Monitor;
        Monitor.pTally = std::make_shared<MonitorTally>();
        auto* pInstance = new CountingMonitorInstance(Monitor.pTally, kWidth, kHeight);
        Monitor.bPlugged = m_pApi->DisplayMonitorPlug(pInstance);
        if (!Monitor.bPlugged) {
            delete pInstance;
            return Monitor;
        }
        Monitor.pInstance = pInstance;
        int TargetId = -1;
        int VideoPresentTargetId = -1;
        m_pApi->DisplayMonitorAssignmentEnumerate(1, &TargetId, &VideoPresentTargetId, nullptr);
        Monitor.Index = static_cast<uint32_t>(TargetId);
        return Monitor;
    }
    void TearDown() override {
        LogWatchEnd();
        RobustnessTest::TearDown();
    }
    // From now on lines of the library log are counted, not kept (the level
    // lets only failures through), so that the record does not grow.
    void LogWatchBegin() {
        MachineDebugRecordSet(false);
        m_ListenerId = MachineDebugListenerAdd([this](const std::wstring& Line) {
            std::lock_guard<std::mutex> Lock(m_LinesMutex);
            if (m_LineCount++ == 0)
                m_FirstLine = Line;
        });
        m_bWatching = true;
    }
    void LogWatchEnd() {
        if (!m_bWatching)
            return;
        MachineDebugListenerRemove(m_ListenerId);
        MachineDebugRecordSet(true);
        m_bWatching = false;
    }
    size_t LinesLoggedGet(std::wstring* pFirst) {
        std::lock_guard<std::mutex> Lock(m_LinesMutex);
        *pFirst = m_FirstLine;
        return m_LineCount;
    }
    // The drivers' request records, emptied so that they do not grow.
    void RequestRecordsDrop() {
        m_pHookDriver->Requests().Clear();
        m_pIddCxDriver->Requests().Clear();
    }
    std::unique_ptr<FramePump> PumpStart(DriverKind Driver, const PluggedMonitor& Monitor) {
        return std::make_unique<FramePump>([this, Driver, Monitor] { return FramePresent(Driver, Monitor, 2); },
                                           Monitor.pTally);
    }
    // The staying monitor's frames stopped and its workers at rest: what the
    // library holds can be counted.
    void PumpPause(std::unique_ptr<FramePump>& pPump, DriverKind Driver, uint64_t* pFramesPumped) {
        pPump->Stop();
        EXPECT_EQ(pPump->FailuresGet(), 0u) << "a frame of the staying monitor was lost";
        *pFramesPumped += pPump->FramesDeliveredGet();
        pPump.reset();
        ASSERT_TRUE(Quiesce(Driver == DriverKind::Hook ? 1 : 2));
        RequestRecordsDrop();
    }

private:
    size_t m_ListenerId = 0;
    bool m_bWatching = false;
    std::mutex m_LinesMutex;
    size_t m_LineCount = 0;
    std::wstring m_FirstLine;
};

TEST_P(SoakTest, ThousandPlugCyclesBesideAStayingMonitorGiveEverythingBack) {
    const DriverKind Driver = GetParam();
    const char* pDriverName = Driver == DriverKind::Hook ? "hook" : "indirect";
    ASSERT_TRUE(Initialize(Driver));
    PluggedMonitor Staying = PlugAt(0);
    ASSERT_TRUE(Staying.bPlugged);
    ASSERT_TRUE(FirstFrameAwait(Driver, Staying));
    ASSERT_TRUE(Quiesce(Driver == DriverKind::Hook ? 1 : 2));
    // What Initialize logged (the removal registration without a recipient) is not counted.
    MachineDebugClear();
    RequestRecordsDrop();
    LogWatchBegin();
    const MachineCounters Before = MachineCounters::Read();
    MachineCounters AtHeapFirstCycle;
    size_t HeapAtFirstCycle = 0;
    uint64_t FramesPumped = 0;
    uint64_t FramesCycling = 0;
    size_t ViewsAtFirstCycle = 0;
    const auto Start = std::chrono::steady_clock::now();
    auto pPump = PumpStart(Driver, Staying);
    for (int Cycle = 1; Cycle <= kCycles; ++Cycle) {
        PluggedMonitor Cycling = PlugChosen();
        ASSERT_TRUE(Cycling.bPlugged) << "cycle " << Cycle;
        ASSERT_EQ(Cycling.Index, 1u) << "cycle " << Cycle;
        ASSERT_TRUE(FirstFrameAwait(Driver, Cycling)) << "cycle " << Cycle;
        // Frames keep coming while the monitor is unplugged: the unplug
        // meets one under way at any point of its road.
        FramePump CyclingPump([this, Driver, Cycling] { return FramePresent(Driver, Cycling); }, Cycling.pTally);
        ASSERT_TRUE(Cycling.pTally->WaitForCount(MonitorTally::Kind::FrameBufferUpdate, 3, kSafetyMilliseconds))
            << "cycle " << Cycle;
        Unplug(Cycling);
        ASSERT_TRUE(Cycling.pTally->IsDeleted()) << "cycle " << Cycle;
        CyclingPump.Stop();
        ASSERT_EQ(CyclingPump.FailuresGet(), 0u) << "cycle " << Cycle;
        FramesCycling += CyclingPump.FramesDeliveredGet();
        ASSERT_FALSE(DriverHasMonitor(Driver, 1)) << "cycle " << Cycle;
        RequestRecordsDrop();
        if (Cycle == kHeapFirstCycle) {
            PumpPause(pPump, Driver, &FramesPumped);
            AtHeapFirstCycle = MachineCounters::Read();
            HeapAtFirstCycle = HeapBytesInUse();
            ViewsAtFirstCycle = m_pHookDriver->ViewCount();
            pPump = PumpStart(Driver, Staying);
        }
    }
    PumpPause(pPump, Driver, &FramesPumped);
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    std::wstring FirstError;
    const size_t Errors = LinesLoggedGet(&FirstError);
    const MachineCounters After = MachineCounters::Read();
    const size_t HeapAfter = HeapBytesInUse();
    const long long HeapGrowth = static_cast<long long>(HeapAfter) - static_cast<long long>(HeapAtFirstCycle);

    std::printf("soak %s: %d cycles in %.2f s, %llu frames on the staying monitor meanwhile, %llu pumped on the "
                "cycling ones\n  before cycle 1:   %s\n  after cycle %d: %s\n  after cycle %d:"
                " %s\n  heap in use after cycle %d: %zu bytes, after cycle %d: %zu bytes (growth %lld)\n",
                pDriverName, kCycles, Seconds, static_cast<unsigned long long>(FramesPumped),
                static_cast<unsigned long long>(FramesCycling), Before.Text().c_str(), kHeapFirstCycle,
                AtHeapFirstCycle.Text().c_str(), kCycles, After.Text().c_str(), kHeapFirstCycle, HeapAtFirstCycle,
                kCycles, HeapAfter, HeapGrowth);
    RecordProperty("cycles", kCycles);
    RecordProperty("handles_before", static_cast<int>(Before.Handles));
    RecordProperty("handles_after", static_cast<int>(After.Handles));
    RecordProperty("heap_growth_bytes", std::to_string(HeapGrowth));

    EXPECT_EQ(AtHeapFirstCycle, Before) << "after cycle " << kHeapFirstCycle << ": " << AtHeapFirstCycle.Text();
    EXPECT_EQ(After, Before) << "after the last cycle: " << After.Text();
    EXPECT_LT(HeapGrowth, kHeapTolerance) << "the heap grew by " << HeapGrowth << " bytes";
    EXPECT_EQ(Errors, 0u) << "failures were logged, the first: " << std::string(FirstError.begin(), FirstError.end());
    EXPECT_GT(FramesPumped, 0u);
    EXPECT_EQ(m_pHookDriver->ViewCount(), ViewsAtFirstCycle) << "views of the hook driver's memory pile up";
    EXPECT_TRUE(FrameDeliver(Driver, Staying)) << "the staying monitor is still served";
    EXPECT_EQ(m_pApi->ListGet().ThreadCountGet(), 1u);
    EXPECT_EQ(m_pHookDriver->FileOpenCount() + m_pIddCxDriver->FileOpenCount(), 1u);
    Unplug(Staying);
}

INSTANTIATE_TEST_SUITE_P(Drivers, SoakTest, ::testing::Values(DriverKind::Hook, DriverKind::Indirect),
                         [](const auto& Info) { return Info.param == DriverKind::Hook ? "Hook" : "Indirect"; });

}  // namespace
