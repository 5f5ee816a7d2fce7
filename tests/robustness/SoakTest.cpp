// A thousand plug and unplug cycles on each driver, with frames flowing on a
// monitor that stays and on the one that cycles. Between cycles the library
// holds exactly what the staying monitor needs (every machine counter equal
// to its value before the first cycle), the heap does not grow from cycle
// 100 to the last, and no cycle logs a failure.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "HeapBytesInUse.h"
#include "RobustnessTest.h"

namespace {

constexpr int kCycles = 1000;
constexpr int kHeapFirstCycle = 100;
// Heap growth allowed between cycle 100 and the last: about 64 bytes a
// cycle, far below the smallest record a leaking cycle would lose (a thread
// object, a description record, a Direct3D texture description).
constexpr long long kHeapTolerance = 64 * (kCycles - kHeapFirstCycle);

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
    // Error lines logged since the last call; the log and the drivers'
    // request records are emptied so that they do not grow.
    size_t ErrorsTake(std::wstring* pFirst) {
        const auto Lines = MachineDebugLines();
        if (!Lines.empty() && pFirst->empty())
            *pFirst = Lines.front();
        MachineDebugClear();
        m_pHookDriver->Requests().Clear();
        m_pIddCxDriver->Requests().Clear();
        return Lines.size();
    }
};

TEST_P(SoakTest, ThousandPlugCyclesBesideAStayingMonitorGiveEverythingBack) {
    const DriverKind Driver = GetParam();
    const char* pDriverName = Driver == DriverKind::Hook ? "hook" : "indirect";
    ASSERT_TRUE(Initialize(Driver));
    PluggedMonitor Staying = PlugAt(0);
    ASSERT_TRUE(Staying.bPlugged);
    ASSERT_TRUE(FirstFrameAwait(Driver, Staying));
    std::wstring FirstError;
    ErrorsTake(&FirstError);  // what Initialize logged (the removal registration without a recipient)
    FirstError.clear();

    const MachineCounters Before = MachineCounters::Read();
    MachineCounters AtHeapFirstCycle;
    size_t HeapAtFirstCycle = 0;
    size_t Errors = 0;
    const auto Start = std::chrono::steady_clock::now();
    for (int Cycle = 1; Cycle <= kCycles; ++Cycle) {
        PluggedMonitor Cycling = PlugChosen();
        ASSERT_TRUE(Cycling.bPlugged) << "cycle " << Cycle;
        ASSERT_EQ(Cycling.Index, 1u) << "cycle " << Cycle;
        ASSERT_TRUE(FirstFrameAwait(Driver, Cycling)) << "cycle " << Cycle;
        ASSERT_TRUE(FrameDeliver(Driver, Cycling)) << "cycle " << Cycle;
        ASSERT_TRUE(FrameDeliver(Driver, Staying)) << "cycle " << Cycle;
        Unplug(Cycling);
        ASSERT_TRUE(Cycling.pTally->IsDeleted()) << "cycle " << Cycle;
        ASSERT_FALSE(DriverHasMonitor(Driver, 1)) << "cycle " << Cycle;
        Errors += ErrorsTake(&FirstError);
        if (Cycle == kHeapFirstCycle) {
            AtHeapFirstCycle = MachineCounters::Read();
            HeapAtFirstCycle = HeapBytesInUse();
        }
    }
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    const MachineCounters After = MachineCounters::Read();
    const size_t HeapAfter = HeapBytesInUse();
    const long long HeapGrowth = static_cast<long long>(HeapAfter) - static_cast<long long>(HeapAtFirstCycle);

    std::printf("soak %s: %d cycles in %.2f s\n  before cycle 1:   %s\n  after cycle %d: %s\n  after cycle %d:"
                " %s\n  heap in use after cycle %d: %zu bytes, after cycle %d: %zu bytes (growth %lld)\n",
                pDriverName, kCycles, Seconds, Before.Text().c_str(), kHeapFirstCycle,
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
    EXPECT_EQ(m_pApi->ListGet().ThreadCountGet(), 1u);
    EXPECT_EQ(m_pHookDriver->FileOpenCount() + m_pIddCxDriver->FileOpenCount(), 1u);
    Unplug(Staying);
}

INSTANTIATE_TEST_SUITE_P(Drivers, SoakTest, ::testing::Values(DriverKind::Hook, DriverKind::Indirect),
                         [](const auto& Info) { return Info.param == DriverKind::Hook ? "Hook" : "Indirect"; });

}  // namespace
