// The indirect display frame-buffer thread end to end on the simulated
// machine, with a recording monitor instance: plug, swap-chain assignment,
// frames with their pixels, pitch and rectangles, no lost changed area under
// a slow instance, unassignment and reassignment, inactivity and heartbeat,
// the exit sequences and their driver requests, an adapter that does not
// exist, missing and invalid wait handles, and instances that throw or fault.
#include <future>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "IddCxRecordingInstance.h"
#include "IndirectPipelineFixture.h"
#include "indirect/ALThreadFrameBufferIddCxApi.h"
#include "library/LogMessages.h"
#include "platform/DebugCapture.h"
#include "platform/seh.h"

using namespace iddcx;

namespace {

constexpr DWORD kSafety = 60000;  // a limit for waits that must end, not a timing
using Kind = MonitorCall::Kind;

class ApiThreadTest : public IndirectPipelineTest {
protected:
    void TearDown() override {
        if (m_pThread != nullptr)
            ThreadStop(true);
        IndirectPipelineTest::TearDown();
    }
    // A thread on slot Index with a recording instance of Width x Height.
    bool ThreadStart(UINT32 Width, UINT32 Height, INT32 Index = 0) {
        m_pRecord = std::make_shared<MonitorRecord>(Width, Height);
        m_pRecord->DescriptionWidth = Width;
        m_pRecord->DescriptionHeight = Height;
        m_pThread = std::make_unique<ALThreadFrameBufferIddCxApi>(&m_DeviceControl);
        auto* pInstance = new RecordingMonitorInstance(m_pRecord);
        if (m_pThread->Start(pInstance, Index))
            return true;
        delete pInstance;
        return false;
    }
    void ThreadStop(bool bUnplug) {
        m_pThread->RequestExit(bUnplug);
        m_pThread->WaitForExit(kSafety);
        if (m_pThread->IsRunning()) {
            ADD_FAILURE() << "the thread did not exit";
            m_pThread.release();  // still running: deleting it would pull the object from under it
            return;
        }
        m_pThread.reset();
    }
    bool VisibilityAwait(size_t Count) { return m_pRecord->AwaitCount(Kind::Visibility, Count, kSafety); }
    // Waits until an update that began after Started was delivered covering Rect.
    bool CoveredAwait(const RECT& Rect, size_t Started) {
        return m_pRecord->Await(
            [&](const std::vector<MonitorCall>& Calls) {
                for (const auto& Call : Calls)
                    if (Call.What == Kind::Update && Call.Sequence >= Started && RectContains(Call.Rectangle, Rect))
                        return true;
                return false;
            },
            kSafety);
    }
    bool PictureIs(const ExpectedFrames& Expected, UINT32 Width, UINT32 Height) const {
        for (UINT32 Y = 0; Y < Height; ++Y)
            for (UINT32 X = 0; X < Width; ++X)
                if (m_pRecord->PictureAt(X, Y) != Expected.At(X, Y))
                    return false;
        return true;
    }
    // Presents a pattern frame and waits until it is delivered.
    RECT FrameDeliver(ExpectedFrames& Expected, INT32 Index = 0) {
        const size_t Started = m_pRecord->UpdatesStarted();
        RECT Changed{};
        EXPECT_TRUE(m_pDriver->FramePresent(Index, &Changed));
        EXPECT_TRUE(RectEqual(Changed, Expected.Next()));
        EXPECT_TRUE(CoveredAwait(Changed, Started));
        return Changed;
    }

    std::shared_ptr<MonitorRecord> m_pRecord;
    std::unique_ptr<ALThreadFrameBufferIddCxApi> m_pThread;
};

TEST_F(ApiThreadTest, FramesArriveWithTheirPixelsPitchAndRectangles) {
    ASSERT_TRUE(ThreadStart(500, 300, 1));
    EXPECT_EQ(m_pThread->MonitorIndexGet(), 1);
    EXPECT_EQ(m_pThread->VideoPresentTargetIdGet(), SimIddCxDriver::TargetIdBase + 1);
    EXPECT_EQ(m_pThread->AdapterLuidGet().LowPart, SimIddCxDriver::Config().AdapterLuid.LowPart);
    ASSERT_TRUE(VisibilityAwait(1));
    EXPECT_TRUE(m_pRecord->CallsOf(Kind::Visibility)[0].bVisible);
    ExpectedFrames Expected(500, 300);
    for (int Frame = 0; Frame < 8; ++Frame) {
        FrameDeliver(Expected, 1);
        ASSERT_TRUE(PictureIs(Expected, 500, 300)) << "frame " << Frame;
    }
    for (const auto& Update : m_pRecord->CallsOf(Kind::Update)) {
        EXPECT_EQ(Update.Pitch, 2048u);  // 500 pixels, rows padded
        EXPECT_EQ(Update.Flags, 2u);
        EXPECT_TRUE(Update.bAuxiliaryNull);
        EXPECT_TRUE(Update.bPointerNull);
        EXPECT_EQ(Update.Info.Width, 500u);
        EXPECT_EQ(Update.Info.Height, 300u);
    }
}

TEST_F(ApiThreadTest, SlowInstanceNeverLosesAChangedArea) {
    constexpr UINT32 Width = 640, Height = 360;
    ASSERT_TRUE(ThreadStart(Width, Height));
    ASSERT_TRUE(VisibilityAwait(1));
    // The instance is slow at random, so frames pile up at the driver and in
    // the queue and their rectangles merge on the way.
    m_pRecord->OnUpdate = [Slow = std::mt19937(7)]() mutable {
        Sleep(Slow() % 4);
        return true;
    };
    std::mt19937 Random(20240611);
    struct Presented {
        RECT Clamped;
        size_t Started;
    };
    std::vector<Presented> Frames;
    for (int i = 0; i < 300; ++i) {
        const LONG Left = LONG(Random() % (Width + 40)) - 20;
        const LONG Top = LONG(Random() % (Height + 40)) - 20;
        const RECT Rect{Left, Top, Left + 1 + LONG(Random() % 200), Top + 1 + LONG(Random() % 120)};
        const RECT Clamped{std::max<LONG>(Rect.left, 0), std::max<LONG>(Rect.top, 0),
                           std::min<LONG>(Rect.right, Width), std::min<LONG>(Rect.bottom, Height)};
        const size_t Started = m_pRecord->UpdatesStarted();
        ASSERT_TRUE(m_pDriver->FramePresentRect(0, Rect));
        if (Clamped.left < Clamped.right && Clamped.top < Clamped.bottom)
            Frames.push_back({Clamped, Started});
        if (Random() % 3 == 0)
            Sleep(Random() % 3);
    }
    ASSERT_FALSE(Frames.empty());
    ASSERT_TRUE(CoveredAwait(Frames.back().Clamped, Frames.back().Started));
    const auto Updates = m_pRecord->CallsOf(Kind::Update);
    for (size_t i = 0; i < Frames.size(); ++i) {
        bool bCovered = false;
        for (const auto& Update : Updates)
            bCovered = bCovered || (Update.Sequence >= Frames[i].Started && RectContains(Update.Rectangle, Frames[i].Clamped));
        EXPECT_TRUE(bCovered) << "presented frame " << i << " lost";
    }
}

TEST_F(ApiThreadTest, LaggingInstanceStillEndsWithTheRightPicture) {
    constexpr UINT32 Width = 400, Height = 240;
    ASSERT_TRUE(ThreadStart(Width, Height));
    ASSERT_TRUE(VisibilityAwait(1));
    m_pRecord->OnUpdate = [] {
        Sleep(3);
        return true;
    };
    ExpectedFrames Expected(Width, Height);
    for (int Frame = 0; Frame < 60; ++Frame) {
        ASSERT_TRUE(m_pDriver->FramePresent(0));
        Expected.Next();
    }
    EXPECT_TRUE(m_pRecord->PictureAwait(Expected.Picture(), kSafety)) << "a changed area was lost";
}

TEST_F(ApiThreadTest, UnassignStopsTheFramesAndReassignOnAnotherAdapterResumesThem) {
    ASSERT_TRUE(ThreadStart(320, 200));
    ASSERT_TRUE(VisibilityAwait(1));
    ExpectedFrames Expected(320, 200);
    FrameDeliver(Expected);
    ASSERT_TRUE(m_pDriver->SwapchainUnassign(0));
    ASSERT_TRUE(VisibilityAwait(2));
    EXPECT_FALSE(m_pRecord->CallsOf(Kind::Visibility)[1].bVisible);
    EXPECT_EQ(MachineD3DObjectsLive(), 0);  // the swap-chain resource thread and its device are gone
    EXPECT_FALSE(m_pDriver->FramePresent(0));
    ASSERT_TRUE(m_pDriver->SwapchainAssign(0, LUID{0x0000ADA0, 0}));
    ASSERT_TRUE(VisibilityAwait(3));
    EXPECT_TRUE(m_pRecord->CallsOf(Kind::Visibility)[2].bVisible);
    FrameDeliver(Expected);
    FrameDeliver(Expected);
    EXPECT_TRUE(PictureIs(Expected, 320, 200));
}

TEST_F(ApiThreadTest, AssignedAndUnassignedInOnePassAreBothHandledInOrder) {
    auto pGate = m_pDriver->Faults().HoldNext(ALIoctlCode::MonitorSwapchainEventsRetrieve);
    ASSERT_TRUE(ThreadStart(320, 200));
    ASSERT_TRUE(pGate->WaitUntilHeld(kSafety));  // the assigned event is pending
    ASSERT_TRUE(m_pDriver->SwapchainUnassign(0));
    pGate->Release();
    ASSERT_TRUE(VisibilityAwait(2));
    const auto Visibility = m_pRecord->CallsOf(Kind::Visibility);
    EXPECT_TRUE(Visibility[0].bVisible);
    EXPECT_FALSE(Visibility[1].bVisible);
    // Two events and the empty answer that ended the pass.
    EXPECT_TRUE(m_pDriver->Requests().WaitForCountOfCode(ALIoctlCode::MonitorSwapchainEventsRetrieve, 3, kSafety));
    EXPECT_EQ(MachineD3DObjectsLive(), 0);
}

class ApiThreadClockTest : public ApiThreadTest {
protected:
    void SetUp() override {
        ApiThreadTest::SetUp();
        MachineClockScaleSet(50.0);  // 10 s of machine time in 0.2 s
    }
};

TEST_F(ApiThreadClockTest, InactivityFollowsTheLastFrameOnceAndHeartbeatFollowsSilence) {
    ASSERT_TRUE(ThreadStart(320, 200));
    ASSERT_TRUE(VisibilityAwait(1));
    ExpectedFrames Expected(320, 200);
    FrameDeliver(Expected);
    FrameDeliver(Expected);
    ASSERT_TRUE(m_pRecord->AwaitCount(Kind::Heartbeat, 1, kSafety));
    // Everything after the last update: one inactivity notice, then the
    // heartbeat of 10 s of silence.
    const auto Calls = m_pRecord->Calls();
    size_t LastUpdate = 0;
    for (size_t i = 0; i < Calls.size(); ++i)
        if (Calls[i].What == Kind::Update)
            LastUpdate = i;
    ASSERT_GE(Calls.size(), LastUpdate + 3);
    EXPECT_EQ(Calls[LastUpdate + 1].What, Kind::Inactivity);
    EXPECT_EQ(Calls[LastUpdate + 1].Inactive, 1);
    EXPECT_EQ(Calls[LastUpdate + 2].What, Kind::Heartbeat);
    EXPECT_GE(Calls[LastUpdate + 1].MachineMilliseconds, Calls[LastUpdate].MachineMilliseconds + 150);
    EXPECT_GE(Calls[LastUpdate + 2].MachineMilliseconds, Calls[LastUpdate + 1].MachineMilliseconds + 10000);
    size_t Inactivity = 0;
    for (size_t i = LastUpdate; i < Calls.size(); ++i)
        Inactivity += Calls[i].What == Kind::Inactivity ? 1 : 0;
    EXPECT_EQ(Inactivity, 1u);
}

TEST_F(ApiThreadTest, ExitWithUnplugStopsTheSwapChainFirstAndUnplugsLast) {
    ASSERT_TRUE(ThreadStart(320, 200));
    ASSERT_TRUE(VisibilityAwait(1));
    ExpectedFrames Expected(320, 200);
    FrameDeliver(Expected);
    ThreadStop(true);
    const auto Calls = m_pRecord->Calls();
    ASSERT_GE(Calls.size(), 2u);
    EXPECT_EQ(Calls[Calls.size() - 2].What, Kind::Stop);
    EXPECT_EQ(Calls[Calls.size() - 2].D3DObjectsLive, 0) << "the swap-chain resource thread ended first";
    EXPECT_EQ(Calls.back().What, Kind::Destroyed);
    const auto Requests = m_pDriver->Requests().List();
    ASSERT_FALSE(Requests.empty());
    EXPECT_EQ(Requests.back().Code, ALIoctlCode::MonitorUnplug);
    EXPECT_FALSE(m_pDriver->MonitorIsPlugged(0));
}

TEST_F(ApiThreadTest, ExitWithoutUnplugLeavesTheMonitorPluggedAndItsHandlesClosed) {
    ASSERT_TRUE(ThreadStart(320, 200));
    ASSERT_TRUE(VisibilityAwait(1));
    ThreadStop(false);
    EXPECT_EQ(m_pRecord->CountOf(Kind::Stop), 1u);
    EXPECT_EQ(m_pRecord->CountOf(Kind::Destroyed), 1u);
    EXPECT_EQ(RequestCount(ALIoctlCode::MonitorUnplug), 0u);
    EXPECT_TRUE(m_pDriver->MonitorIsPlugged(0));
    // The fixture's handle check covers the two driver events the thread held.
}

TEST_F(ApiThreadTest, AlreadyPluggedSlotRunsWithoutASwapChainEventAndExitsAtOnce) {
    LogLevelSet(AL_DEBUG_ERROR | AL_DEBUG_THREAD);
    ASSERT_TRUE(ThreadStart(320, 200));
    ASSERT_TRUE(VisibilityAwait(1));
    ThreadStop(false);  // the monitor stays plugged
    DebugCapture Capture;
    const long Waiters = MachineWaitersBlocked();
    ASSERT_TRUE(ThreadStart(320, 200));  // the driver answers "already exists"
    EXPECT_EQ(m_pThread->VideoPresentTargetIdGet(), 0u);
    ASSERT_TRUE(MachineWaitersBlockedAwait(Waiters + 1, kSafety));  // waiting, not spinning
    ThreadStop(true);
    const auto Lines = Capture.Lines();
    EXPECT_EQ(LogMessageCount(Lines, L"ALThreadFrameBufferIddCxApi::Run wait handle 1 not valid, left out of the wait. "
                                     L"MonitorIndex:0\n"),
              1u);
    for (const auto& Line : Lines)
        EXPECT_EQ(LogMessage(Line).find(L"unexpected result"), std::wstring::npos) << "the wait failed";
    EXPECT_EQ(m_pRecord->CountOf(Kind::Stop), 1u);
    EXPECT_FALSE(m_pDriver->MonitorIsPlugged(0));
}

TEST_F(ApiThreadClockTest, InvalidWaitHandleIsReportedOnceAndTheThreadKeepsListening) {
    LogLevelSet(AL_DEBUG_ERROR | AL_DEBUG_THREAD);
    ASSERT_TRUE(ThreadStart(320, 200));
    ASSERT_TRUE(VisibilityAwait(1));
    // Close the swap-chain event behind the thread's back: its next wait fails.
    const auto Plugs = m_pDriver->Requests().ListOfCode(ALIoctlCode::MonitorPlug);
    ASSERT_EQ(Plugs.size(), 1u);
    const HANDLE hSwapchain =
        reinterpret_cast<HANDLE>(static_cast<uintptr_t>(Plugs[0].OutputReturnedAs<MonitorPlugInfoOut>().hEventSwapchainChanged));
    DebugCapture Capture;
    ASSERT_TRUE(CloseHandle(hSwapchain));
    ASSERT_TRUE(m_pRecord->AwaitCount(Kind::Heartbeat, 2, kSafety));  // it still waits and times out
    ExpectedFrames Expected(320, 200);
    FrameDeliver(Expected);  // and frames still arrive
    ThreadStop(true);
    const auto Lines = Capture.Lines();
    size_t Unexpected = 0;
    for (const auto& Line : Lines)
        Unexpected += LogMessage(Line).find(L"WaitForMultipleObjects unexpected result:-1.") != std::wstring::npos;
    EXPECT_EQ(Unexpected, 1u);
    EXPECT_EQ(LogMessageCount(Lines, L"ALThreadFrameBufferIddCxApi::Run wait handle 1 not valid, left out of the wait. "
                                     L"MonitorIndex:0\n"),
              1u);
}

class ApiThreadManualAssignTest : public ApiThreadTest {
protected:
    SimIddCxDriver::Config DriverConfig() override {
        SimIddCxDriver::Config Settings;
        Settings.bSwapchainAssignOnPlug = false;
        return Settings;
    }
};

TEST_F(ApiThreadManualAssignTest, RenderAdapterOfNoAdapterFailsTheStartButNotTheVisibility) {
    LogLevelSet(AL_DEBUG_ERROR);
    ASSERT_TRUE(ThreadStart(320, 200));
    DebugCapture Capture;
    ASSERT_TRUE(m_pDriver->SwapchainAssign(0, LUID{0xBAD, 0}));
    ASSERT_TRUE(VisibilityAwait(1));
    EXPECT_TRUE(m_pRecord->CallsOf(Kind::Visibility)[0].bVisible);
    const std::vector<std::wstring> Expected = {
        L"DXDevice::Initialize Adapter not found!", L"DXResourceManager::Initialize m_DXDevice.Initialize failed!\n",
        L"ALThreadFrameBufferIddCxSwapChain::Start m_ResourceManager.Initialize failed!\n",
        L"ALThreadFrameBufferIddCxApi::PrivateOnEventSwapchainAssign ThreadDxResource.Start failed!\n"};
    EXPECT_EQ(LogMessages(Capture.Lines()), Expected);
    EXPECT_EQ(MachineD3DObjectsLive(), 0);
    // The subscription stays: a further assignment meets it.
    Capture.Clear();
    ASSERT_TRUE(m_pDriver->SwapchainAssign(0, kRenderLuid));
    ASSERT_TRUE(VisibilityAwait(2));
    const std::vector<std::wstring> Refused = {
        L"ALMonitorIddCx::FrameBufferEventsSubscribe failed! Already mapped\n",
        L"ALThreadFrameBufferIddCxApi::PrivateOnEventSwapchainAssign Monitor.FrameBufferEventsSubscribe failed!\n"};
    EXPECT_EQ(LogMessages(Capture.Lines()), Refused);
    // Until the next unassignment.
    ASSERT_TRUE(m_pDriver->SwapchainUnassign(0));
    ASSERT_TRUE(m_pDriver->SwapchainAssign(0, kRenderLuid));
    ASSERT_TRUE(VisibilityAwait(4));
    ExpectedFrames Frames(320, 200);
    FrameDeliver(Frames);
}

class ApiThreadGuardTest : public ApiThreadClockTest {
protected:
    void FrameAfterTheFault() {
        // The thread goes on after its pause: the next frame arrives.
        ExpectedFrames Expected(320, 200);
        const size_t Started = m_pRecord->UpdatesStarted();
        RECT Changed{};
        ASSERT_TRUE(m_pDriver->FramePresent(0, &Changed));
        EXPECT_TRUE(CoveredAwait(Changed, Started));
    }
};

PLATFORM_FAULTING_FUNCTION bool NullWrite() {
    volatile int* pNowhere = nullptr;
    *pNowhere = 1;
    return true;
}

TEST_F(ApiThreadGuardTest, ThrowingInstanceCostsAReportAndAPause) {
    LogLevelSet(AL_DEBUG_ERROR);
    ASSERT_TRUE(ThreadStart(320, 200));
    ASSERT_TRUE(VisibilityAwait(1));
    bool bThrown = false;
    m_pRecord->OnUpdate = [&bThrown]() -> bool {
        if (!bThrown) {
            bThrown = true;
            throw std::runtime_error("instance failure");
        }
        return true;
    };
    DebugCapture Capture;
    ASSERT_TRUE(m_pDriver->FramePresent(0));
    ASSERT_TRUE(MachineDebugTextWait(L"failed! C++ EXCEPTION", kSafety));
    FrameAfterTheFault();
    EXPECT_EQ(LogMessages(Capture.Lines()),
              std::vector<std::wstring>{L"ALThreadFrameBufferIddCxApi::PrivateOnEventFrameBufferChanged failed! C++ EXCEPTION\n"});
}

TEST_F(ApiThreadGuardTest, FaultingInstanceCostsAReportAndAPause_HardwareFault) {
    LogLevelSet(AL_DEBUG_ERROR);
    ASSERT_TRUE(ThreadStart(320, 200));
    ASSERT_TRUE(VisibilityAwait(1));
    bool bFaulted = false;
    m_pRecord->OnUpdate = [&bFaulted] {
        if (bFaulted)
            return true;
        bFaulted = true;
        return NullWrite();
    };
    DebugCapture Capture;
    ASSERT_TRUE(m_pDriver->FramePresent(0));
    ASSERT_TRUE(MachineDebugTextWait(L"EXCEPTION_ACCESS_VIOLATION", kSafety));
    FrameAfterTheFault();
    const std::vector<std::wstring> Expected = {
        L"ALThreadFrameBufferIddCxApi::PrivateOnEventFrameBufferChanged failed! STRUCTURED EXCEPTION\n",
        L"EXCEPTION_ACCESS_VIOLATION\n"};
    EXPECT_EQ(LogMessages(Capture.Lines()), Expected);
}

TEST_F(ApiThreadTest, TracesOfOneRunInOrder) {
    LogLevelSet(AL_DEBUG_THREAD);
    DebugCapture Capture;
    ASSERT_TRUE(ThreadStart(320, 200, 2));
    ASSERT_TRUE(VisibilityAwait(1));
    ThreadStop(false);
    const std::vector<std::wstring> Expected = {
        L"ALThreadFrameBufferIddCxApi::Start m_MonitorIndex:2\n",
        L"ALThreadFrameBufferIddCxApi::Run m_MonitorIndex:2\n",
        L"ALThreadFrameBufferIddCxApi::Run NIMBO_MONITOR_EVENT MonitorIndex:2\n",
        L"   NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_ASSIGNED\n",
        L"ALThreadFrameBufferIddCxApi::RequestExit m_MonitorIndex:2\n",
        L"ALThreadFrameBufferIddCxApi::Run request exit... MonitorIndex:2\n",
        L"ALThreadFrameBufferIddCxApi::Run exit... MonitorIndex:2\n"};
    EXPECT_EQ(LogMessages(Capture.Lines()), Expected);
}

}  // namespace
