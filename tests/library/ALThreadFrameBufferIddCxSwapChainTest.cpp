// Swap-chain resource thread, the parts that need no driver: the rule that
// picks the next entry to fill, and Extract on an empty queue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DebugLevelScope.h"
#include "LogLine.h"
#include "indirect/ALThreadFrameBufferIddCxSwapChain.h"
#include "platform/DebugCapture.h"

namespace {

struct NextEntryCase {
    int Front;   // -1: none
    int Pushed;
    int Expected;
};

// Every combination, as the rule's table gives it.
const NextEntryCase kNextEntryCases[] = {
    {0, 1, 2}, {0, 0, 1}, {0, 2, 1},   //
    {1, 2, 0}, {1, 0, 2}, {1, 1, 2},   //
    {2, 0, 1}, {2, 1, 0}, {2, 2, 0},   //
    {-1, 0, 1}, {-1, 1, 0}, {-1, 2, 0},
};

class NextEntryTest : public ::testing::TestWithParam<NextEntryCase> {};

TEST_P(NextEntryTest, NeitherTheFrontNorTheEntryJustPushed) {
    const NextEntryCase& Case = GetParam();
    const int Next = ALThreadFrameBufferIddCxSwapChain::EntryNextIndexGet(Case.Front, Case.Pushed);
    EXPECT_EQ(Next, Case.Expected) << "front " << Case.Front << " pushed " << Case.Pushed;
    EXPECT_NE(Next, Case.Front);
    EXPECT_NE(Next, Case.Pushed);
}

INSTANTIATE_TEST_SUITE_P(Table, NextEntryTest, ::testing::ValuesIn(kNextEntryCases));

class NeverCalledInstance : public INimboApiDisplayMonitorInstance {
public:
    void MonitorStop() override { ++m_Calls; }
    bool MonitorVisibilitySet(bool) override { return ++m_Calls, true; }
    bool FrameBufferUpdate(FrameBufferInfo, void*, UINT32, void*, UINT32, RECT*, UINT32, PointerInfo*) override {
        return ++m_Calls, true;
    }
    bool CursorPositionSet(int, int, int) override { return ++m_Calls, true; }
    bool CursorShapeSet(PointerInfo*) override { return ++m_Calls, true; }
    bool Heartbeat() override { return ++m_Calls, true; }
    bool InactivitySet(INT32) override { return ++m_Calls, true; }
    std::wstring InstanceIdGet() override { return L""; }
    std::wstring InstanceNameGet() override { return L""; }
    UINT32 InstanceContextGet() override { return 0; }
    bool GetMonitorDescription(BYTE**, UINT32*, BYTE**, UINT32*) override { return false; }
    bool InstanceQuery(void*) override { return false; }
    int m_Calls = 0;
};

TEST(ALThreadFrameBufferIddCxSwapChain, ExtractOnAnEmptyQueueFailsWithTheQueueText) {
    DebugLevelScope Level(AL_DEBUG_ERROR | AL_DEBUG_SWAPCHAIN);
    ALMonitorIddCx Monitor;
    ALDeviceControlIddCx DeviceControl;
    ALThreadFrameBufferIddCxSwapChain ThreadDxResource(&Monitor, &DeviceControl);
    NeverCalledInstance Instance;
    for (int Attempt = 0; Attempt < 2; ++Attempt) {  // the second pops nothing either
        DebugCapture Capture;
        EXPECT_FALSE(ThreadDxResource.Extract(FrameBufferInfo{1920, 1080, 32, 60}, &Instance));
        const std::vector<std::wstring> Expected = {
            LogLine(L"ALThreadFrameBufferIddCxSwapChain::Extract FRAMEBUFFER UPDATE\n"),
            LogLine(L"ALIScreenUpdateQueue::Peek failed! Internal buffer error (this should never happen)\n"),
            LogLine(L"ALThreadFrameBufferIddCxSwapChain::Extract m_ScreenUpdateQueue.Peek failed!\n"),
        };
        EXPECT_EQ(Capture.Lines(), Expected);
    }
    EXPECT_EQ(Instance.m_Calls, 0);
}

TEST(ALThreadFrameBufferIddCxSwapChain, StopOfAnIdleObjectReturnsAtOnce) {
    ALMonitorIddCx Monitor;
    ALDeviceControlIddCx DeviceControl;
    ALThreadFrameBufferIddCxSwapChain ThreadDxResource(&Monitor, &DeviceControl);
    ThreadDxResource.Stop();
    ThreadDxResource.Stop();
    EXPECT_FALSE(ThreadDxResource.IsRunning());
}

}  // namespace
