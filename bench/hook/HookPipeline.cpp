#include "HookPipeline.h"

#include <vector>

#include "platform/machine.h"
#include "support/ALDebugLog.h"

HookPipeline::HookPipeline(UINT32 Width, UINT32 Height) {
    DebugLevelAL = 0;
    MachineDebugRecordSet(false);
    m_pDriver = SimHookDriver::Install();
    if (m_pDriver == nullptr || !m_Device.Create(L"\\\\.\\NimboHookCtrlvantor"))
        return;
    m_pInstance = new HookTimingInstance(Width, Height);
    m_pThread = std::make_unique<ALThreadFrameBufferHook>(&m_Device);
    m_bStarted = m_pThread->Start(m_pInstance, 0);
    if (!m_bStarted) {
        delete m_pInstance;
        m_pInstance = nullptr;
        return;
    }
    // The whole frame that follows the mapping.
    m_bStarted = WaitForSingleObject(m_pInstance->UpdatedGet(), 10000) == WAIT_OBJECT_0;
    m_pDriver->PointerShapeSet(0, 0, 32, 32, std::vector<uint8_t>(32 * 32 * 4, 0xFF));
}

HookPipeline::~HookPipeline() {
    if (m_pInstance != nullptr) {
        m_pThread->RequestExit(true);
        m_pThread->WaitForExit(INFINITE);
    }
    m_pThread.reset();
    m_Device.Destroy();
    if (m_pDriver != nullptr)
        m_pDriver->Uninstall();
    MachineDebugRecordSet(true);
}
