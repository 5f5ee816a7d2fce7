// The demo's guard around an initialized library: Uninitialize(true) exactly
// once, whether the run ends it early or leaves through any other way.
#include <gtest/gtest.h>

#include "DemoApiSession.h"
#include "api/INimboApi.h"

namespace {

class CountingApi : public INimboApi {
public:
    bool Initialize(LPCWSTR, int) override { return true; }
    void Uninitialize(bool bUnplug) override {
        ++Uninitializations;
        bLastUnplug = bUnplug;
    }
    bool DisplayMonitorPlug(INimboApiDisplayMonitorInstance*) override { return false; }
    void DisplayMonitorUnplug(INimboApiDisplayMonitorInstance*, bool) override {}
    void MonitorUnplugMissingUponPowerResume() override {}
    void DisplayConfigurationReset() override {}
    INimboApiDisplayMonitorInstance* DisplayMonitorAssignmentEnumerate(uint32_t, int*, int*, LUID*) override {
        return nullptr;
    }
    int Uninitializations = 0;
    bool bLastUnplug = false;
};

TEST(DemoApiSessionTest, LeavingTheScopeUninitializesAndUnplugs) {
    CountingApi Api;
    { DemoApiSession Session(Api); }
    EXPECT_EQ(Api.Uninitializations, 1);
    EXPECT_TRUE(Api.bLastUnplug);
}

TEST(DemoApiSessionTest, AnEarlyEndIsNotRepeated) {
    CountingApi Api;
    {
        DemoApiSession Session(Api);
        Session.End();
        EXPECT_EQ(Api.Uninitializations, 1);
        Session.End();
    }
    EXPECT_EQ(Api.Uninitializations, 1);
}

}  // namespace
