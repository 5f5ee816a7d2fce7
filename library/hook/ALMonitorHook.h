// The monitor object of the hook driver path, member of its frame-buffer
// thread: the four events through which the driver wakes the thread, plug and
// unplug, map and unmap of the frame buffer, and the two rings the driver
// fills in shared memory (monitor events, update rectangles).
//
// Plug runs on the thread that starts the frame-buffer thread, everything
// else on the worker; no lock.
#pragma once

#include <cstdint>

#include "driver/ALDeviceControlHook.h"
#include "driver/ALHookSharedRecords.h"
#include "hook/ALCircularBufferReader.h"
#include "platform/win32.h"

class ALMonitorHook {
public:
    ALMonitorHook();
    // Closes the events; neither unmaps nor unplugs.
    ~ALMonitorHook();
    ALMonitorHook(const ALMonitorHook&) = delete;
    ALMonitorHook& operator=(const ALMonitorHook&) = delete;

    // Subscribes to the monitor's events, sends the EDID (when given) and
    // plugs the monitor. Writes both indexes into the first two u32 of each
    // record. *pbAlreadyPlugged: the driver had the monitor already.
    bool Plug(ALDeviceControlHook& DeviceControl, INT32 AdapterIndex, INT32 MonitorIndex,
              UINT32 CountByteMonitorDescriptionInfo, BYTE* pMonitorDescriptionInfo, UINT32 CountByteMonitorEdidInfo,
              BYTE* pMonitorEdidInfo, bool* pbAlreadyPlugged);
    bool Unplug(ALDeviceControlHook& DeviceControl);
    bool Map(ALDeviceControlHook& DeviceControl, IoctlInfoMonitorFrameBuffer* pIoctlInfoMonitorFrameBuffer);
    bool Unmap(ALDeviceControlHook& DeviceControl, IoctlInfoMonitorFrameBuffer* pIoctlInfoMonitorFrameBuffer,
               bool bQuiet);
    bool IsMapped() const { return m_bMapped; }
    UINT32 PointerEventsEnabledGet() const { return m_EventsSubscribeInfo.PointerEventsEnabled; }

    // The oldest monitor event; false (record all zero) when there is none.
    bool CircularBufferMonitorEventsRetrieve(NIMBO_MONITOR_EVENT* pEventMonitor);
    // True when the driver flagged lost update entries; the ring is then
    // emptied and the flag cleared.
    bool OverflowCheckAndDrain();
    // Empties the update ring into one bounding rectangle (the first entry as
    // it is, later ones merged within Width x Height) and the flag set.
    bool UpdateRectanglesRetrieve(UINT32 Width, UINT32 Height, RECT* pRectangle, UINT32* pFlags);

    bool ZeroCopyUpdate(ALDeviceControlHook& DeviceControl, void** ppFrameBufferZeroCopy, UINT32* pPitch,
                        void** ppFrameBufferAuxiliaryZeroCopy, UINT32* pFrameBufferAuxiliaryPitch);
    bool ZeroCopyUnmap(ALDeviceControlHook& DeviceControl, void* pFrameBufferAuxiliaryZeroCopy);

    HANDLE EventMonitorGet() const { return m_hEventMonitor; }
    HANDLE EventFramebufferChangedGet() const { return m_hEventFramebufferChanged; }
    HANDLE EventPointerPositionChangedGet() const { return m_hEventPointerPositionChanged; }
    HANDLE EventPointerShapeChangedGet() const { return m_hEventPointerShapeChanged; }
    void EventMonitorReset();
    void EventFramebufferChangedReset();
    void EventPointerPositionChangedReset();
    void EventPointerShapeChangedReset();

private:
    void PrivateUpdatesDiscard();

    INT32 m_AdapterIndex;
    INT32 m_MonitorIndex;
    EventsSubscribeInfo m_EventsSubscribeInfo;
    HANDLE m_hEventMonitor;
    HANDLE m_hEventFramebufferChanged;
    HANDLE m_hEventPointerPositionChanged;
    HANDLE m_hEventPointerShapeChanged;
    bool m_bMapped;
    // Readers of the two rings: attached while subscribed and while mapped,
    // so no ring is read once the driver may have taken it away.
    ALCircularBufferReader m_RingMonitorEvents;
    ALCircularBufferReader m_RingUpdates;
};
