// The shared library as a host uses it: loaded at run time, its six exports
// resolved by name, driven on the simulated machine against either simulated
// driver. Checks the console texts, the records and requests the driver
// receives, the library log and what is left running.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "SimulatedMachine.h"
#include "WrapperLibraryCopy.h"
#include "driver/ALIddCxRecords.h"
#include "driver/ALIoctlCode.h"
#include "library/LogLine.h"
#include "platform/machine.h"
#include "sim/SimHookDriver.h"
#include "sim/SimIddCxDriver.h"
#include "support/ALDebugLog.h"
#include "support/ALUtilRegistry.h"

namespace {

const wchar_t kServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\vantorService";
const char kInitializeFailed[] = "Nimbo API: pApiHighLevel->Initialize failed!\n";
const char kPlugFailed[] = "Nimbo API: pApiHighLevel->DisplayMonitorPlug failed!\n";

enum class DriverKind { Hook, IddCx };

std::ostream& operator<<(std::ostream& Stream, DriverKind Kind) {
    return Stream << (Kind == DriverKind::Hook ? "Hook" : "IddCx");
}

std::string DriverName(const ::testing::TestParamInfo<DriverKind>& Info) {
    return Info.param == DriverKind::Hook ? "Hook" : "IddCx";
}

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

size_t LinesContaining(const std::wstring& Fragment) {
    const auto Lines = MachineDebugLines();
    return static_cast<size_t>(std::count_if(Lines.begin(), Lines.end(), [&](const std::wstring& Line) {
        return Line.find(Fragment) != std::wstring::npos;
    }));
}

// A fresh machine with the library log at AL_DEBUG_ERROR, the driver under
// test (if any), then a freshly loaded copy of the library. At the end the
// host's Uninitialize, and nothing of the library may be left running or
// open.
class WrapperMachineTest : public SimulatedMachineTest {
protected:
    void SetUp() override {
        SimulatedMachineTest::SetUp();
        MachineD3DReset();
        const DWORD Level = AL_DEBUG_ERROR;
        ASSERT_TRUE(ZKLUtilRegistryValueSet(HKEY_LOCAL_MACHINE, kServiceKey, L"DebugLevelAL", REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&Level), sizeof(Level)));
        DriverInstall();
        MachineDebugClear();
        m_ThreadsBefore = MachineThreadsLive();
        m_pLibrary = std::make_unique<WrapperLibraryCopy>();
        ASSERT_TRUE(m_pLibrary->IsLoaded()) << m_pLibrary->ErrorGet();
        m_HandlesBefore = MachineHandlesLive();
        m_PausesBefore = MachineConsolePausesGet();
    }
    void TearDown() override {
        if (m_pLibrary != nullptr && m_pLibrary->IsLoaded())
            Printed([&] { return m_pLibrary->Uninitialize(); });
        EXPECT_EQ(MachineThreadsLive(), m_ThreadsBefore) << "a library thread is still running";
        EXPECT_EQ(MachineHandlesLive(), m_HandlesBefore) << "a handle was leaked";
        EXPECT_EQ(MachineD3DObjectsLive(), 0) << "a Direct3D reference was leaked";
        m_pLibrary.reset();
        DriverUninstall();
        MachineD3DReset();
        SimulatedMachineTest::TearDown();
    }
    virtual void DriverInstall() {}
    virtual void DriverUninstall() {}

    std::unique_ptr<WrapperLibraryCopy> m_pLibrary;
    long m_ThreadsBefore = 0;
    long m_HandlesBefore = 0;
    long m_PausesBefore = 0;
};

// The same with one simulated driver installed, for each driver.
class WrapperExportTest : public WrapperMachineTest, public ::testing::WithParamInterface<DriverKind> {
protected:
    void DriverInstall() override {
        if (GetParam() == DriverKind::Hook) {
            m_pHook = SimHookDriver::Install();
            m_pDriver = m_pHook;
        } else {
            m_pIddCx = SimIddCxDriver::Install();
            m_pDriver = m_pIddCx;
        }
        ASSERT_NE(m_pDriver, nullptr);
    }
    void DriverUninstall() override {
        if (m_pHook != nullptr)
            m_pHook->Uninstall();
        if (m_pIddCx != nullptr)
            m_pIddCx->Uninstall();
    }

    // The Initialize export of the driver under test.
    int Initialize() {
        return GetParam() == DriverKind::Hook ? m_pLibrary->InitializeHookDriver() : m_pLibrary->InitializeIddxDriver();
    }
    void InitializeSilently() {
        const Outcome Initialized = Printed([&] { return Initialize(); });
        ASSERT_EQ(Initialized.Result, 0);
        ASSERT_EQ(Initialized.Text, "");
    }
    void PlugSilently(int First, int Second) {
        const Outcome Plugged = Printed([&] { return m_pLibrary->PlugMonitor(First, Second); });
        ASSERT_EQ(Plugged.Result, 0);
        ASSERT_EQ(Plugged.Text, "");
    }
    // An export expected to return 0 and print nothing.
    void Silently(const std::function<int()>& Call) {
        const Outcome Called = Printed(Call);
        EXPECT_EQ(Called.Result, 0);
        EXPECT_EQ(Called.Text, "");
    }
    bool Plugged(uint32_t MonitorIndex) const {
        return m_pHook != nullptr ? m_pHook->MonitorIsPlugged(0, MonitorIndex) : m_pIddCx->MonitorIsPlugged(MonitorIndex);
    }
    std::vector<bool> PluggedSlots() const { return {Plugged(0), Plugged(1), Plugged(2)}; }
    std::vector<uint8_t> DescriptionRecord(uint32_t MonitorIndex) const {
        return m_pHook != nullptr ? m_pHook->MonitorDescriptionGet(0, MonitorIndex).Record
                                  : m_pIddCx->MonitorDescriptionGet(MonitorIndex).Record;
    }
    size_t Requests(DWORD Code) { return m_pDriver->Requests().CountOfCode(Code); }

    std::shared_ptr<SimHookDriver> m_pHook;
    std::shared_ptr<SimIddCxDriver> m_pIddCx;
    std::shared_ptr<SimDriverBase> m_pDriver;
};

TEST_P(WrapperExportTest, InitializeOpensTheDriverSilently) {
    InitializeSilently();
    EXPECT_EQ(m_pDriver->FileOpenCount(), 1u);
}

TEST_P(WrapperExportTest, PlugSendsTheSecondValueFirst) {
    InitializeSilently();
    PlugSilently(1080, 1920);
    EXPECT_EQ(PluggedSlots(), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(Requests(ALIoctlCode::MonitorPlug), 1u);
    EXPECT_EQ(DescriptionRecord(0), MonitorDescriptionMake(0, 0, 1920, 1080));
}

TEST_P(WrapperExportTest, DisplayIdIsTheTargetIdOnlyOnTheIndirectDriver) {
    InitializeSilently();
    EXPECT_EQ(m_pLibrary->GetDisplayId(), 0);  // no monitor yet
    EXPECT_EQ(LinesContaining(L"ALApiHighLevel::DisplayMonitorAssignmentEnumerate "
                              L"HardwareClientCustomInstanceEnumerate failed! EnumIdx:0\n"),
              1u);
    PlugSilently(1080, 1920);
    int Expected = 0;
    if (GetParam() == DriverKind::IddCx) {
        const auto Plugs = m_pDriver->Requests().ListOfCode(ALIoctlCode::MonitorPlug);
        ASSERT_EQ(Plugs.size(), 1u);
        Expected = static_cast<int>(Plugs[0].OutputReturnedAs<MonitorPlugInfoOut>().VideoPresentTargetId);
        EXPECT_EQ(Expected, static_cast<int>(SimIddCxDriver::TargetIdBase));
    }
    EXPECT_EQ(m_pLibrary->GetDisplayId(), Expected);
    EXPECT_EQ(m_pLibrary->GetDisplayId(), Expected);
}

TEST_P(WrapperExportTest, SecondUnplugChangesNothing) {
    InitializeSilently();
    PlugSilently(1080, 1920);
    Silently([&] { return m_pLibrary->UnplugMonitor(); });
    EXPECT_FALSE(Plugged(0));
    EXPECT_EQ(Requests(ALIoctlCode::MonitorUnplug), 1u);
    const size_t RequestsBefore = m_pDriver->Requests().Count();
    const std::wstring NotFound = L"ALListFrameBufferThreads::TerminateByDeviceHandle failed! Thread not found...\n";
    EXPECT_EQ(LinesContaining(NotFound), 0u);

    Silently([&] { return m_pLibrary->UnplugMonitor(); });
    EXPECT_EQ(LinesContaining(NotFound), 1u);
    EXPECT_EQ(m_pDriver->Requests().Count(), RequestsBefore);
    EXPECT_EQ(m_pDriver->FileOpenCount(), 1u);
    EXPECT_EQ(MachineThreadsLive(), m_ThreadsBefore);
}

TEST_P(WrapperExportTest, TwoPlugsRunTwoMonitorsAndUnplugStopsTheSecond) {
    InitializeSilently();
    PlugSilently(1080, 1920);
    PlugSilently(768, 1024);
    EXPECT_EQ(PluggedSlots(), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(DescriptionRecord(1), MonitorDescriptionMake(0, 1, 1024, 768));
    EXPECT_EQ(m_pLibrary->UnplugMonitor(), 0);
    EXPECT_EQ(PluggedSlots(), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(m_pLibrary->Uninitialize(), 0);
    EXPECT_EQ(PluggedSlots(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(m_pDriver->FileOpenCount(), 0u);
}

TEST_P(WrapperExportTest, FourthPlugFailsPausesAndStopsEverything) {
    InitializeSilently();
    PlugSilently(1080, 1920);
    PlugSilently(1080, 1920);
    PlugSilently(1080, 1920);
    ASSERT_EQ(PluggedSlots(), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(MachineConsolePausesGet(), m_PausesBefore);

    const Outcome Fourth = Printed([&] { return m_pLibrary->PlugMonitor(1080, 1920); });
    EXPECT_EQ(Fourth.Result, 0);
    EXPECT_EQ(Fourth.Text, kPlugFailed);
    EXPECT_EQ(MachineConsolePausesGet(), m_PausesBefore + 1);
    EXPECT_EQ(LinesContaining(L"ALApiHighLevel::DisplayMonitorPlug failed! MenuSettings.MonitorIndex (3) >= 3\n"), 1u);
    EXPECT_EQ(PluggedSlots(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(Requests(ALIoctlCode::MonitorPlug), 3u);
    EXPECT_EQ(Requests(ALIoctlCode::MonitorUnplug), 3u);
    EXPECT_EQ(m_pDriver->FileOpenCount(), 0u);
    EXPECT_EQ(MachineThreadsLive(), m_ThreadsBefore);
}

TEST_P(WrapperExportTest, UninitializeThenInitializeAgain) {
    InitializeSilently();
    PlugSilently(1080, 1920);
    Silently([&] { return m_pLibrary->Uninitialize(); });
    EXPECT_FALSE(Plugged(0));
    EXPECT_EQ(m_pDriver->FileOpenCount(), 0u);
    EXPECT_EQ(MachineThreadsLive(), m_ThreadsBefore);

    InitializeSilently();
    EXPECT_EQ(m_pDriver->FileOpenCount(), 1u);
    PlugSilently(600, 800);
    EXPECT_EQ(PluggedSlots(), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(DescriptionRecord(0), MonitorDescriptionMake(0, 0, 800, 600));
}

TEST_P(WrapperExportTest, ExportsBeforeInitializeDoNothing) {
    const struct {
        const char* pName;
        std::function<int()> Call;
    } Calls[] = {
        {"PlugMonitor", [&] { return m_pLibrary->PlugMonitor(1080, 1920); }},
        {"UnplugMonitor", [&] { return m_pLibrary->UnplugMonitor(); }},
        {"GetDisplayId", [&] { return m_pLibrary->GetDisplayId(); }},
        {"Uninitialize", [&] { return m_pLibrary->Uninitialize(); }},
    };
    const size_t LinesBefore = MachineDebugLineCount();
    for (const auto& Entry : Calls) {
        SCOPED_TRACE(Entry.pName);
        Silently(Entry.Call);
    }
    EXPECT_EQ(MachineDebugLineCount(), LinesBefore);  // the API was not reached
    EXPECT_EQ(m_pDriver->Requests().Count(), 0u);
    EXPECT_EQ(m_pDriver->FileOpenCount(), 0u);
    EXPECT_EQ(MachineConsolePausesGet(), m_PausesBefore);
    // And an Initialize export still works afterwards.
    InitializeSilently();
    PlugSilently(1080, 1920);
    EXPECT_TRUE(Plugged(0));
}

INSTANTIATE_TEST_SUITE_P(Drivers, WrapperExportTest, ::testing::Values(DriverKind::Hook, DriverKind::IddCx),
                         DriverName);

// Without the driver's control device.
struct AbsentCase {
    const char* pName;
    WrapperLibraryCopy::InitializeFunction WrapperLibraryCopy::*pInitialize;
    const wchar_t* pLogged;
};

void PrintTo(const AbsentCase& Case, std::ostream* pStream) { *pStream << Case.pName; }

class WrapperDriverAbsentTest : public WrapperMachineTest, public ::testing::WithParamInterface<AbsentCase> {};

TEST_P(WrapperDriverAbsentTest, InitializeFailsWithItsText) {
    const AbsentCase& Case = GetParam();
    const Outcome Initialized = Printed([&] { return (m_pLibrary.get()->*Case.pInitialize)(); });
    EXPECT_EQ(Initialized.Result, 1);
    EXPECT_EQ(Initialized.Text, kInitializeFailed);
    EXPECT_EQ(LinesContaining(Case.pLogged), 1u);
    // Calls that follow reach the API but find nothing to do.
    for (auto* pExport : {m_pLibrary->GetDisplayId, m_pLibrary->UnplugMonitor, m_pLibrary->Uninitialize}) {
        const Outcome Called = Printed(pExport);
        EXPECT_EQ(Called.Result, 0);
        EXPECT_EQ(Called.Text, "");
    }
    EXPECT_EQ(MachineConsolePausesGet(), m_PausesBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, WrapperDriverAbsentTest,
    ::testing::Values(AbsentCase{"Hook", &WrapperLibraryCopy::InitializeHookDriver,
                                 L"ALApiHighLevel::Initialize failed! Hook driver not available"},
                      AbsentCase{"IddCx", &WrapperLibraryCopy::InitializeIddxDriver,
                                 L"ALApiHighLevel::Initialize failed! IddCx driver not available"}),
    [](const ::testing::TestParamInfo<AbsentCase>& Info) { return std::string(Info.param.pName); });

TEST_F(WrapperMachineTest, OnlyTheSixExportsAreVisible) {
    // A C++ function of the library and a global variable (unmangled) stay hidden.
    EXPECT_EQ(m_pLibrary->SymbolGet("_Z11NimboApiGetv"), nullptr);
    EXPECT_EQ(m_pLibrary->SymbolGet("DebugLevelAL"), nullptr);
    EXPECT_NE(m_pLibrary->SymbolGet("PlugMonitor"), nullptr);
}

}  // namespace
