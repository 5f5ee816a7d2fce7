// The indirect display monitor object without a driver: a new object, and
// every request failing on a device that is not open.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "DebugLevelScope.h"
#include "LogMessages.h"
#include "indirect/ALMonitorIddCx.h"
#include "platform/DebugCapture.h"

namespace {

bool StartsWith(const std::wstring& Text, const std::wstring& Head) { return Text.compare(0, Head.size(), Head) == 0; }

TEST(ALMonitorIddCx, NewObjectHasIndexMinusOneAndOnlyItsOwnEvent) {
    ALMonitorIddCx Monitor;
    EXPECT_EQ(Monitor.MonitorIndexGet(), -1);
    EXPECT_NE(Monitor.EventFramebufferChangedGet(), nullptr);
    EXPECT_EQ(Monitor.EventSwapchainChangedGet(), nullptr);
    EXPECT_EQ(Monitor.EventFramebufferAvailableGet(), nullptr);
    EXPECT_FALSE(Monitor.FrameBufferEventsSubscribedIs());
    // The frame-changed event is manual-reset and starts unsignalled.
    EXPECT_EQ(WaitForSingleObject(Monitor.EventFramebufferChangedGet(), 0), WAIT_TIMEOUT);
    SetEvent(Monitor.EventFramebufferChangedGet());
    EXPECT_EQ(WaitForSingleObject(Monitor.EventFramebufferChangedGet(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(Monitor.EventFramebufferChangedGet(), 0), WAIT_OBJECT_0);
    Monitor.EventFramebufferChangedReset();
    EXPECT_EQ(WaitForSingleObject(Monitor.EventFramebufferChangedGet(), 0), WAIT_TIMEOUT);
}

TEST(ALMonitorIddCx, FailedPlugChangesNothingButTheRecordsIndex) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    ALDeviceControlIddCx DeviceControl;  // not open
    ALMonitorIddCx Monitor;
    UINT32 Record[9] = {0, 0, 0, 0, 1, 1920, 1080, 0, 60};
    UINT32 TargetId = 0x5555;
    LUID AdapterLuid{0x66, 0x77};
    DebugCapture Capture;
    EXPECT_FALSE(Monitor.Plug(DeviceControl, 2, sizeof(Record), Record, &TargetId, &AdapterLuid));
    EXPECT_EQ(Record[1], 2u);  // written before the request
    EXPECT_EQ(Monitor.MonitorIndexGet(), -1);
    EXPECT_EQ(Monitor.EventSwapchainChangedGet(), nullptr);
    EXPECT_EQ(TargetId, 0x5555u);
    EXPECT_EQ(AdapterLuid.LowPart, 0x66u);
    const auto Messages = LogMessages(Capture.Lines());
    ASSERT_EQ(Messages.size(), 2u);
    EXPECT_TRUE(StartsWith(Messages[0], L"ALDeviceControlIddCx::IoctlMonitorPlug DeviceIoControl failed! "));
    EXPECT_EQ(Messages[1], L"ALMonitorIddCx::Plug DeviceControl.IoctlMonitorPlug failed!\n");
}

TEST(ALMonitorIddCx, FailedSubscriptionAndAcquisitionLeaveTheirOutputs) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    ALDeviceControlIddCx DeviceControl;
    ALMonitorIddCx Monitor;
    DebugCapture Capture;
    MonitorFrameBufferEventsInfo Info{};
    EXPECT_FALSE(Monitor.FrameBufferEventsSubscribe(DeviceControl, &Info));
    EXPECT_FALSE(Monitor.FrameBufferEventsSubscribedIs());
    RECT Rectangle{1, 2, 3, 4};
    HANDLE hShared = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x4444));
    bool bPending = true;
    EXPECT_FALSE(Monitor.FrameBufferResourceAcquire(DeviceControl, &Rectangle, &hShared, &bPending));
    EXPECT_TRUE(bPending);  // untouched by a failed request
    EXPECT_EQ(hShared, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x4444)));
    EXPECT_EQ(Rectangle.right, 3);
    const auto Lines = Capture.Lines();
    EXPECT_EQ(LogMessageCount(Lines, L"ALMonitorIddCx::FrameBufferEventsSubscribe "
                                     L"IoctlMonitorFrameBufferEventsSubscribe failed!\n"),
              1u);
    EXPECT_EQ(LogMessageCount(Lines, L"ALMonitorIddCx::FrameBufferResourceAcquire "
                                     L"IoctlMonitorFrameBufferDirectXAcquire failed!\n"),
              1u);
}

TEST(ALMonitorIddCx, UnsubscribeWithoutSubscriptionOnlyClearsTheFlag) {
    DebugLevelScope Level(AL_DEBUG_ALL);
    DebugCapture Capture;
    ALMonitorIddCx Monitor;
    Monitor.FrameBufferEventsUnsubscribe();
    Monitor.EventSwapchainChangedClose();
    EXPECT_FALSE(Monitor.FrameBufferEventsSubscribedIs());
    EXPECT_TRUE(Capture.Lines().empty());
}

TEST(ALMonitorIddCx, ResetsLogAtDriverControlLevel) {
    ALMonitorIddCx Monitor;
    {
        DebugLevelScope Level(AL_DEBUG_DRIVER_CONTROL);
        DebugCapture Capture;
        Monitor.EventFramebufferChangedReset();
        Monitor.EventSwapchainChangedReset();
        const std::vector<std::wstring> Expected = {L"ALMonitorIddCx::EventFramebufferChangedReset\n",
                                                    L"ALMonitorIddCx::EventSwapchainChangedReset\n"};
        EXPECT_EQ(LogMessages(Capture.Lines()), Expected);
    }
    DebugLevelScope Level(AL_DEBUG_ALL & ~AL_DEBUG_DRIVER_CONTROL);
    DebugCapture Capture;
    Monitor.EventFramebufferChangedReset();
    EXPECT_TRUE(Capture.Lines().empty());
}

}  // namespace
