// The wrapper context behind the exports, against a recording API object:
// what each export's body asks of the API, what it remembers, and that
// nothing is called before an Initialize export. The failed plug (which
// pauses the console) is tested on the simulated machine.
#include <gtest/gtest.h>

#include <functional>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "interface/WrapperContext.h"
#include "library/FakeNimboApi.h"

namespace {

struct NoApiCase {
    const char* pName;
    std::function<int(WrapperContext&)> Call;
};

class WrapperContextNoApiTest : public ::testing::TestWithParam<NoApiCase> {};

TEST_P(WrapperContextNoApiTest, ReturnsZeroAndRemembersNothing) {
    WrapperContext Context;
    ::testing::internal::CaptureStdout();
    const int Result = GetParam().Call(Context);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(Result, 0);
    EXPECT_EQ(Context.pApiHighLevel, nullptr);
    EXPECT_EQ(Context.pDisplayMonitorInstance, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    BeforeInitialize, WrapperContextNoApiTest,
    ::testing::Values(NoApiCase{"PlugMonitor", [](WrapperContext& C) { return C.MonitorPlug(1080, 1920); }},
                      NoApiCase{"UnplugMonitor", [](WrapperContext& C) { return C.MonitorUnplug(); }},
                      NoApiCase{"Uninitialize", [](WrapperContext& C) { return C.ApiUninitialize(); }},
                      NoApiCase{"GetDisplayId", [](WrapperContext& C) { return C.DisplayIdGet(); }}),
    [](const ::testing::TestParamInfo<NoApiCase>& Info) { return std::string(Info.param.pName); });

class WrapperContextTest : public ::testing::Test {
protected:
    void SetUp() override { m_Context.pApiHighLevel = &m_Api; }

    FakeNimboApi m_Api;
    WrapperContext m_Context;
};

TEST_F(WrapperContextTest, PlugHandsTheApiAnInstanceWithTheValuesCrosswise) {
    ::testing::internal::CaptureStdout();
    const int Result = m_Context.MonitorPlug(1080, 1920);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(Result, 0);
    ASSERT_EQ(m_Api.m_Plugs.size(), 1u);
    EXPECT_TRUE(m_Api.m_Plugs[0].bKorvaxHaldenDisplay);
    EXPECT_EQ(m_Api.m_Plugs[0].ModeValue0, 1920);
    EXPECT_EQ(m_Api.m_Plugs[0].ModeValue1, 1080);
    EXPECT_EQ(m_Context.pDisplayMonitorInstance, m_Api.OwnedLastGet());
    EXPECT_TRUE(m_Api.m_Uninitializes.empty());
}

TEST_F(WrapperContextTest, UnplugNamesTheLastPluggedInstanceEveryTime) {
    m_Context.MonitorPlug(640, 480);
    INimboApiDisplayMonitorInstance* pFirst = m_Api.OwnedLastGet();
    m_Context.MonitorPlug(800, 600);
    INimboApiDisplayMonitorInstance* pSecond = m_Api.OwnedLastGet();
    ASSERT_NE(pFirst, pSecond);
    EXPECT_EQ(m_Context.MonitorUnplug(), 0);
    EXPECT_EQ(m_Context.MonitorUnplug(), 0);
    ASSERT_EQ(m_Api.m_Unplugs.size(), 2u);
    for (const auto& Call : m_Api.m_Unplugs) {
        EXPECT_EQ(Call.pHardware, pSecond);  // the address is kept after the unplug
        EXPECT_TRUE(Call.bUnplug);
    }
    EXPECT_EQ(m_Context.pDisplayMonitorInstance, pSecond);
}

TEST_F(WrapperContextTest, UninitializeUnplugsAndKeepsBothPointers) {
    m_Context.MonitorPlug(640, 480);
    INimboApiDisplayMonitorInstance* pInstance = m_Context.pDisplayMonitorInstance;
    EXPECT_EQ(m_Context.ApiUninitialize(), 0);
    EXPECT_EQ(m_Api.m_Uninitializes, std::vector<bool>{true});
    EXPECT_EQ(m_Context.pApiHighLevel, &m_Api);
    EXPECT_EQ(m_Context.pDisplayMonitorInstance, pInstance);
}

struct DisplayIdCase {
    const char* pName;
    bool bLuidWrite;
    LUID Luid;
    int VideoPresentTargetId;
    int Expected;
};

class WrapperContextDisplayIdTest : public WrapperContextTest, public ::testing::WithParamInterface<DisplayIdCase> {};

TEST_P(WrapperContextDisplayIdTest, IsTheTargetIdOnlyWithAnAdapter) {
    const DisplayIdCase& Case = GetParam();
    m_Api.m_bEnumeratedLuidWrite = Case.bLuidWrite;
    m_Api.m_EnumeratedLuid = Case.Luid;
    m_Api.m_EnumeratedTargetId = 3;
    m_Api.m_EnumeratedVideoPresentTargetId = Case.VideoPresentTargetId;
    EXPECT_EQ(m_Context.DisplayIdGet(), Case.Expected);
    ASSERT_EQ(m_Api.m_Enumerates.size(), 1u);
    EXPECT_EQ(m_Api.m_Enumerates[0].EnumIdx, 0u);
    EXPECT_TRUE(m_Api.m_Enumerates[0].bOutputsGiven);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WrapperContextDisplayIdTest,
    ::testing::Values(DisplayIdCase{"LuidLeftAsGiven", false, LUID{}, 0x1001, 0},  // the context zeroes it first
                      DisplayIdCase{"LuidZero", true, LUID{0, 0}, 0x1001, 0},
                      DisplayIdCase{"LowPart", true, LUID{0xADA0, 0}, 0x1001, 0x1001},
                      DisplayIdCase{"HighPartOnly", true, LUID{0, 1}, 0x1002, 0x1002}),
    [](const ::testing::TestParamInfo<DisplayIdCase>& Info) { return std::string(Info.param.pName); });

TEST(WrapperContextInstance, ConcurrentFirstCallersShareOneContext) {
    // Nothing else in this program makes the context: these are its first callers.
    constexpr int kThreads = 8;
    std::latch Start(kThreads);
    std::vector<WrapperContext*> Seen(kThreads, nullptr);
    std::vector<std::thread> Threads;
    for (int i = 0; i < kThreads; ++i)
        Threads.emplace_back([&, i] {
            Start.arrive_and_wait();
            Seen[i] = WrapperContext::InstanceGet();
        });
    for (auto& Thread : Threads)
        Thread.join();
    ASSERT_NE(Seen[0], nullptr);
    for (WrapperContext* pContext : Seen)
        EXPECT_EQ(pContext, Seen[0]);
    EXPECT_EQ(WrapperContext::InstanceGet(), Seen[0]);
    EXPECT_EQ(Seen[0]->pApiHighLevel, nullptr);
    EXPECT_EQ(Seen[0]->pDisplayMonitorInstance, nullptr);
}

}  // namespace
