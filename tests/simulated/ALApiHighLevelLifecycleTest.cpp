// The high-level API around the monitors: initialising for either driver,
// uninitialising with and without unplugging, the monitors left plugged and
// unplugged later on power resume, the adapter check, the display
// configuration reset, and the device notifications a host forwards.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "ApiHighLevelFixture.h"
#include "DisplayDeviceNode.h"
#include "driver/ALIoctlCode.h"

namespace {

class ALApiHighLevelLifecycleTest : public ApiHighLevelTest {};

TEST_F(ALApiHighLevelLifecycleTest, InitializeOpensTheChosenDriverAndRefusesOthers) {
    EXPECT_FALSE(m_pApi->Initialize(kHookPath, 2));
    EXPECT_TRUE(Logged(L"ALApiHighLevel::Initialize failed! Unknown API Type:2\n"));
    EXPECT_EQ(m_pApi->ApiTypeGet(), 0);
    EXPECT_TRUE(Initialize(1));
    EXPECT_EQ(m_pApi->ApiTypeGet(), 1);
    EXPECT_FALSE(Initialize(1)) << "the device is already open";
    m_pApi->Uninitialize(true);
    EXPECT_EQ(m_pApi->ApiTypeGet(), 1) << "kept by Uninitialize";
    EXPECT_TRUE(Initialize(0));
    EXPECT_EQ(m_pApi->ApiTypeGet(), 0);
}

TEST_F(ALApiHighLevelLifecycleTest, InitializeWithoutTheDriverLogsItsText) {
    m_pHookDriver->Uninstall();
    m_pIddCxDriver->Uninstall();
    EXPECT_FALSE(Initialize(0));
    EXPECT_TRUE(Logged(L"ALApiHighLevel::Initialize failed! Hook driver not available"));
    EXPECT_FALSE(Initialize(1));
    EXPECT_TRUE(Logged(L"ALApiHighLevel::Initialize failed! IddCx driver not available"));
}

// Monitors left plugged by Uninitialize(false) are remembered in list order
// and unplugged later; the walk stops at the first failure and keeps it and
// everything after it.
class ALApiHighLevelPowerResumeTest : public ApiHighLevelTest, public ::testing::WithParamInterface<int> {
protected:
    bool DriverUnplug(int ApiType, uint32_t MonitorIndex) {
        if (ApiType == 0) {
            ALDeviceControlHook Device;
            return Device.Create(kHookPath) && Device.IoctlMonitorUnplug(0, MonitorIndex);
        }
        ALDeviceControlIddCx Device;
        return Device.Create(kIddCxPath) && Device.IoctlMonitorUnplug(MonitorIndex);
    }
    std::vector<int> Remembered() {
        std::vector<int> Indices;
        for (const auto& Entry : m_pApi->ListGet().MonitorDescriptionsGet()) {
            EXPECT_EQ(Entry.AdapterIndex, 0);
            Indices.push_back(Entry.MonitorIndex);
        }
        return Indices;
    }
};

TEST_P(ALApiHighLevelPowerResumeTest, LeftPluggedMonitorsAreUnpluggedUntilTheFirstFailure) {
    const int ApiType = GetParam();
    ASSERT_TRUE(Initialize(ApiType));
    for (uint32_t Index : {2u, 0u, 1u})
        ASSERT_NE(PlugAt(Index), nullptr);
    // The driver keeps the monitors after the library's file closes.
    m_pApi->ListGet().MonitorConnectionPersistSet(nullptr, nullptr, 7, true);
    EXPECT_TRUE(Logged(L"ALListFrameBufferThreads::MonitorConnectionPersistSet IoctlMonitorPersistOnClose failed!\n"));
    MachineDebugClear();
    m_pApi->ListGet().MonitorConnectionPersistSet(&m_pApi->DeviceControlHookGet(), &m_pApi->DeviceControlIddCxGet(),
                                                  ApiType, true);
    EXPECT_FALSE(Logged(L"IoctlMonitorPersistOnClose failed!"));
    m_pApi->MonitorUnplugMissingUponPowerResume();  // nothing remembered yet: no request
    m_pApi->Uninitialize(false);
    EXPECT_EQ(Remembered(), (std::vector<int>{2, 0, 1}));
    for (uint32_t Index : {0u, 1u, 2u})
        EXPECT_TRUE(DriverHasMonitor(ApiType, Index)) << Index;

    ASSERT_TRUE(Initialize(ApiType));
    ASSERT_TRUE(DriverUnplug(ApiType, 0));  // gone behind the library's back: its unplug fails
    MachineDebugClear();
    m_pApi->MonitorUnplugMissingUponPowerResume();
    EXPECT_TRUE(Logged(L"ALListFrameBufferThreads::MonitorUnplugMissingUponPowerResume failed!\n"));
    EXPECT_EQ(Remembered(), (std::vector<int>{0, 1}));
    EXPECT_FALSE(DriverHasMonitor(ApiType, 2));
    EXPECT_TRUE(DriverHasMonitor(ApiType, 1));

    // Plugging an index again forgets it; the rest is unplugged on the next resume.
    ASSERT_NE(PlugAt(0), nullptr);
    EXPECT_EQ(Remembered(), (std::vector<int>{1}));
    m_pApi->MonitorUnplugMissingUponPowerResume();
    EXPECT_TRUE(Remembered().empty());
    EXPECT_FALSE(DriverHasMonitor(ApiType, 1));
    EXPECT_TRUE(DriverHasMonitor(ApiType, 0));
}

INSTANTIATE_TEST_SUITE_P(Drivers, ALApiHighLevelPowerResumeTest, ::testing::Values(0, 1),
                         [](const auto& Info) { return Info.param == 0 ? "Hook" : "Indirect"; });

TEST_F(ALApiHighLevelLifecycleTest, UninitializeWithUnplugRemembersNothingAndClosesBothDevices) {
    ASSERT_TRUE(Initialize(0));
    ASSERT_NE(Plug(), nullptr);
    ASSERT_NE(Plug(), nullptr);
    m_pApi->Uninitialize(true);
    EXPECT_TRUE(m_pApi->ListGet().MonitorDescriptionsGet().empty());
    EXPECT_EQ(m_pApi->ListGet().ThreadCountGet(), 0u);
    EXPECT_FALSE(DriverHasMonitor(0, 0));
    EXPECT_FALSE(DriverHasMonitor(0, 1));
    EXPECT_EQ(m_pLog->CountOf(RecordedCall::Kind::MonitorStop), 2u);
    EXPECT_TRUE(m_pLog->IsDeleted());
    EXPECT_TRUE(Initialize(0)) << "the device was closed";
}

struct AdapterCase {
    const char* Name;
    std::vector<bool> AdaptersActive;
    bool bDeviceOpen;
    int ApiType;
    bool bExpected;
};

class ALApiHighLevelAdapterTest : public ApiHighLevelTest, public ::testing::WithParamInterface<AdapterCase> {};

TEST_P(ALApiHighLevelAdapterTest, InitializationIsNeededWithoutAnActiveHookAdapter) {
    const AdapterCase& Case = GetParam();
    m_pHookDriver->Uninstall();
    SimHookDriver::Config Settings;
    Settings.AdaptersActive = Case.AdaptersActive;
    m_pHookDriver = SimHookDriver::Install(Settings);
    if (Case.bDeviceOpen) {
        ASSERT_TRUE(Initialize(0));
    }
    EXPECT_EQ(m_pApi->IsInitializationNeeded(Case.ApiType), Case.bExpected);
    EXPECT_EQ(Logged(L"ALApiHighLevel::IsInitializationNeeded IoctlHookDriverAdapterIsActive failed! No active "
                     L"adapter found\n"),
              Case.bExpected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ALApiHighLevelAdapterTest,
                         ::testing::Values(AdapterCase{"FirstActive", {true}, true, 0, false},
                                           AdapterCase{"ThirdActive", {false, false, true}, true, 0, false},
                                           AdapterCase{"NoneActive", {false, false}, true, 0, true},
                                           AdapterCase{"DeviceClosed", {true}, false, 0, true},
                                           AdapterCase{"OtherTypeAsksTheHookDriver", {true}, false, 5, true},
                                           AdapterCase{"IndirectNeverNeedsIt", {false}, false, 1, false}),
                         [](const auto& Info) { return Info.param.Name; });

TEST_F(ALApiHighLevelLifecycleTest, DisplayConfigurationResetDeletesTheThreeSubtrees) {
    const wchar_t* kTrees[] = {L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers\\Connectivity\\Set1",
                               L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers\\Configuration\\Set1",
                               L"System\\CurrentControlSet\\Control\\class\\Enum\\Entry"};
    for (const wchar_t* pTree : kTrees)
        DwordWrite(pTree, L"Value", 1, REG_DWORD);
    DwordWrite(L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers\\Other", L"Value", 1, REG_DWORD);
    m_pApi->DisplayConfigurationReset();
    EXPECT_FALSE(MachineRegistryKeyExists(L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers\\Connectivity"));
    EXPECT_FALSE(MachineRegistryKeyExists(L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers\\Configuration"));
    EXPECT_FALSE(MachineRegistryKeyExists(L"SYSTEM\\CurrentControlSet\\Control\\Class\\Enum"));
    EXPECT_TRUE(MachineRegistryKeyExists(L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers\\Other"));
    MachineDebugClear();
    m_pApi->DisplayConfigurationReset();  // again: each deletion fails on its own, none stops the others
    size_t Failures = 0;
    for (const auto& Line : MachineDebugLines())
        Failures += Line.find(L"failed!") != std::wstring::npos;
    EXPECT_EQ(Failures, 3u);
}

}  // namespace

namespace {

// A host that unloads the library without Uninitialize: the object's end
// stops its threads and unplugs their monitors instead of leaving threads
// that run against destroyed members.
TEST_F(ALApiHighLevelLifecycleTest, DestructionEndsThreadsTheHostLeftRunning) {
    ASSERT_TRUE(Initialize(1));
    ASSERT_NE(Plug(), nullptr);
    ASSERT_NE(Plug(), nullptr);
    m_pApi.reset();
    // The module reference stays: the module is going away anyway.
    m_ModuleReferencesKept = 1;
    EXPECT_TRUE(Logged(L"ALApiHighLevel::~ALApiHighLevel threads still running, ending them\n"));
    EXPECT_EQ(m_pLog->CountOf(RecordedCall::Kind::MonitorStop), 2u);
    EXPECT_FALSE(DriverHasMonitor(1, 0));
    EXPECT_FALSE(DriverHasMonitor(1, 1));
}

}  // namespace

namespace {

// While monitors may run the library keeps its own module loaded, so that a
// host's unload without Uninitialize cannot unmap code its threads run; the
// reference is given back by Uninitialize.
TEST_F(ALApiHighLevelLifecycleTest, ModuleStaysReferencedFromTheFirstPlugUntilUninitialize) {
    ASSERT_TRUE(Initialize(0));
    EXPECT_EQ(MachineModuleReferencesLive(), m_ModuleReferencesBefore);
    RecordingMonitorInstance* pFirst = Plug();
    ASSERT_NE(pFirst, nullptr);
    ASSERT_NE(Plug(), nullptr);
    EXPECT_EQ(MachineModuleReferencesLive(), m_ModuleReferencesBefore + 1);
    m_pApi->DisplayMonitorUnplug(pFirst, true);
    EXPECT_EQ(MachineModuleReferencesLive(), m_ModuleReferencesBefore + 1);
    m_pApi->Uninitialize(true);
    EXPECT_EQ(MachineModuleReferencesLive(), m_ModuleReferencesBefore);
    m_pApi->Uninitialize(true);  // nothing more to give back
    EXPECT_EQ(MachineModuleReferencesLive(), m_ModuleReferencesBefore);
}

}  // namespace
