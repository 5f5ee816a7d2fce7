// The indirect display monitor object against the simulated driver: plug
// results, the already-exists answer, subscriptions and acquisitions.
#include <string>
#include <vector>

#include "IndirectPipelineFixture.h"
#include "indirect/ALMonitorIddCx.h"
#include "library/DebugLevelScope.h"
#include "library/LogMessages.h"
#include "platform/DebugCapture.h"

namespace {

class ALMonitorIddCxMachineTest : public IndirectPipelineTest {
protected:
    void TearDown() override {
        for (ALMonitorIddCx* pMonitor : {&m_Monitor, &m_Second}) {
            pMonitor->FrameBufferEventsUnsubscribe();
            pMonitor->EventSwapchainChangedClose();
        }
        IndirectPipelineTest::TearDown();
    }
    bool Plug(ALMonitorIddCx& Monitor, INT32 Index, UINT32* pTargetId = nullptr, LUID* pLuid = nullptr) {
        UINT32 Fields[9] = {0, 0xFFFF, 0, 0, 1, 640, 480, 0, 60};
        UINT32 TargetId = 0;
        LUID Luid{};
        const bool bPlugged = Monitor.Plug(m_DeviceControl, Index, sizeof(Fields), Fields,
                                           pTargetId ? pTargetId : &TargetId, pLuid ? pLuid : &Luid);
        m_LastRecordIndex = Fields[1];
        return bPlugged;
    }
    ALMonitorIddCx m_Monitor;
    ALMonitorIddCx m_Second;
    UINT32 m_LastRecordIndex = 0;
};

TEST_F(ALMonitorIddCxMachineTest, PlugTakesTheDriversResult) {
    UINT32 TargetId = 0;
    LUID Luid{};
    ASSERT_TRUE(Plug(m_Monitor, 2, &TargetId, &Luid));
    EXPECT_EQ(m_LastRecordIndex, 2u);  // written into the caller's record
    EXPECT_EQ(m_pDriver->MonitorDescriptionGet(2).MonitorIndex, 2u);
    EXPECT_EQ(m_Monitor.MonitorIndexGet(), 2);
    EXPECT_EQ(TargetId, SimIddCxDriver::TargetIdBase + 2);
    EXPECT_EQ(Luid.LowPart, SimIddCxDriver::Config().AdapterLuid.LowPart);
    ASSERT_NE(m_Monitor.EventSwapchainChangedGet(), nullptr);
    // The driver signals it: an assigned event is pending after the plug.
    EXPECT_EQ(WaitForSingleObject(m_Monitor.EventSwapchainChangedGet(), 0), WAIT_OBJECT_0);
    DebugLevelScope Level(AL_DEBUG_ALL);
    DebugCapture Capture;
    EXPECT_TRUE(m_Monitor.Unplug(m_DeviceControl));
    EXPECT_FALSE(m_pDriver->MonitorIsPlugged(2));
    EXPECT_EQ(m_Monitor.MonitorIndexGet(), 2);  // keeps its last value
    EXPECT_EQ(LogMessages(Capture.Lines()),
              std::vector<std::wstring>{L"ALDeviceControlIddCx::IoctlMonitorUnplug m_MonitorIndex 2\n"});
}

TEST_F(ALMonitorIddCxMachineTest, AlreadyPluggedSlotGivesNoHandleAndZeroes) {
    ASSERT_TRUE(Plug(m_Monitor, 0));
    UINT32 TargetId = 0x1234;
    LUID Luid{0x55, 0x66};
    ASSERT_TRUE(Plug(m_Second, 0, &TargetId, &Luid));
    EXPECT_EQ(m_Second.MonitorIndexGet(), 0);
    EXPECT_EQ(m_Second.EventSwapchainChangedGet(), nullptr);
    EXPECT_EQ(TargetId, 0u);
    EXPECT_EQ(Luid.LowPart, 0u);
    EXPECT_EQ(Luid.HighPart, 0);
}

TEST_F(ALMonitorIddCxMachineTest, FailedPlugKeepsIndexMinusOne) {
    m_pDriver->Faults().FailNext(ALIoctlCode::MonitorPlug, ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(Plug(m_Monitor, 1));
    EXPECT_EQ(m_LastRecordIndex, 1u);
    EXPECT_EQ(m_Monitor.MonitorIndexGet(), -1);
    EXPECT_EQ(m_Monitor.EventSwapchainChangedGet(), nullptr);
}

TEST_F(ALMonitorIddCxMachineTest, SecondSubscriptionIsRefusedAndKeepsTheFirst) {
    ASSERT_TRUE(Plug(m_Monitor, 0));
    MonitorFrameBufferEventsInfo Info{};
    ASSERT_TRUE(m_Monitor.FrameBufferEventsSubscribe(m_DeviceControl, &Info));
    EXPECT_EQ(Info.FrameBufferInfo.Width, 640u);
    EXPECT_EQ(Info.FrameBufferInfo.Height, 480u);
    const HANDLE hFirst = m_Monitor.EventFramebufferAvailableGet();
    ASSERT_NE(hFirst, nullptr);
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    MonitorFrameBufferEventsInfo Again{};
    EXPECT_FALSE(m_Monitor.FrameBufferEventsSubscribe(m_DeviceControl, &Again));
    EXPECT_EQ(m_Monitor.EventFramebufferAvailableGet(), hFirst);
    EXPECT_EQ(LogMessages(Capture.Lines()),
              std::vector<std::wstring>{L"ALMonitorIddCx::FrameBufferEventsSubscribe failed! Already mapped\n"});
    // After an unsubscription a subscription succeeds again.
    const long Handles = MachineHandlesLive();
    m_Monitor.FrameBufferEventsUnsubscribe();
    EXPECT_EQ(MachineHandlesLive(), Handles - 1);
    EXPECT_EQ(m_Monitor.EventFramebufferAvailableGet(), nullptr);
    EXPECT_TRUE(m_Monitor.FrameBufferEventsSubscribe(m_DeviceControl, &Again));
}

TEST_F(ALMonitorIddCxMachineTest, AcquisitionWithoutAFrameIsAPendingSuccess) {
    ASSERT_TRUE(Plug(m_Monitor, 0));
    RECT Rectangle{9, 9, 9, 9};
    HANDLE hShared = INVALID_HANDLE_VALUE;
    bool bPending = false;
    ASSERT_TRUE(m_Monitor.FrameBufferResourceAcquire(m_DeviceControl, &Rectangle, &hShared, &bPending));
    EXPECT_TRUE(bPending);
    EXPECT_EQ(hShared, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Rectangle.left, 9);
}

TEST_F(ALMonitorIddCxMachineTest, AcquisitionDeliversTheSharedTextureAndItsRectangle) {
    ASSERT_TRUE(Plug(m_Monitor, 0));
    RECT Changed{};
    ASSERT_TRUE(m_pDriver->FramePresent(0, &Changed));
    RECT Rectangle{};
    HANDLE hShared = nullptr;
    bool bPending = true;
    ASSERT_TRUE(m_Monitor.FrameBufferResourceAcquire(m_DeviceControl, &Rectangle, &hShared, &bPending));
    EXPECT_FALSE(bPending);
    EXPECT_TRUE(RectEqual(Rectangle, Changed));
    ASSERT_NE(MachineSharedResourceFromHandle(hShared), nullptr);
    EXPECT_EQ(m_pDriver->TexturesInUseCount(), 1u);
    CloseHandle(hShared);
    // The request failing leaves the pending flag alone.
    m_pDriver->Faults().FailNext(ALIoctlCode::MonitorFrameBufferDirectXAcquire, ERROR_GEN_FAILURE);
    bPending = true;
    EXPECT_FALSE(m_Monitor.FrameBufferResourceAcquire(m_DeviceControl, &Rectangle, &hShared, &bPending));
    EXPECT_TRUE(bPending);
}

}  // namespace
