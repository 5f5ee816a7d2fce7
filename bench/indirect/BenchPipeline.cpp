#include "BenchPipeline.h"

#include "platform/machine.h"
#include "support/ALDebugLog.h"

BenchPipeline::BenchPipeline(UINT32 Width, UINT32 Height) {
    MachineDeviceReset();
    MachineRegistryReset();
    MachineD3DReset();
    MachineDebugRecordSet(false);
    DebugLevelAL = 0;
    LARGE_INTEGER Frequency;
    QueryPerformanceFrequency(&Frequency);
    m_TicksPerSecond = static_cast<double>(Frequency.QuadPart);
    SimIddCxDriver::Config Settings;
    Settings.MonitorCount = 1;
    m_pDriver = SimIddCxDriver::Install(Settings);
    if (m_pDriver == nullptr || !m_DeviceControl.Create(L"\\\\.\\NimboIndirectCtrlkorvaxHalden"))
        return;
    m_pThread = std::make_unique<ALThreadFrameBufferIddCxApi>(&m_DeviceControl);
    auto* pInstance = new BenchMonitorInstance(Width, Height);
    if (!m_pThread->Start(pInstance, 0)) {
        delete pInstance;
        return;
    }
    m_pInstance = pInstance;
    m_bReady = m_pInstance->VisibleAwait();
}

BenchPipeline::~BenchPipeline() {
    if (m_pThread != nullptr && m_pInstance != nullptr) {
        m_pThread->RequestExit(true);
        m_pThread->WaitForExit(INFINITE);
    }
    m_pThread.reset();
    m_DeviceControl.Destroy();
    if (m_pDriver != nullptr)
        m_pDriver->Uninstall();
    m_pDriver.reset();
    MachineDeviceReset();
}

double BenchPipeline::FrameLatency() {
    const uint64_t Seen = m_pInstance->UpdatesGet();
    m_pDriver->FramePresent(0);
    const int64_t Published = m_pDriver->FramePublishTicksGet(0);
    const int64_t Began = m_pInstance->UpdateAwait(Seen);
    return static_cast<double>(Began - Published) / m_TicksPerSecond;
}
