// The indirect display frame-buffer thread without a driver: construction
// and a start whose description or plug fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DebugLevelScope.h"
#include "LogMessages.h"
#include "indirect/ALThreadFrameBufferIddCxApi.h"
#include "interface/KorvaxHaldenDisplay.h"
#include "platform/DebugCapture.h"

namespace {

bool StartsWith(const std::wstring& Text, const std::wstring& Head) { return Text.compare(0, Head.size(), Head) == 0; }

class DescriptionRefused : public KorvaxHaldenDisplay {
public:
    bool GetMonitorDescription(BYTE**, UINT32*, BYTE**, UINT32*) override { return false; }
};

TEST(ALThreadFrameBufferIddCxApi, NewThreadReportsZeroes) {
    ALDeviceControlIddCx DeviceControl;
    ALThreadFrameBufferIddCxApi Thread(&DeviceControl);
    EXPECT_EQ(Thread.HardwareGet(), nullptr);
    EXPECT_EQ(Thread.AdapterIndexGet(), 0);
    EXPECT_EQ(Thread.VideoPresentTargetIdGet(), 0u);
    const LUID Luid = Thread.AdapterLuidGet();
    EXPECT_EQ(Luid.LowPart, 0u);
    EXPECT_EQ(Luid.HighPart, 0);
    EXPECT_FALSE(Thread.IsRunning());
}

TEST(ALThreadFrameBufferIddCxApi, StartWhosePlugFailsLogsEveryStepInOrder) {
    DebugLevelScope Level(AL_DEBUG_ERROR | AL_DEBUG_THREAD);
    ALDeviceControlIddCx DeviceControl;  // not open: the plug request fails
    ALThreadFrameBufferIddCxApi Thread(&DeviceControl);
    KorvaxHaldenDisplay Instance;
    DebugCapture Capture;
    EXPECT_FALSE(Thread.Start(&Instance, 1));
    EXPECT_EQ(Thread.MonitorIndexGet(), 1);
    EXPECT_EQ(Thread.HardwareGet(), &Instance);  // still the caller's
    EXPECT_FALSE(Thread.IsRunning());
    const auto Messages = LogMessages(Capture.Lines());
    ASSERT_EQ(Messages.size(), 5u);
    EXPECT_EQ(Messages[0], L"ALThreadFrameBufferIddCxApi::Start m_MonitorIndex:1\n");
    EXPECT_TRUE(StartsWith(Messages[1], L"ALDeviceControlIddCx::IoctlMonitorPlug DeviceIoControl failed! "));
    EXPECT_EQ(Messages[2], L"ALMonitorIddCx::Plug DeviceControl.IoctlMonitorPlug failed!\n");
    EXPECT_EQ(Messages[3], L"ALThreadFrameBufferIddCxApi::PrivateInitialize Monitor.Plug failed!\n");
    EXPECT_EQ(Messages[4], L"ALThreadFrameBufferIddCxApi::Start PrivateInitialize failed! m_MonitorIndex:1\n");
}

TEST(ALThreadFrameBufferIddCxApi, StartPrivateInitializeTextIsAThreadTrace) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    ALDeviceControlIddCx DeviceControl;
    ALThreadFrameBufferIddCxApi Thread(&DeviceControl);
    DescriptionRefused Instance;
    DebugCapture Capture;
    EXPECT_FALSE(Thread.Start(&Instance, 0));
    const std::vector<std::wstring> Expected = {
        L"ALThreadFrameBufferIddCxApi::PrivateInitialize m_pHardware->GetMonitorDescription failed!\n"};
    EXPECT_EQ(LogMessages(Capture.Lines()), Expected);
}

}  // namespace
