#include "indirect/ALMonitorIddCx.h"

#include <cstring>

#include "driver/ALRecordField.h"
#include "support/ALDebugLog.h"

ALMonitorIddCx::ALMonitorIddCx()
    : m_MonitorIndex(-1),
      m_hEventFramebufferChanged(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_hEventSwapchainChanged(nullptr),
      m_hEventFramebufferAvailable(nullptr),
      m_bFrameBufferEventsSubscribed(false) {}

ALMonitorIddCx::~ALMonitorIddCx() {
    if (m_hEventFramebufferChanged != nullptr)
        CloseHandle(m_hEventFramebufferChanged);
}

bool ALMonitorIddCx::Plug(ALDeviceControlIddCx& DeviceControl, INT32 MonitorIndex,
                          UINT32 CountByteMonitorDescriptionInfo, void* pMonitorDescriptionInfo,
                          UINT32* pVideoPresentTargetId, LUID* pAdapterLuid) {
    MonitorPlugInfoOut PlugInfo;
    std::memset(&PlugInfo, 0, sizeof(PlugInfo));
    const UINT32 dwMonitorIndex = static_cast<UINT32>(MonitorIndex);
    if (pMonitorDescriptionInfo != nullptr && CountByteMonitorDescriptionInfo >= 2 * sizeof(UINT32))
        std::memcpy(static_cast<BYTE*>(pMonitorDescriptionInfo) + sizeof(UINT32), &dwMonitorIndex,
                    sizeof(dwMonitorIndex));
    if (!DeviceControl.IoctlMonitorPlug(pMonitorDescriptionInfo, CountByteMonitorDescriptionInfo, &PlugInfo)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALMonitorIddCx::Plug DeviceControl.IoctlMonitorPlug failed!\n");
        return false;
    }
    m_hEventSwapchainChanged = ALRecordField::HandleFrom(PlugInfo.hEventSwapchainChanged);
    m_MonitorIndex = MonitorIndex;
    *pVideoPresentTargetId = PlugInfo.VideoPresentTargetId;
    std::memcpy(pAdapterLuid, &PlugInfo.AdapterLuid, sizeof(LUID));
    return true;
}

bool ALMonitorIddCx::Unplug(ALDeviceControlIddCx& DeviceControl) {
    return DeviceControl.IoctlMonitorUnplug(static_cast<UINT32>(m_MonitorIndex));
}

bool ALMonitorIddCx::FrameBufferEventsSubscribe(ALDeviceControlIddCx& DeviceControl,
                                                MonitorFrameBufferEventsInfo* pInfo) {
    if (m_bFrameBufferEventsSubscribed) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALMonitorIddCx::FrameBufferEventsSubscribe failed! Already mapped\n");
        return false;
    }
    if (!DeviceControl.IoctlMonitorFrameBufferEventsSubscribe(static_cast<UINT32>(m_MonitorIndex), pInfo)) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALMonitorIddCx::FrameBufferEventsSubscribe IoctlMonitorFrameBufferEventsSubscribe failed!\n");
        return false;
    }
    m_hEventFramebufferAvailable = ALRecordField::HandleFrom(pInfo->hEventFramebufferAvailable);
    m_bFrameBufferEventsSubscribed = true;
    return true;
}

void ALMonitorIddCx::FrameBufferEventsUnsubscribe() {
    if (m_hEventFramebufferAvailable != nullptr) {
        CloseHandle(m_hEventFramebufferAvailable);
        m_hEventFramebufferAvailable = nullptr;
    }
    m_bFrameBufferEventsSubscribed = false;
}

bool ALMonitorIddCx::FrameBufferResourceAcquire(ALDeviceControlIddCx& DeviceControl, RECT* pUpdateRectangle,
                                                HANDLE* phResourceShared, bool* pbIsFrameBufferUpdatePending) {
    DirectXData Data;
    std::memset(&Data, 0, sizeof(Data));
    DWORD CountBytesReturned = 0;
    if (!DeviceControl.IoctlMonitorFrameBufferDirectXAcquire(static_cast<UINT32>(m_MonitorIndex), &Data,
                                                             &CountBytesReturned)) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALMonitorIddCx::FrameBufferResourceAcquire IoctlMonitorFrameBufferDirectXAcquire failed!\n");
        return false;
    }
    *pbIsFrameBufferUpdatePending = CountBytesReturned == 0;
    if (!*pbIsFrameBufferUpdatePending) {
        *phResourceShared = ALRecordField::HandleFrom(Data.hResourceShared);
        std::memcpy(pUpdateRectangle, &Data.UpdateRectangle, sizeof(RECT));
    }
    return true;
}

void ALMonitorIddCx::EventFramebufferChangedReset() {
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALMonitorIddCx::EventFramebufferChangedReset\n");
    ResetEvent(m_hEventFramebufferChanged);
}

void ALMonitorIddCx::EventSwapchainChangedReset() {
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALMonitorIddCx::EventSwapchainChangedReset\n");
    ResetEvent(m_hEventSwapchainChanged);
}

void ALMonitorIddCx::EventSwapchainChangedClose() {
    if (m_hEventSwapchainChanged != nullptr) {
        CloseHandle(m_hEventSwapchainChanged);
        m_hEventSwapchainChanged = nullptr;
    }
}
