// Frames presented at a chosen rate from the presenter's own thread: paced on
// the machine clock, none without a swap chain, and all of them through the
// library's pipeline to the monitor instance.
#include <atomic>
#include <memory>

#include "IddCxRecordingInstance.h"
#include "IndirectPipelineFixture.h"
#include "indirect/ALThreadFrameBufferIddCxApi.h"
#include "sim/SimFramePresenter.h"

using namespace iddcx;

namespace {

constexpr DWORD kSafety = 60000;  // a limit for waits that must end, not a timing

using SimFramePresenterTest = IndirectPipelineTest;

int64_t TicksNow() {
    LARGE_INTEGER Now;
    QueryPerformanceCounter(&Now);
    return Now.QuadPart;
}

TEST_F(SimFramePresenterTest, PresentsNoFasterThanItsRate) {
    MachineClockScaleSet(20.0);
    UINT32 Fields[9] = {0, 0, 0, 0, 1, 64, 64, 0, 60};
    MonitorPlugInfoOut Out{};
    ASSERT_TRUE(m_DeviceControl.IoctlMonitorPlug(Fields, sizeof(Fields), &Out));
    const int64_t Start = TicksNow();
    {
        SimFramePresenter Presenter(m_pDriver, 0, 100.0);
        ASSERT_TRUE(Presenter.Start());
        EXPECT_FALSE(Presenter.Start());
        ASSERT_TRUE(Presenter.FramesPresentedAwait(21, kSafety));
        // 21 frames at 100 per second span at least 200 ms of machine time.
        LARGE_INTEGER Frequency;
        QueryPerformanceFrequency(&Frequency);
        EXPECT_GE(TicksNow() - Start, Frequency.QuadPart / 5);
        Presenter.Stop();
        const uint64_t Presented = Presenter.FramesPresentedGet();
        EXPECT_GE(Presented, 21u);
        Presenter.Stop();  // harmless twice
        EXPECT_EQ(Presenter.FramesPresentedGet(), Presented);
    }
    EXPECT_GT(m_pDriver->FramePublishTicksGet(0), Start);
    CloseHandle(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(Out.hEventSwapchainChanged)));
}

TEST_F(SimFramePresenterTest, WithoutASwapChainNothingIsPresented) {
    UINT32 Fields[9] = {0, 0, 0, 0, 1, 64, 64, 0, 60};
    MonitorPlugInfoOut Out{};
    ASSERT_TRUE(m_DeviceControl.IoctlMonitorPlug(Fields, sizeof(Fields), &Out));
    ASSERT_TRUE(m_pDriver->SwapchainUnassign(0));
    SimFramePresenter Presenter(m_pDriver, 0, 0);
    const long Waiters = MachineWaitersBlocked();
    ASSERT_TRUE(Presenter.Start());
    EXPECT_TRUE(MachineWaitersBlockedAwait(Waiters + 1, kSafety));  // it waits between attempts
    Presenter.Stop();
    EXPECT_EQ(Presenter.FramesPresentedGet(), 0u);
    EXPECT_EQ(m_pDriver->FramePublishTicksGet(0), 0);
    CloseHandle(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(Out.hEventSwapchainChanged)));
}

TEST_F(SimFramePresenterTest, AStepOfItsOwnCountsOnlyTheFramesTaken) {
    // Any driver: the step decides; refused attempts are retried, not counted.
    std::atomic<int> Attempts{0};
    SimFramePresenter Presenter([&] { return Attempts.fetch_add(1) % 2 == 1; }, 0);
    ASSERT_TRUE(Presenter.Start());
    ASSERT_TRUE(Presenter.FramesPresentedAwait(5, kSafety));
    Presenter.Stop();
    const uint64_t Presented = Presenter.FramesPresentedGet();
    EXPECT_EQ(Presented, static_cast<uint64_t>(Attempts.load() / 2));
}

TEST_F(SimFramePresenterTest, FramesAtARateReachTheMonitorInstance) {
    constexpr UINT32 Width = 256, Height = 160;
    auto pRecord = std::make_shared<MonitorRecord>(Width, Height);
    pRecord->DescriptionWidth = Width;
    pRecord->DescriptionHeight = Height;
    auto pThread = std::make_unique<ALThreadFrameBufferIddCxApi>(&m_DeviceControl);
    ASSERT_TRUE(pThread->Start(new RecordingMonitorInstance(pRecord), 0));
    ASSERT_TRUE(pRecord->AwaitCount(MonitorCall::Kind::Visibility, 1, kSafety));
    {
        SimFramePresenter Presenter(m_pDriver, 0, 120.0);
        ASSERT_TRUE(Presenter.Start());
        ASSERT_TRUE(Presenter.FramesPresentedAwait(30, kSafety));
    }
    // Once the frames in flight are in, the picture is the driver's.
    std::vector<uint32_t> Expected(size_t(Width) * Height);
    for (UINT32 Y = 0; Y < Height; ++Y)
        for (UINT32 X = 0; X < Width; ++X)
            Expected[size_t(Y) * Width + X] = m_pDriver->FramePixelGet(0, X, Y);
    EXPECT_TRUE(pRecord->PictureAwait(Expected, kSafety));
    EXPECT_GE(pRecord->CountOf(MonitorCall::Kind::Update), 1u);
    pThread->RequestExit(true);
    pThread->WaitForExit(kSafety);
    ASSERT_FALSE(pThread->IsRunning());
    pThread.reset();
}

}  // namespace
