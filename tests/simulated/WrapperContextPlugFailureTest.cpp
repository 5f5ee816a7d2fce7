// A plug the API refuses: the text, the console pause, the whole library
// stopped, in this order, and the refused instance reclaimed (the ASan run's
// leak check fails the test if it is not).
#include <gtest/gtest.h>

#include <vector>

#include "interface/WrapperContext.h"
#include "library/FakeNimboApi.h"
#include "platform/machine.h"

namespace {

// Notes how many pauses had happened when the library was stopped.
class PauseNotingApi : public FakeNimboApi {
public:
    void Uninitialize(bool bUnplug) override {
        m_PausesAtUninitialize.push_back(MachineConsolePausesGet());
        FakeNimboApi::Uninitialize(bUnplug);
    }
    std::vector<long> m_PausesAtUninitialize;
};

TEST(WrapperContextPlugFailure, PrintsPausesStopsEverythingAndForgetsTheInstance) {
    PauseNotingApi Api;
    Api.m_bPlugResult = false;
    WrapperContext Context;
    Context.pApiHighLevel = &Api;
    const long PausesBefore = MachineConsolePausesGet();

    ::testing::internal::CaptureStdout();
    const int Result = Context.MonitorPlug(1080, 1920);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Nimbo API: pApiHighLevel->DisplayMonitorPlug failed!\n");
    EXPECT_EQ(Result, 0);

    ASSERT_EQ(Api.m_Plugs.size(), 1u);
    EXPECT_EQ(Api.m_Plugs[0].ModeValue0, 1920);
    EXPECT_EQ(MachineConsolePausesGet(), PausesBefore + 1);
    EXPECT_EQ(Api.m_Uninitializes, std::vector<bool>{true});
    EXPECT_EQ(Api.m_PausesAtUninitialize, std::vector<long>{PausesBefore + 1});  // paused first, then stopped
    EXPECT_EQ(Context.pDisplayMonitorInstance, nullptr);
    EXPECT_EQ(Context.pApiHighLevel, &Api);  // a later Initialize export sets it again anyway
}

TEST(WrapperContextPlugFailure, AFailureAfterSuccessesForgetsOnlyTheRefusedInstance) {
    PauseNotingApi Api;
    WrapperContext Context;
    Context.pApiHighLevel = &Api;
    Context.MonitorPlug(640, 480);
    ASSERT_NE(Context.pDisplayMonitorInstance, nullptr);
    Api.m_bPlugResult = false;
    ::testing::internal::CaptureStdout();
    Context.MonitorPlug(800, 600);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(Context.pDisplayMonitorInstance, nullptr);
    EXPECT_EQ(Context.MonitorUnplug(), 0);
    ASSERT_EQ(Api.m_Unplugs.size(), 1u);
    EXPECT_EQ(Api.m_Unplugs[0].pHardware, nullptr);  // no stale address of the deleted instance
}

}  // namespace
