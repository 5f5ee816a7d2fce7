// A host of NimboHighLevelWrapper.dll: loads it by name from its own
// directory (where the build puts a copy), resolves the six exports by name
// and drives them where no display driver exists. Each test loads the DLL
// afresh and unloads it at the end, so each starts with a context that no
// export has touched.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "NimboHighLevelWrapper.h"
#include "platform/win32.h"

namespace {

const char kInitializeFailed[] = "Nimbo API: pApiHighLevel->Initialize failed!\n";

// What an export returned and printed to standard output. Nothing else
// runs while output is captured (a failed expectation prints too).
struct Outcome {
    int Result;
    std::string Text;
};

Outcome Printed(const std::function<int()>& Call) {
    ::testing::internal::CaptureStdout();
    const int Result = Call();
    return {Result, ::testing::internal::GetCapturedStdout()};
}

void ExpectSilentZero(const std::function<int()>& Call) {
    const Outcome Called = Printed(Call);
    EXPECT_EQ(Called.Result, 0);
    EXPECT_EQ(Called.Text, "");
}

void ExpectInitializeFailure(const std::function<int()>& Call) {
    const Outcome Called = Printed(Call);
    EXPECT_EQ(Called.Result, 1);
    EXPECT_EQ(Called.Text, kInitializeFailed);
}

class WrapperHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_hLibrary = LoadLibraryW(L"NimboHighLevelWrapper.dll");
        ASSERT_NE(m_hLibrary, nullptr) << "LoadLibraryW failed, error " << GetLastError();
        ASSERT_TRUE(Resolve("InitializeHookDriver", &m_InitializeHookDriver));
        ASSERT_TRUE(Resolve("InitializeIddxDriver", &m_InitializeIddxDriver));
        ASSERT_TRUE(Resolve("PlugMonitor", &m_PlugMonitor));
        ASSERT_TRUE(Resolve("UnplugMonitor", &m_UnplugMonitor));
        ASSERT_TRUE(Resolve("Uninitialize", &m_Uninitialize));
        ASSERT_TRUE(Resolve("GetDisplayId", &m_GetDisplayId));
    }
    void TearDown() override {
        if (m_hLibrary != nullptr) {
            EXPECT_TRUE(FreeLibrary(m_hLibrary));
        }
    }

    template <typename Function>
    bool Resolve(const char* pName, Function* pFunction) {
        *pFunction = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(m_hLibrary, pName)));
        return *pFunction != nullptr;
    }

    // The calls that need no driver, as a host makes them.
    struct Call {
        const char* pName;
        std::function<int()> Run;
    };
    std::vector<Call> CallsWithoutDriver() {
        return {{"PlugMonitor", [this] { return m_PlugMonitor(1080, 1920); }},
                {"UnplugMonitor", [this] { return m_UnplugMonitor(); }},
                {"GetDisplayId", [this] { return m_GetDisplayId(); }},
                {"Uninitialize", [this] { return m_Uninitialize(); }}};
    }

    HMODULE m_hLibrary = nullptr;
    decltype(&::InitializeHookDriver) m_InitializeHookDriver = nullptr;
    decltype(&::InitializeIddxDriver) m_InitializeIddxDriver = nullptr;
    decltype(&::PlugMonitor) m_PlugMonitor = nullptr;
    decltype(&::UnplugMonitor) m_UnplugMonitor = nullptr;
    decltype(&::Uninitialize) m_Uninitialize = nullptr;
    decltype(&::GetDisplayId) m_GetDisplayId = nullptr;
};

TEST_F(WrapperHostTest, ExportsNoLibraryInternals) {
    EXPECT_EQ(GetProcAddress(m_hLibrary, "NimboApiGet"), nullptr);
    EXPECT_EQ(GetProcAddress(m_hLibrary, "_Z11NimboApiGetv"), nullptr);
    EXPECT_EQ(GetProcAddress(m_hLibrary, "DebugLevelAL"), nullptr);
}

TEST_F(WrapperHostTest, BeforeInitializeEveryOtherExportReturnsZeroSilently) {
    for (const Call& Entry : CallsWithoutDriver()) {
        SCOPED_TRACE(Entry.pName);
        ExpectSilentZero(Entry.Run);
    }
}

class WrapperHostInitializeTest : public WrapperHostTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(WrapperHostInitializeTest, FailsWithoutTheDriver) {
    decltype(&::InitializeHookDriver) Initialize = nullptr;
    ASSERT_TRUE(Resolve(GetParam(), &Initialize));
    ExpectInitializeFailure(Initialize);
    ExpectInitializeFailure(Initialize);  // and again: nothing was left open
}

INSTANTIATE_TEST_SUITE_P(Exports, WrapperHostInitializeTest,
                         ::testing::Values("InitializeHookDriver", "InitializeIddxDriver"),
                         [](const ::testing::TestParamInfo<const char*>& Info) { return std::string(Info.param); });

TEST_F(WrapperHostTest, AfterAFailedInitializeTheOtherExportsFindNothingToDo) {
    ExpectInitializeFailure(m_InitializeIddxDriver);
    // A plug would try the closed hook device for ten seconds and then pause
    // the console: a host does not plug after a failed Initialize.
    for (const Call& Entry : CallsWithoutDriver()) {
        if (std::string(Entry.pName) == "PlugMonitor")
            continue;
        SCOPED_TRACE(Entry.pName);
        ExpectSilentZero(Entry.Run);
    }
    ExpectInitializeFailure(m_InitializeHookDriver);
}

}  // namespace
