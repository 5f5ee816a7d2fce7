#include "RobustnessTest.h"

#include "support/ALDebugLog.h"

void RobustnessTest::SetUp() {
    MachineDeviceReset();
    MachineRegistryReset();
    MachineProcessSecurityReset();
    MachineD3DReset();
    MachineDebugClear();
    // As on an installed system: the service key holds the pointer switch
    // (emulation), so reading it logs no failure.
    RegistryDwordWrite(L"SYSTEM\\CurrentControlSet\\Services\\vantorService", L"HardwarePointerEmulationDisable", 0,
                       REG_DWORD);
    m_Before = MachineCounters::Read();
    SimHookDriver::Config HookSettings;
    HookSettings.MonitorCount = kSlots;
    m_pHookDriver = SimHookDriver::Install(HookSettings);
    SimIddCxDriver::Config IddCxSettings;
    IddCxSettings.MonitorCount = kSlots;
    m_pIddCxDriver = SimIddCxDriver::Install(IddCxSettings);
    ASSERT_NE(m_pHookDriver, nullptr);
    ASSERT_NE(m_pIddCxDriver, nullptr);
    m_pApi = std::make_unique<ALApiHighLevel>();
    // Set after the constructor, which reads the level from the registry.
    m_LevelBefore = DebugLevelAL;
    DebugLevelAL = AL_DEBUG_ERROR;
    MachineClockScaleSet(kClockScale);
}

void RobustnessTest::TearDown() {
    if (m_pApi != nullptr)
        m_pApi->Uninitialize(true);
    m_pApi.reset();
    for (uint32_t Index = 0; Index < kSlots; ++Index) {
        EXPECT_FALSE(DriverHasMonitor(DriverKind::Hook, Index)) << "hook monitor " << Index << " left plugged";
        EXPECT_FALSE(DriverHasMonitor(DriverKind::Indirect, Index)) << "indirect monitor " << Index << " left plugged";
    }
    EXPECT_EQ(m_pHookDriver->FileOpenCount(), 0u);
    EXPECT_EQ(m_pIddCxDriver->FileOpenCount(), 0u);
    EXPECT_EQ(m_pHookDriver->ViewCount(), 0u) << "a view of the hook driver's memory is still mapped";
    EXPECT_EQ(m_pIddCxDriver->TexturesInUseCount(), 0u) << "a frame texture of the driver is still held";
    m_pHookDriver->Uninstall();
    m_pIddCxDriver->Uninstall();
    m_pHookDriver.reset();
    m_pIddCxDriver.reset();
    MachineDeviceReset();
    MachineD3DReset();
    MachineClockScaleSet(1.0);
    EXPECT_EQ(MachineCounters::Read(), m_Before) << "before: " << m_Before.Text()
                                                 << "\nafter:  " << MachineCounters::Read().Text();
    DebugLevelAL = m_LevelBefore;
    MachineProcessSecurityReset();
}

const wchar_t* RobustnessTest::DevicePath(DriverKind Driver) {
    return Driver == DriverKind::Hook ? L"\\\\.\\NimboHookCtrlvantor" : L"\\\\.\\NimboIndirectCtrlkorvaxHalden";
}

bool RobustnessTest::Initialize(DriverKind Driver) {
    return m_pApi->Initialize(DevicePath(Driver), static_cast<int>(Driver));
}

void RobustnessTest::RegistryDwordWrite(const std::wstring& KeyPath, const wchar_t* pName, uint32_t Value,
                                        DWORD Type) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(hKey, pName, 0, Type, reinterpret_cast<const BYTE*>(&Value), sizeof(Value)),
              ERROR_SUCCESS);
    RegCloseKey(hKey);
}

void RobustnessTest::StoredIndexWrite(uint32_t Index) {
    RegistryDwordWrite(std::wstring(L"Software\\quillark\\Nimbo\\Enum\\") + CountingMonitorInstance::InstanceId,
                       L"MonitorAssignment", Index, REG_BINARY);
}

PluggedMonitor RobustnessTest::PlugAt(uint32_t Index) {
    StoredIndexWrite(Index);
    PluggedMonitor Monitor;
    Monitor.pTally = std::make_shared<MonitorTally>();
    Monitor.Index = Index;
    auto* pInstance = new CountingMonitorInstance(Monitor.pTally, kWidth, kHeight);
    Monitor.bPlugged = m_pApi->DisplayMonitorPlug(pInstance);
    if (Monitor.bPlugged)
        Monitor.pInstance = pInstance;
    else
        delete pInstance;  // a failed plug leaves the instance with its caller
    return Monitor;
}

void RobustnessTest::Unplug(PluggedMonitor& Monitor, bool bUnplug) {
    if (!Monitor.bPlugged)
        return;
    m_pApi->DisplayMonitorUnplug(Monitor.pInstance, bUnplug);
    Monitor.bPlugged = false;
    Monitor.pInstance = nullptr;
}

bool RobustnessTest::FramePresent(DriverKind Driver, const PluggedMonitor& Monitor, uint32_t Flags) {
    return Driver == DriverKind::Hook ? m_pHookDriver->FramePresent(0, Monitor.Index, Flags)
                                      : m_pIddCxDriver->FramePresent(Monitor.Index);
}

bool RobustnessTest::FirstFrameAwait(DriverKind Driver, const PluggedMonitor& Monitor) {
    if (Driver == DriverKind::Hook)
        return Monitor.pTally->WaitForCount(MonitorTally::Kind::FrameBufferUpdate, 1, kSafetyMilliseconds);
    return FrameDeliver(Driver, Monitor);
}

bool RobustnessTest::FrameDeliver(DriverKind Driver, const PluggedMonitor& Monitor, uint32_t Flags) {
    const uint64_t Before = Monitor.pTally->CountOf(MonitorTally::Kind::FrameBufferUpdate);
    return FramePresent(Driver, Monitor, Flags) &&
           Monitor.pTally->WaitForCount(MonitorTally::Kind::FrameBufferUpdate, Before + 1, kSafetyMilliseconds);
}

bool RobustnessTest::Quiesce(long WorkerThreads) { return MachineWaitersBlockedAwait(WorkerThreads, kSafetyMilliseconds); }

bool RobustnessTest::DriverHasMonitor(DriverKind Driver, uint32_t Index) const {
    return Driver == DriverKind::Hook ? m_pHookDriver->MonitorIsPlugged(0, Index)
                                      : m_pIddCxDriver->MonitorIsPlugged(Index);
}

SimDriverBase& RobustnessTest::DriverOf(DriverKind Driver) {
    if (Driver == DriverKind::Hook)
        return *m_pHookDriver;
    return *m_pIddCxDriver;
}

bool RobustnessTest::Logged(const std::wstring& Fragment) {
    for (const auto& Line : MachineDebugLines())
        if (Line.find(Fragment) != std::wstring::npos)
            return true;
    return false;
}

bool RobustnessTest::LogAwait(const std::wstring& Fragment) {
    return MachineDebugTextWait(Fragment, kSafetyMilliseconds);
}
