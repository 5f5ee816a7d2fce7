#include "posix/DemoDriverSideSimulated.h"

#include <algorithm>

#include "platform/machine.h"
#include "support/ALDebugLog.h"

std::unique_ptr<DemoDriverSide> DemoDriverSide::Create() { return std::make_unique<DemoDriverSideSimulated>(); }

DemoDriverSideSimulated::~DemoDriverSideSimulated() {
    ContentStop();
    Finish();
}

std::string DemoDriverSideSimulated::DescriptionGet(const DemoOptions& Options) const {
    return Options.DriverKind == DemoOptions::Driver::Hook ? "the simulated hook display driver"
                                                           : "the simulated indirect display driver";
}

bool DemoDriverSideSimulated::Prepare(const DemoOptions& Options, std::string* pError) {
    // A long-running host: the machine keeps no copy of the debug output.
    MachineDebugRecordSet(false);
    if (Options.bDebugLevelGiven) {
        MachineDebugEchoSet(Options.DebugLevel != 0);
        if (!PrivateDebugLevelSeed(Options.DebugLevel, pError))
            return false;
    }
    m_SlotCount = std::max<uint32_t>(3, Options.MonitorCount);
    if (Options.DriverKind == DemoOptions::Driver::Hook) {
        SimHookDriver::Config Settings;
        Settings.MonitorCount = m_SlotCount;
        m_AdapterCount = static_cast<uint32_t>(Settings.AdaptersActive.size());
        m_pHookDriver = SimHookDriver::Install(Settings);
    } else {
        SimIddCxDriver::Config Settings;
        Settings.MonitorCount = m_SlotCount;
        m_AdapterCount = 1;
        m_pIddCxDriver = SimIddCxDriver::Install(Settings);
    }
    if (m_pHookDriver == nullptr && m_pIddCxDriver == nullptr) {
        *pError = "the simulated driver could not be registered";
        return false;
    }
    return true;
}

bool DemoDriverSideSimulated::PrivateDebugLevelSeed(uint32_t Level, std::string* pError) {
    // Where the library reads its level, as an administrator would set it.
    HKEY hKey = nullptr;
    LSTATUS Status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\vantorService", 0,
                                     nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr);
    if (Status == ERROR_SUCCESS) {
        const DWORD Value = Level;
        Status = RegSetValueExW(hKey, L"DebugLevelAL", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Value),
                                sizeof(Value));
        RegCloseKey(hKey);
    }
    if (Status != ERROR_SUCCESS) {
        *pError = "DebugLevelAL could not be written to the simulated registry (error " + std::to_string(Status) + ")";
        return false;
    }
    // The library read its level (and wrote its header) when it was
    // loaded, with this process, before the value existed: have it do both
    // again, as a library loaded now would.
    ALDebugLevelRead();
    ALDebugHeaderPrint();
    return true;
}

std::shared_ptr<DemoPresentationClock> DemoDriverSideSimulated::PresentationClockCreate() {
    auto pEntry = std::make_unique<Monitor>();
    pEntry->pLog = std::make_shared<DemoPresentationLog>();
    m_Monitors.push_back(std::move(pEntry));
    return m_Monitors.back()->pLog;
}

bool DemoDriverSideSimulated::PrivateSlotTaken(uint32_t AdapterIndex, uint32_t SlotIndex) const {
    for (const auto& pEntry : m_Monitors)
        if (pEntry->bPlugged && pEntry->AdapterIndex == AdapterIndex && pEntry->SlotIndex == SlotIndex)
            return true;
    return false;
}

bool DemoDriverSideSimulated::PrivateSlotFind(uint32_t* pAdapterIndex, uint32_t* pSlotIndex, uint32_t* pWidth,
                                              uint32_t* pHeight) const {
    for (uint32_t Adapter = 0; Adapter < m_AdapterCount; ++Adapter) {
        for (uint32_t Slot = 0; Slot < m_SlotCount; ++Slot) {
            if (PrivateSlotTaken(Adapter, Slot))
                continue;
            const bool bPlugged = m_pHookDriver != nullptr ? m_pHookDriver->MonitorIsPlugged(Adapter, Slot)
                                                           : m_pIddCxDriver->MonitorIsPlugged(Slot);
            if (!bPlugged)
                continue;
            const SimMonitorDescription Description = m_pHookDriver != nullptr
                                                          ? m_pHookDriver->MonitorDescriptionGet(Adapter, Slot)
                                                          : m_pIddCxDriver->MonitorDescriptionGet(Slot);
            *pAdapterIndex = Adapter;
            *pSlotIndex = Slot;
            *pWidth = Description.WidthGet();
            *pHeight = Description.HeightGet();
            return true;
        }
    }
    return false;
}

bool DemoDriverSideSimulated::MonitorPlugged(size_t Ordinal, std::string* pError) {
    if (Ordinal >= m_Monitors.size()) {
        *pError = "no presentation log for monitor " + std::to_string(Ordinal);
        return false;
    }
    Monitor& Target = *m_Monitors[Ordinal];
    uint32_t Width = 0;
    uint32_t Height = 0;
    if (!PrivateSlotFind(&Target.AdapterIndex, &Target.SlotIndex, &Width, &Height)) {
        *pError = "the simulated driver has no new monitor after the plug";
        return false;
    }
    Target.bPlugged = true;
    Target.pLog->PatternSizeSet(Width, Height);
    return true;
}

bool DemoDriverSideSimulated::PrivatePresent(Monitor& Target) {
    // Only this thread draws on the monitor, so the driver's count names
    // the frame about to be drawn.
    const uint64_t Frame = m_pHookDriver != nullptr ? m_pHookDriver->FrameCountGet(Target.AdapterIndex, Target.SlotIndex)
                                                    : m_pIddCxDriver->FrameCountGet(Target.SlotIndex);
    Target.pLog->PresentBegin(Frame);
    bool bTaken = false;
    int64_t PublishTicks = 0;
    if (m_pHookDriver != nullptr) {
        bTaken = m_pHookDriver->FramePresent(Target.AdapterIndex, Target.SlotIndex);
        PublishTicks = bTaken ? m_pHookDriver->FramePublishTicksGet(Target.AdapterIndex, Target.SlotIndex) : 0;
    } else {
        bTaken = m_pIddCxDriver->FramePresent(Target.SlotIndex);
        PublishTicks = bTaken ? m_pIddCxDriver->FramePublishTicksGet(Target.SlotIndex) : 0;
    }
    Target.pLog->PresentEnd(Frame, bTaken, PublishTicks);
    return bTaken;
}

bool DemoDriverSideSimulated::ContentStart(std::string* pError) {
    for (auto& pTarget : m_Monitors) {
        if (!pTarget->bPlugged || pTarget->pPresenter != nullptr)
            continue;
        // The hook driver drew the first frame when the monitor was plugged.
        // Announce all of it, as Windows repaints a desktop that became
        // visible: the library's own whole-frame update after mapping is
        // cut to the first presented rectangle when both meet in the ring.
        if (m_pHookDriver != nullptr) {
            const SimMonitorDescription Description =
                m_pHookDriver->MonitorDescriptionGet(pTarget->AdapterIndex, pTarget->SlotIndex);
            const RECT Whole{0, 0, static_cast<LONG>(Description.WidthGet()), static_cast<LONG>(Description.HeightGet())};
            m_pHookDriver->FrameUpdateAnnounce(pTarget->AdapterIndex, pTarget->SlotIndex, Whole, 0);
        }
        Monitor* pMonitor = pTarget.get();
        pTarget->pPresenter = std::make_unique<SimFramePresenter>([this, pMonitor] { return PrivatePresent(*pMonitor); },
                                                                  FramesPerSecond);
        if (!pTarget->pPresenter->Start()) {
            *pError = "a presenter could not be started";
            return false;
        }
    }
    return true;
}

void DemoDriverSideSimulated::ContentStop() {
    for (auto& pTarget : m_Monitors)
        if (pTarget->pPresenter != nullptr)
            pTarget->pPresenter->Stop();
}

bool DemoDriverSideSimulated::FramesPresentedGet(size_t Ordinal, uint64_t* pCount) const {
    if (Ordinal >= m_Monitors.size() || !m_Monitors[Ordinal]->bPlugged)
        return false;
    *pCount = m_Monitors[Ordinal]->pLog->FramesPresentedGet();
    return true;
}

void DemoDriverSideSimulated::Finish() {
    ContentStop();
    for (auto& pTarget : m_Monitors)
        pTarget->pPresenter.reset();
    if (m_pHookDriver != nullptr)
        m_pHookDriver->Uninstall();
    if (m_pIddCxDriver != nullptr)
        m_pIddCxDriver->Uninstall();
    m_pHookDriver.reset();
    m_pIddCxDriver.reset();
}
