// The swap-chain resource thread against the simulated indirect display
// driver, driven by hand in the frame-buffer thread's place: the rotation of
// the three entries, what Extract delivers when the consumer lags, stops at
// every point of the loop and every failing step.
#include <future>
#include <string>
#include <vector>

#include "IddCxRecordingInstance.h"
#include "IndirectPipelineFixture.h"
#include "indirect/ALThreadFrameBufferIddCxSwapChain.h"
#include "library/LogMessages.h"
#include "platform/DebugCapture.h"

using namespace iddcx;

namespace {

constexpr UINT32 kWidth = 320;
constexpr UINT32 kHeight = 200;
constexpr DWORD kSafety = 60000;  // a limit for waits that must end, not a timing

class SwapChainTest : public IndirectPipelineTest {
protected:
    void SetUp() override {
        IndirectPipelineTest::SetUp();
        UINT32 Fields[9] = {0, 0, 0, 0, 1, kWidth, kHeight, 0, 60};
        UINT32 TargetId = 0;
        LUID AdapterLuid{};
        ASSERT_TRUE(m_Monitor.Plug(m_DeviceControl, 0, sizeof(Fields), Fields, &TargetId, &AdapterLuid));
        ASSERT_TRUE(m_Monitor.FrameBufferEventsSubscribe(m_DeviceControl, &m_Info));
        m_pInstance = std::make_unique<RecordingMonitorInstance>(m_pRecord);
        m_pThreadDxResource = std::make_unique<ALThreadFrameBufferIddCxSwapChain>(&m_Monitor, &m_DeviceControl);
    }
    void TearDown() override {
        if (m_pThreadDxResource != nullptr)
            m_pThreadDxResource->Stop();
        m_pThreadDxResource.reset();
        m_Monitor.FrameBufferEventsUnsubscribe();
        m_Monitor.EventSwapchainChangedClose();
        m_pInstance.reset();
        IndirectPipelineTest::TearDown();
    }
    FrameBufferInfo Info() const { return m_Info.FrameBufferInfo; }
    bool StartAndAwaitItsWait() {
        const long Waiters = MachineWaitersBlocked();
        return m_pThreadDxResource->Start(kRenderLuid, kWidth, kHeight) && MachineWaitersBlockedAwait(Waiters + 1, kSafety);
    }
    // Presents the next pattern frame and waits until the thread queued it.
    RECT Present() {
        RECT Changed{};
        EXPECT_TRUE(m_pDriver->FramePresent(0, &Changed));
        QueuedAwait();
        return Changed;
    }
    void PresentRect(const RECT& Rect) {
        EXPECT_TRUE(m_pDriver->FramePresentRect(0, Rect));
        QueuedAwait();
    }
    void QueuedAwait() {
        EXPECT_EQ(WaitForSingleObject(m_Monitor.EventFramebufferChangedGet(), kSafety), WAIT_OBJECT_0);
        ResetEvent(m_Monitor.EventFramebufferChangedGet());
    }
    bool PictureIs(const std::vector<uint8_t>& Expected) const {
        for (UINT32 Y = 0; Y < kHeight; ++Y)
            for (UINT32 X = 0; X < kWidth; ++X)
                if (m_pRecord->PictureAt(X, Y) != ExpectedFrames::At(Expected, kWidth, X, Y))
                    return false;
        return true;
    }

    ALMonitorIddCx m_Monitor;
    MonitorFrameBufferEventsInfo m_Info{};
    // Destroyed before the fixture's handle check: it keeps its thread's
    // handle until then.
    std::unique_ptr<ALThreadFrameBufferIddCxSwapChain> m_pThreadDxResource;
    std::shared_ptr<MonitorRecord> m_pRecord = std::make_shared<MonitorRecord>(kWidth, kHeight);
    std::unique_ptr<RecordingMonitorInstance> m_pInstance;
    ExpectedFrames m_Expected{kWidth, kHeight};
};

TEST_F(SwapChainTest, EachFrameIsDeliveredWithItsPixelsPitchAndRectangle) {
    ASSERT_TRUE(StartAndAwaitItsWait());
    EXPECT_EQ(MachineAvrtJoinsLive(), m_JoinsBefore + 1);  // in the "Distribution" task
    for (int Frame = 0; Frame < 6; ++Frame) {
        const RECT Changed = Present();
        EXPECT_TRUE(RectEqual(Changed, m_Expected.Next()));
        ASSERT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
        const auto Updates = m_pRecord->CallsOf(MonitorCall::Kind::Update);
        ASSERT_EQ(Updates.size(), size_t(Frame + 1));
        const MonitorCall& Update = Updates.back();
        EXPECT_TRUE(RectEqual(Update.Rectangle, Changed)) << Frame;
        EXPECT_EQ(Update.Pitch, 1280u);
        EXPECT_EQ(Update.Flags, 2u);
        EXPECT_TRUE(Update.bAuxiliaryNull);
        EXPECT_TRUE(Update.bPointerNull);
        EXPECT_EQ(Update.Info.Width, kWidth);
        EXPECT_EQ(Update.Info.Height, kHeight);
        EXPECT_EQ(Update.Info.Value2, m_Info.FrameBufferInfo.Value2);
        EXPECT_EQ(Update.Info.Value3, m_Info.FrameBufferInfo.Value3);
        EXPECT_TRUE(PictureIs(m_Expected.Snapshot())) << "frame " << Frame;
    }
    // The consumer kept up: every frame went into an entry other than the
    // one being read and the one just queued, so the three rotate.
    const auto Updates = m_pRecord->CallsOf(MonitorCall::Kind::Update);
    for (size_t i = 1; i < Updates.size(); ++i)
        EXPECT_NE(Updates[i].pFrameBuffer, Updates[i - 1].pFrameBuffer);
}

TEST_F(SwapChainTest, LaggingConsumerGetsTheNewestFrameWithTheDroppedRectangleMerged) {
    LogLevelSet(AL_DEBUG_ERROR);
    ASSERT_TRUE(StartAndAwaitItsWait());
    Present();  // X
    m_Expected.Next();
    ASSERT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    const RECT Y = Present();
    m_Expected.Next();
    const RECT Z = Present();
    m_Expected.Next();
    ASSERT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    const auto Updates = m_pRecord->CallsOf(MonitorCall::Kind::Update);
    ASSERT_EQ(Updates.size(), 2u);
    const RECT Merged{std::min(Y.left, Z.left), std::min(Y.top, Z.top), std::max(Y.right, Z.right),
                      std::max(Y.bottom, Z.bottom)};
    EXPECT_TRUE(RectEqual(Updates[1].Rectangle, Merged));
    EXPECT_TRUE(PictureIs(m_Expected.Snapshot()));  // Z's pixels
    // Nothing is queued behind Z.
    DebugCapture Capture;
    EXPECT_FALSE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    EXPECT_EQ(LogMessageCount(Capture.Lines(), L"ALThreadFrameBufferIddCxSwapChain::Extract m_ScreenUpdateQueue.Peek failed!\n"),
              1u);
}

TEST_F(SwapChainTest, ThreeFramesBeforeTheFirstExtractDeliverTheFirstThenTheThird) {
    ASSERT_TRUE(StartAndAwaitItsWait());
    const RECT First = Present();
    m_Expected.Next();
    const auto FirstPicture = m_Expected.Snapshot();
    const RECT Second = Present();
    m_Expected.Next();
    const RECT Third = Present();
    m_Expected.Next();
    ASSERT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    // The first frame's pixels: its entry was never filled again while queued.
    EXPECT_TRUE(PictureIs(FirstPicture));
    ASSERT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    const auto Updates = m_pRecord->CallsOf(MonitorCall::Kind::Update);
    ASSERT_EQ(Updates.size(), 2u);
    EXPECT_TRUE(RectEqual(Updates[0].Rectangle, First));
    EXPECT_TRUE(RectContains(Updates[1].Rectangle, Second));
    EXPECT_TRUE(RectContains(Updates[1].Rectangle, Third));
    EXPECT_TRUE(PictureIs(m_Expected.Snapshot()));
}

TEST_F(SwapChainTest, EmptyQueueFailsAndTheNextExtractPopsNothing) {
    LogLevelSet(AL_DEBUG_ERROR);
    ASSERT_TRUE(StartAndAwaitItsWait());
    Present();
    ASSERT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    for (int Attempt = 0; Attempt < 2; ++Attempt) {
        DebugCapture Capture;
        EXPECT_FALSE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
        const std::vector<std::wstring> Expected = {
            L"ALIScreenUpdateQueue::Peek failed! Internal buffer error (this should never happen)\n",
            L"ALThreadFrameBufferIddCxSwapChain::Extract m_ScreenUpdateQueue.Peek failed!\n"};
        EXPECT_EQ(LogMessages(Capture.Lines()), Expected);
    }
    // A new frame is delivered again.
    Present();
    EXPECT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    EXPECT_EQ(m_pRecord->CountOf(MonitorCall::Kind::Update), 2u);
}

TEST_F(SwapChainTest, AllZeroRectangleIsQueuedButNotDelivered) {
    ASSERT_TRUE(StartAndAwaitItsWait());
    Present();
    ASSERT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    PresentRect(RECT{0, 0, 0, 0});
    EXPECT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    EXPECT_EQ(m_pRecord->CountOf(MonitorCall::Kind::Update), 1u);
}

TEST_F(SwapChainTest, FailingInstanceMakesExtractFail) {
    LogLevelSet(AL_DEBUG_ERROR);
    ASSERT_TRUE(StartAndAwaitItsWait());
    m_pRecord->OnUpdate = [] { return false; };
    Present();
    DebugCapture Capture;
    EXPECT_FALSE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    EXPECT_EQ(LogMessages(Capture.Lines()),
              std::vector<std::wstring>{L"ALThreadFrameBufferIddCxSwapChain::Extract pHardware->FrameBufferUpdate failed!\n"});
}

TEST_F(SwapChainTest, FailingMapDropsTheFrameAndTheNextOneArrives) {
    LogLevelSet(AL_DEBUG_ERROR);
    ASSERT_TRUE(StartAndAwaitItsWait());
    Present();
    MachineD3DFailNext(MachineD3DCall::Map, E_OUTOFMEMORY);
    DebugCapture Capture;
    EXPECT_FALSE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    const std::vector<std::wstring> Expected = {L"DXResourceManager::ResourceMap Map failed! 0x8007000e\n",
                                                L"ALThreadFrameBufferIddCxSwapChain::Extract PrivateMap failed!\n"};
    EXPECT_EQ(LogMessages(Capture.Lines()), Expected);
    Present();
    EXPECT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    EXPECT_EQ(m_pRecord->CountOf(MonitorCall::Kind::Update), 1u);
}

TEST_F(SwapChainTest, StopWhileWaitingReleasesEverythingBeforeItReturns) {
    LogLevelSet(AL_DEBUG_SWAPCHAIN);
    ASSERT_TRUE(StartAndAwaitItsWait());
    EXPECT_EQ(MachineD3DObjectsLiveOfKind("Texture2D"), 3);
    DebugCapture Capture;
    m_pThreadDxResource->Stop();
    EXPECT_EQ(MachineD3DObjectsLive(), 0);
    EXPECT_EQ(MachineAvrtJoinsLive(), m_JoinsBefore);
    EXPECT_EQ(LogMessages(Capture.Lines()),
              std::vector<std::wstring>{L"ALThreadFrameBufferIddCxSwapChain::Run request exit...(2)\n"});
    // It starts again, with the queue as it was.
    ASSERT_TRUE(StartAndAwaitItsWait());
    Present();
    EXPECT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
}

TEST_F(SwapChainTest, RestartFillsNoEntryTheQueueStillHolds) {
    ASSERT_TRUE(StartAndAwaitItsWait());
    Present();  // queued in entry 0, never extracted
    m_pThreadDxResource->Stop();
    ASSERT_TRUE(StartAndAwaitItsWait());
    m_Expected.Next();
    const RECT Second = Present();
    m_Expected.Next();
    // The released first entry (all-zero rectangle) comes first and shows
    // nothing; then the new frame, once, from an entry of its own.
    EXPECT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    EXPECT_EQ(m_pRecord->CountOf(MonitorCall::Kind::Update), 0u);
    EXPECT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    const auto Updates = m_pRecord->CallsOf(MonitorCall::Kind::Update);
    ASSERT_EQ(Updates.size(), 1u);
    EXPECT_TRUE(RectEqual(Updates[0].Rectangle, Second));
    EXPECT_FALSE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));  // nothing else queued
    EXPECT_EQ(m_pRecord->CountOf(MonitorCall::Kind::Update), 1u);
}

TEST_F(SwapChainTest, ExtractProceedsWhileTheProducerIsInsideADriverRequest) {
    ASSERT_TRUE(StartAndAwaitItsWait());
    Present();
    m_Expected.Next();
    // The producer's next acquisition stays inside the driver; the queue's
    // lock must not be held meanwhile.
    auto pGate = m_pDriver->Faults().HoldNext(ALIoctlCode::MonitorFrameBufferDirectXAcquire);
    ASSERT_TRUE(m_pDriver->FramePresent(0));
    ASSERT_TRUE(pGate->WaitUntilHeld(kSafety));
    std::future<bool> Extracting =
        std::async(std::launch::async, [&] { return m_pThreadDxResource->Extract(Info(), m_pInstance.get()); });
    ASSERT_EQ(Extracting.wait_for(std::chrono::milliseconds(kSafety)), std::future_status::ready);
    EXPECT_TRUE(Extracting.get());
    EXPECT_TRUE(PictureIs(m_Expected.Snapshot()));
    pGate->Release();
    QueuedAwait();
    m_Expected.Next();
    EXPECT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
    EXPECT_TRUE(PictureIs(m_Expected.Snapshot()));
}

TEST_F(SwapChainTest, StopBetweenAcquisitionAndCopyClosesTheFrameUncopied) {
    LogLevelSet(AL_DEBUG_SWAPCHAIN | AL_DEBUG_ERROR);
    ASSERT_TRUE(StartAndAwaitItsWait());
    auto pGate = m_pDriver->Faults().HoldNext(ALIoctlCode::MonitorFrameBufferDirectXAcquire);
    const auto CopiesBefore = MachineD3DGpuCopiesCompleted();
    ASSERT_TRUE(m_pDriver->FramePresent(0));
    ASSERT_TRUE(pGate->WaitUntilHeld(kSafety));
    DebugCapture Capture;
    const long Waiters = MachineWaitersBlocked();
    std::future<void> Stopping = std::async(std::launch::async, [&] { m_pThreadDxResource->Stop(); });
    ASSERT_TRUE(MachineWaitersBlockedAwait(Waiters + 1, kSafety));  // Stop waits for the thread
    pGate->Release();
    Stopping.get();
    const std::vector<std::wstring> Expected = {L"ALThreadFrameBufferIddCxSwapChain::Run FRAMEBUFFER ACQUIRE\n",
                                                L"ALThreadFrameBufferIddCxSwapChain::Run request exit...(1)\n"};
    EXPECT_EQ(LogMessages(Capture.Lines()), Expected);
    EXPECT_EQ(m_pDriver->TexturesInUseCount(), 0u);  // the acquired handle is closed
    EXPECT_EQ(MachineD3DGpuCopiesCompleted(), CopiesBefore);  // never copied
    EXPECT_EQ(WaitForSingleObject(m_Monitor.EventFramebufferChangedGet(), 0), WAIT_TIMEOUT);  // nothing queued
}

TEST_F(SwapChainTest, FailingOpenEndsTheThreadAndStillClosesTheFrame) {
    LogLevelSet(AL_DEBUG_ERROR);
    ASSERT_TRUE(StartAndAwaitItsWait());
    MachineD3DFailNext(MachineD3DCall::SharedResourceOpen, E_INVALIDARG);
    DebugCapture Capture;
    ASSERT_TRUE(m_pDriver->FramePresent(0));
    ASSERT_TRUE(MachineDebugTextWait(L"ALThreadFrameBufferIddCxSwapChain::Run PrivateResourceCopy failed!\n", kSafety));
    const std::vector<std::wstring> Expected = {
        L"DXResourceManager::CopyFromSharedResource OpenSharedResource1 failed! 0x80070057\n",
        L"ALThreadFrameBufferIddCxSwapChain::PrivateResourceCopy m_ResourceManager.CopyFromSharedResource failed! "
        L"0x80070057\n",
        L"ALThreadFrameBufferIddCxSwapChain::Run PrivateResourceCopy failed!\n"};
    EXPECT_EQ(LogMessages(Capture.Lines()), Expected);
    EXPECT_EQ(m_pDriver->TexturesInUseCount(), 0u);
    // The ended thread left its resources to Stop, on the consumer's side.
    m_pThreadDxResource->Stop();
    EXPECT_EQ(MachineD3DObjectsLive(), 0);
}

TEST_F(SwapChainTest, FaultInTheCopyIsReportedWithoutPauseAndEndsTheThread_HardwareFault) {
    LogLevelSet(AL_DEBUG_ERROR);
    ASSERT_TRUE(StartAndAwaitItsWait());
    MachineD3DFailNext(MachineD3DCall::SharedResourceOpen, MachineD3DAccessViolation);
    DebugCapture Capture;
    ASSERT_TRUE(m_pDriver->FramePresent(0));
    ASSERT_TRUE(MachineDebugTextWait(L"ALThreadFrameBufferIddCxSwapChain::Run PrivateResourceCopy failed!\n", kSafety));
    const std::vector<std::wstring> Expected = {
        L"ALThreadFrameBufferIddCxSwapChain::PrivateResourceCopy failed! STRUCTURED EXCEPTION\n",
        L"EXCEPTION_ACCESS_VIOLATION\n", L"ALThreadFrameBufferIddCxSwapChain::Run PrivateResourceCopy failed!\n"};
    EXPECT_EQ(LogMessages(Capture.Lines()), Expected);
    EXPECT_EQ(m_pDriver->TexturesInUseCount(), 0u) << "the frame's handle is closed after the fault too";
    m_pThreadDxResource->Stop();
}

TEST_F(SwapChainTest, StartOnALuidOfNoAdapterLeavesNothingBehind) {
    LogLevelSet(AL_DEBUG_ERROR);
    DebugCapture Capture;
    EXPECT_FALSE(m_pThreadDxResource->Start(LUID{0xBAD, 0}, kWidth, kHeight));
    const std::vector<std::wstring> Expected = {L"DXDevice::Initialize Adapter not found!",
                                                L"DXResourceManager::Initialize m_DXDevice.Initialize failed!\n",
                                                L"ALThreadFrameBufferIddCxSwapChain::Start m_ResourceManager.Initialize failed!\n"};
    EXPECT_EQ(LogMessages(Capture.Lines()), Expected);
    EXPECT_FALSE(m_pThreadDxResource->IsRunning());
    EXPECT_EQ(MachineD3DObjectsLive(), 0);
}

class TextureCreateFaultTest : public SwapChainTest, public ::testing::WithParamInterface<int> {};

TEST_P(TextureCreateFaultTest, FailingTextureReleasesTheOthersAndTheDevice) {
    LogLevelSet(AL_DEBUG_ERROR);
    const int Entry = GetParam();
    MachineD3DFailNext(MachineD3DCall::TextureCreate, E_OUTOFMEMORY, static_cast<unsigned>(Entry));
    DebugCapture Capture;
    EXPECT_FALSE(m_pThreadDxResource->Start(kRenderLuid, kWidth, kHeight));
    const std::wstring Text = L"ALThreadFrameBufferIddCxSwapChain::Start m_ResourceManager.CreateResourceInSystemMemory (" +
                              std::to_wstring(Entry + 1) + L") failed!\n";
    const auto Messages = LogMessages(Capture.Lines());
    ASSERT_EQ(Messages.size(), 2u);
    EXPECT_EQ(Messages[0], L"DXResourceManager::CreateResourceInSystemMemory CreateTexture2D failed! 0x8007000e\n");
    EXPECT_EQ(Messages[1], Text);
    EXPECT_EQ(MachineD3DObjectsLive(), 0);
}

INSTANTIATE_TEST_SUITE_P(Entries, TextureCreateFaultTest, ::testing::Values(0, 1, 2));

TEST_F(SwapChainTest, RefusedSchedulerFallsBackToPriority) {
    LogLevelSet(AL_DEBUG_ERROR);
    MachineAvrtRefusedSet(true);
    DebugCapture Capture;
    ASSERT_TRUE(StartAndAwaitItsWait());
    EXPECT_EQ(LogMessages(Capture.Lines()),
              std::vector<std::wstring>{L"DXSwapchain::DeviceSet AvSetMmThreadCharacteristics failed!\n"});
    Present();
    EXPECT_TRUE(m_pThreadDxResource->Extract(Info(), m_pInstance.get()));
}

}  // namespace
