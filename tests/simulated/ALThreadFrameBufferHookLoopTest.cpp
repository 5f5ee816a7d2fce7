// The hook frame-buffer thread end to end, its start, loop and end: retries
// and records of the start, a monitor the driver already had, exit requests
// with and without unplugging, exit winning over other events, the
// inactivity timer, the heartbeat, a wait that keeps failing, and the guard
// around the frame and pointer steps.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "HookFrameThreadFixture.h"
#include "driver/ALIoctlCode.h"
#include "platform/seh.h"
#include "sim/SimHookScenario.h"

namespace {

using Kind = RecordedCall::Kind;
using ALThreadFrameBufferHookLoopTest = HookFrameThreadTest;

// --- start ------------------------------------------------------------------------------

TEST_F(ALThreadFrameBufferHookLoopTest, GettersBeforeAndAfterStart) {
    DriverInstall();
    EXPECT_EQ(m_pThread->AdapterIndexGet(), -1);
    EXPECT_EQ(m_pThread->HardwareGet(), nullptr);
    ASSERT_TRUE(Start(2));
    EXPECT_EQ(m_pThread->AdapterIndexGet(), 0);
    EXPECT_EQ(m_pThread->MonitorIndexGet(), 2);
    EXPECT_EQ(m_pThread->VideoPresentTargetIdGet(), 2u + 0x4711u);
    const LUID Luid = m_pThread->AdapterLuidGet();
    EXPECT_EQ(Luid.LowPart, 0u);
    EXPECT_EQ(Luid.HighPart, 0);
    EXPECT_EQ(m_pThread->HardwareGet(), m_pInstance);
    EXPECT_TRUE(m_pDriver->MonitorIsPlugged(0, 2));
    EXPECT_TRUE(LineLogged(L"ALThreadFrameBufferHook::Start m_MonitorIndex:2\n"));
    EXPECT_TRUE(LinesAwait(L"ALThreadFrameBufferHook::Run m_MonitorIndex:2\n", 1));
}

TEST_F(ALThreadFrameBufferHookLoopTest, PlugsOnTheFirstActiveAdapter) {
    m_Settings.AdaptersActive = {false, false, true, true};
    DriverInstall();
    ASSERT_TRUE(Start(1));
    EXPECT_EQ(m_pThread->AdapterIndexGet(), 2);
    EXPECT_TRUE(m_pDriver->MonitorIsPlugged(2, 1));
    EXPECT_EQ(m_pDriver->Requests().CountOfCode(ALIoctlCode::HookDriverAdapterIsActive), 3u);
}

TEST_F(ALThreadFrameBufferHookLoopTest, NoActiveAdapterFailsAfterOneHundredAttempts) {
    m_Settings.AdaptersActive = {false, false};
    DriverInstall();
    MachineClockScaleSet(100);  // 100 attempts 100 ms apart take 0.1 s
    LARGE_INTEGER Before{}, After{};
    QueryPerformanceCounter(&Before);
    EXPECT_FALSE(Start());
    QueryPerformanceCounter(&After);
    EXPECT_EQ(LinesWith(L"ALThreadFrameBufferHook::PrivateInitialize IoctlHookDriverAdapterIsActive failed! No active "
                        L"adapter found\n"),
              100u);
    EXPECT_EQ(LinesWith(L"ALThreadFrameBufferHook::Start PrivateInitialize failed! m_MonitorIndex:0\n"), 100u);
    // Each scan ends at the first index past the last adapter.
    EXPECT_EQ(m_pDriver->Requests().CountOfCode(ALIoctlCode::HookDriverAdapterIsActive), 300u);
    EXPECT_GE(After.QuadPart - Before.QuadPart, 99 * MachineTicksPerSecond() / 10);  // machine time: 99 pauses
    EXPECT_EQ(m_pLog->DescriptionCallCount(), 0);
    EXPECT_EQ(m_pThread->HardwareGet(), m_pInstance);  // still the caller's
    EXPECT_FALSE(m_pLog->IsDeleted());
    EXPECT_EQ(MachineThreadsLive(), 0);
}

TEST_F(ALThreadFrameBufferHookLoopTest, DescriptionRefusedEveryTimeFailsTheStart) {
    DriverInstall();
    m_pInstance->bDescriptionResult = false;
    MachineClockScaleSet(100);
    EXPECT_FALSE(Start());
    EXPECT_EQ(m_pLog->DescriptionCallCount(), 100);
    EXPECT_EQ(LinesWith(L"ALThreadFrameBufferHook::PrivateInitialize m_pHardware->GetMonitorDescription failed!\n"), 100u);
    EXPECT_EQ(m_pDriver->Requests().CountOfCode(ALIoctlCode::MonitorPlug), 0u);
}

TEST_F(ALThreadFrameBufferHookLoopTest, RefusedPlugsAreRetriedAndNoRecordIsLeft) {
    DriverInstall();
    m_pInstance->CountByteEdid = 136;
    m_pDriver->Faults().FailNext(ALIoctlCode::MonitorPlug, ERROR_NOT_SUPPORTED, 3);
    MachineClockScaleSet(100);
    const long BlocksBefore = MachineLocalBlocksLive();
    ASSERT_TRUE(Start());
    EXPECT_EQ(m_pLog->DescriptionCallCount(), 4);
    EXPECT_EQ(MachineLocalBlocksLive(), BlocksBefore);  // description and EDID of all four attempts released
    EXPECT_EQ(LinesWith(L"ALThreadFrameBufferHook::PrivateInitialize FrameBuffer.DesktopAttach failed!\n"), 3u);
    EXPECT_EQ(LinesWith(L"ALThreadFrameBufferHook::Start PrivateInitialize failed! m_MonitorIndex:0\n"), 3u);
    EXPECT_EQ(m_pDriver->Requests().CountOfCode(ALIoctlCode::MonitorEventUnsubscribe), 3u);
    EXPECT_EQ(m_pDriver->Requests().CountOfCode(ALIoctlCode::MonitorEdidSet), 4u);
    EXPECT_EQ(m_pDriver->MonitorEdidGet(0, 0).size(), 128u);
    EXPECT_TRUE(m_pDriver->MonitorIsPlugged(0, 0));
}

TEST_F(ALThreadFrameBufferHookLoopTest, MonitorTheDriverAlreadyHadIsMappedAndItsShapeFetchedAtStart) {
    m_Settings.bVisibilityOnPlug = true;
    DriverInstall();
    ASSERT_TRUE(SimHookScenario::MonitorLeftPlugged(0, 0, kWidth, kHeight));
    ASSERT_TRUE(m_pDriver->PointerShapeSet(0, 0, 24, 12, std::vector<uint8_t>(8, 0x3C)));
    ASSERT_TRUE(Start());
    const RecordedCall First = UpdateAwait(1);
    EXPECT_EQ(First.Rectangle.right, static_cast<LONG>(kWidth));
    EXPECT_TRUE(m_pDriver->MonitorIsMapped(0, 0));
    ASSERT_TRUE(LinesAwait(L"ALThreadFrameBufferHook::Run POINTER SHAPE m_MonitorIndex:0\n", 1));
    ASSERT_TRUE(m_pDriver->PointerPositionSet(0, 0, 0, 0, true));
    const RecordedCall Pointer = UpdateAwait(2);
    EXPECT_EQ(Pointer.ShapeWidth, 24u);
    EXPECT_EQ(Pointer.ShapeFirstByte, 0x3C);
    EXPECT_EQ(Pointer.Rectangle.right, 24);
    EXPECT_EQ(Pointer.Rectangle.bottom, 12);
    // Mapped without a visibility event: none was reported.
    EXPECT_EQ(m_pLog->CountOf(Kind::Visibility), 0u);
}

// --- end -------------------------------------------------------------------------------

class ALThreadFrameBufferHookExitTest : public HookFrameThreadTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ALThreadFrameBufferHookExitTest, ExitStopsAndDeletesTheInstanceAndUnplugsOnlyWhenAsked) {
    const bool bUnplug = GetParam();
    StartMapped();
    Stop(bUnplug);
    const auto Calls = m_pLog->Calls();
    ASSERT_FALSE(Calls.empty());
    EXPECT_EQ(Calls.back().Type, Kind::MonitorStop);
    EXPECT_TRUE(m_pLog->IsDeleted());
    EXPECT_EQ(m_pThread->HardwareGet(), nullptr);
    EXPECT_FALSE(m_pThread->IsRunning());
    EXPECT_FALSE(m_pDriver->MonitorIsMapped(0, 0));
    EXPECT_EQ(m_pDriver->MonitorIsPlugged(0, 0), !bUnplug);
    EXPECT_EQ(m_pDriver->MonitorIsSubscribed(0, 0), !bUnplug);
    EXPECT_EQ(m_pThread->AdapterIndexGet(), 0);  // kept for a later unplug
    EXPECT_EQ(m_pThread->MonitorIndexGet(), 0);
    EXPECT_TRUE(LineLogged(L"ALThreadFrameBufferHook::RequestExit m_MonitorIndex:0\n"));
    EXPECT_TRUE(LineLogged(L"ALThreadFrameBufferHook::Run request exit... m_MonitorIndex:0\n"));
    EXPECT_TRUE(LineLogged(L"ALThreadFrameBufferHook::Run exit... MonitorIndex:0\n"));
    EXPECT_EQ(LinesWith(L"Already unmapped"), 0u);  // the unmap at the end is quiet
}

INSTANTIATE_TEST_SUITE_P(Unplug, ALThreadFrameBufferHookExitTest, ::testing::Bool());

TEST_F(ALThreadFrameBufferHookLoopTest, ExitWinsOverEveryOtherSetEvent) {
    DriverInstall();
    m_pInstance->FrameBufferUpdateAction = [this, Count = 0](const RecordedCall&) mutable {
        if (++Count != 2)  // inside the update of the presented frame
            return true;
        // Everything at once, the exit request last.
        EXPECT_TRUE(m_pDriver->MonitorVisibilitySet(0, 0, false));
        EXPECT_TRUE(m_pDriver->FrameUpdateAnnounce(0, 0, RECT{1, 1, 2, 2}, 0));
        EXPECT_TRUE(m_pDriver->PointerShapeSet(0, 0, 4, 4, {}));  // a shape without image bytes
        EXPECT_TRUE(m_pDriver->PointerPositionSet(0, 0, 3, 3, true));
        m_pThread->RequestExit(true);
        return true;
    };
    ASSERT_TRUE(Start());
    UpdateAwait(1);
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0));
    ASSERT_TRUE(m_pLog->WaitForDeleted());
    m_pThread->WaitForExit(INFINITE);
    const auto Calls = m_pLog->Calls();
    EXPECT_EQ(Updates().size(), 2u);
    EXPECT_EQ(m_pLog->CountOf(Kind::Visibility), 1u);  // only the TRUE of the start
    EXPECT_EQ(Calls.back().Type, Kind::MonitorStop);
    EXPECT_EQ(LinesWith(L"POINTER"), 0u);
    EXPECT_FALSE(m_pDriver->MonitorIsPlugged(0, 0));
}

// --- timer and heartbeat -----------------------------------------------------------------

TEST_F(ALThreadFrameBufferHookLoopTest, InactivityComesOnce150msAfterTheLastFrameUpdate) {
    DriverInstall();
    MachineClockScaleSet(0.01);  // 150 ms take 15 s: the second update surely comes first
    ASSERT_TRUE(Start());
    UpdateAwait(1);
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0));
    const RecordedCall Second = UpdateAwait(2);
    MachineClockScaleSet(10);
    ASSERT_TRUE(m_pLog->WaitForCount(Kind::Inactivity, 1));
    Stop(true);
    const auto Inactivity = m_pLog->CallsOf(Kind::Inactivity);
    ASSERT_EQ(Inactivity.size(), 1u);
    EXPECT_EQ(Inactivity[0].Inactive, 1);
    EXPECT_GE(Inactivity[0].MachineTime - Second.MachineTime, 150 * MachineTicksPerSecond() / 1000);
}

TEST_F(ALThreadFrameBufferHookLoopTest, HeartbeatAfterEveryQuietTenSeconds) {
    m_Settings.bVisibilityOnPlug = false;  // nothing at all happens
    DriverInstall();
    MachineClockScaleSet(1000);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(m_pLog->WaitForCount(Kind::Heartbeat, 2));
    Stop(true);
    const auto Heartbeats = m_pLog->CallsOf(Kind::Heartbeat);
    ASSERT_GE(Heartbeats.size(), 2u);
    EXPECT_GE(Heartbeats[1].MachineTime - Heartbeats[0].MachineTime, 10 * MachineTicksPerSecond());
    EXPECT_GE(LinesWith(L"ALThreadFrameBufferHook::Run WAIT_TIMEOUT m_MonitorIndex:0\n"), 2u);
    EXPECT_EQ(m_pLog->CountOf(Kind::Inactivity), 0u);  // no frame update, no timer
    EXPECT_EQ(Updates().size(), 0u);                   // never visible, never mapped
}

// --- a wait that keeps failing --------------------------------------------------------------

TEST_F(ALThreadFrameBufferHookLoopTest, FailingWaitPausesAndStillEndsAtOnceOnExit) {
    DriverInstall();
    m_pThread->TimerHandleDrop();
    // The pause would last about three hours of real time: only the exit
    // request can end it.
    MachineClockScaleSet(0.0001);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(LinesAwait(L"ALThreadFrameBufferHook::Run WaitForMultipleObjects unexpected result\n", 1));
    ASSERT_TRUE(MachineWaitersBlockedAwait(1, 20000));  // pausing, not spinning
    EXPECT_EQ(LinesWith(L"WaitForMultipleObjects unexpected result"), 1u);
    Stop(true);
    EXPECT_EQ(LinesWith(L"WaitForMultipleObjects unexpected result"), 1u);
    EXPECT_TRUE(m_pLog->IsDeleted());
    EXPECT_FALSE(m_pDriver->MonitorIsPlugged(0, 0));
}

TEST_F(ALThreadFrameBufferHookLoopTest, FailingWaitWithoutExitEventEndsAfterThePause) {
    DriverInstall();
    m_pThread->TimerHandleDrop();
    m_pThread->ExitEventHandleDrop();
    MachineClockScaleSet(100);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(LinesAwait(L"WaitForMultipleObjects unexpected result", 1));
    Stop(true);
    // One pause of 1 s (10 ms of real time) per failed wait, not a spin.
    EXPECT_LT(LinesWith(L"WaitForMultipleObjects unexpected result"), 1000u);
    EXPECT_TRUE(m_pLog->IsDeleted());
}

// --- the guard --------------------------------------------------------------------------------

volatile int* volatile g_pNull = nullptr;
volatile int g_Sink = 0;
PLATFORM_FAULTING_FUNCTION void NullRead() { g_Sink = *g_pNull; }

enum class Trouble { Throw, Fault };

struct GuardCase {
    const char* pName;
    Trouble What;
    bool bPointerStep;  // the trouble comes in an emulated pointer update
    uint32_t FrameFlags;
};

class ALThreadFrameBufferHookGuardTest : public HookFrameThreadTest, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(ALThreadFrameBufferHookGuardTest, TroubleCostsAReportAndThePauseNeverTheThread) {
    const GuardCase& Case = GetParam();
    DriverInstall();
    m_pInstance->FrameBufferUpdateAction = [&Case, Count = 0](const RecordedCall&) mutable {
        if (++Count != 2)  // the update after the whole frame of the mapping
            return true;
        if (Case.What == Trouble::Throw)
            throw std::runtime_error("instance trouble");
        NullRead();
        return true;
    };
    MachineClockScaleSet(10);
    ASSERT_TRUE(Start());
    UpdateAwait(1);
    if (Case.bPointerStep) {
        ASSERT_TRUE(m_pDriver->PointerPositionSet(0, 0, 5, 5, true));
    } else {
        ASSERT_TRUE(m_pDriver->FramePresent(0, 0, Case.FrameFlags));
    }
    const RecordedCall Troubled = UpdateAwait(2);
    // The next event is still handled, after the pause.
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0));
    const RecordedCall Next = UpdateAwait(3);
    Stop(true);
    EXPECT_GE(Next.MachineTime - Troubled.MachineTime, 750 * MachineTicksPerSecond() / 1000);
    const std::wstring Name = Case.bPointerStep ? L"ALThreadFrameBufferHook::PrivateOnEventPointerPositionChanged"
                                                : L"ALThreadFrameBufferHook::PrivateOnEventFrameBufferChanged";
    if (Case.What == Trouble::Throw) {
        EXPECT_TRUE(LineLogged(Name + L" failed! C++ EXCEPTION\n"));
        EXPECT_EQ(LinesWith(L"EXCEPTION_"), 0u);
    } else {
        EXPECT_TRUE(LineLogged(Name + L" failed! STRUCTURED EXCEPTION\n"));
        EXPECT_TRUE(LineLogged(L"EXCEPTION_ACCESS_VIOLATION\n"));
    }
    // A zero-copy buffer fetched before the trouble went back to the driver.
    EXPECT_EQ(m_pDriver->ZeroCopyMappingCount(0, 0), 0u);
    EXPECT_EQ(m_pDriver->Requests().CountOfCode(ALIoctlCode::MonitorFrameBufferZeroCopyUnmap),
              Case.FrameFlags != 0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, ALThreadFrameBufferHookGuardTest,
                         ::testing::Values(GuardCase{"FrameThrow", Trouble::Throw, false, 0},
                                           GuardCase{"FrameThrowZeroCopy", Trouble::Throw, false, 2},
                                           GuardCase{"PointerThrow", Trouble::Throw, true, 0},
                                           GuardCase{"FrameHardwareFault", Trouble::Fault, false, 0},
                                           GuardCase{"FrameHardwareFaultZeroCopy", Trouble::Fault, false, 4},
                                           GuardCase{"PointerHardwareFault", Trouble::Fault, true, 0}),
                         [](const auto& Info) { return std::string(Info.param.pName); });

}  // namespace
