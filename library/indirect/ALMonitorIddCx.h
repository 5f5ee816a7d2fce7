#pragma once

#include <cstdint>

#include "driver/ALDeviceControlIddCx.h"
#include "driver/ALIddCxRecords.h"

// One virtual monitor on the indirect display driver: plugs and unplugs it,
// keeps the three events of its frame pipeline, subscribes to the driver's
// frame notifications while a swap chain is assigned and acquires each new
// frame as a shared Direct3D resource. Used without a lock by the
// frame-buffer thread (plug, subscriptions, resets, waits) and the swap-chain
// resource thread (acquisition, frame-changed signal); the fields the latter
// reads change only while it is not running.
class ALMonitorIddCx {
public:
    ALMonitorIddCx();
    ~ALMonitorIddCx();
    ALMonitorIddCx(const ALMonitorIddCx&) = delete;
    ALMonitorIddCx& operator=(const ALMonitorIddCx&) = delete;

    // Writes MonitorIndex into the description record (bytes 4-7) and plugs.
    bool Plug(ALDeviceControlIddCx& DeviceControl, INT32 MonitorIndex, UINT32 CountByteMonitorDescriptionInfo,
              void* pMonitorDescriptionInfo, UINT32* pVideoPresentTargetId, LUID* pAdapterLuid);
    bool Unplug(ALDeviceControlIddCx& DeviceControl);
    bool FrameBufferEventsSubscribe(ALDeviceControlIddCx& DeviceControl, MonitorFrameBufferEventsInfo* pInfo);
    void FrameBufferEventsUnsubscribe();
    // *pbIsFrameBufferUpdatePending true: nothing new, the other outputs
    // untouched.
    bool FrameBufferResourceAcquire(ALDeviceControlIddCx& DeviceControl, RECT* pUpdateRectangle,
                                    HANDLE* phResourceShared, bool* pbIsFrameBufferUpdatePending);

    void EventFramebufferChangedReset();
    void EventSwapchainChangedReset();
    HANDLE EventFramebufferChangedGet() const { return m_hEventFramebufferChanged; }
    HANDLE EventSwapchainChangedGet() const { return m_hEventSwapchainChanged; }
    HANDLE EventFramebufferAvailableGet() const { return m_hEventFramebufferAvailable; }
    void EventSwapchainChangedClose();

    INT32 MonitorIndexGet() const { return m_MonitorIndex; }
    bool FrameBufferEventsSubscribedIs() const { return m_bFrameBufferEventsSubscribed; }

private:
    INT32 m_MonitorIndex;
    HANDLE m_hEventFramebufferChanged;
    HANDLE m_hEventSwapchainChanged;
    HANDLE m_hEventFramebufferAvailable;
    bool m_bFrameBufferEventsSubscribed;
};
