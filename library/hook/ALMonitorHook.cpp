#include "hook/ALMonitorHook.h"

#include <cstring>

#include "driver/ALRecordField.h"
#include "support/ALDebugLog.h"
#include "support/RectangleUnionClamp.h"

namespace {

// Adapter and monitor index into the first two u32 of a record for the driver.
void RecordIndexesWrite(BYTE* pRecord, INT32 AdapterIndex, INT32 MonitorIndex) {
    const UINT32 Indexes[2] = {static_cast<UINT32>(AdapterIndex), static_cast<UINT32>(MonitorIndex)};
    std::memcpy(pRecord, Indexes, sizeof(Indexes));
}

void EventClose(HANDLE hEvent) {
    if (hEvent != nullptr)
        CloseHandle(hEvent);
}

}  // namespace

ALMonitorHook::ALMonitorHook()
    : m_AdapterIndex(-1),
      m_MonitorIndex(-1),
      m_EventsSubscribeInfo{},
      m_hEventMonitor(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_hEventFramebufferChanged(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_hEventPointerPositionChanged(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_hEventPointerShapeChanged(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_bMapped(false),
      m_RingMonitorEvents("EVT", sizeof(NIMBO_MONITOR_EVENT)),
      m_RingUpdates("UPD", sizeof(FrameBufferUpdateEntry)) {}

ALMonitorHook::~ALMonitorHook() {
    EventClose(m_hEventMonitor);
    EventClose(m_hEventFramebufferChanged);
    EventClose(m_hEventPointerPositionChanged);
    EventClose(m_hEventPointerShapeChanged);
}

bool ALMonitorHook::Plug(ALDeviceControlHook& DeviceControl, INT32 AdapterIndex, INT32 MonitorIndex,
                         UINT32 CountByteMonitorDescriptionInfo, BYTE* pMonitorDescriptionInfo,
                         UINT32 CountByteMonitorEdidInfo, BYTE* pMonitorEdidInfo, bool* pbAlreadyPlugged) {
    if (!DeviceControl.IoctlMonitorEventsSubscribe(AdapterIndex, MonitorIndex, m_hEventMonitor,
                                                   m_hEventPointerPositionChanged, m_hEventPointerShapeChanged,
                                                   &m_EventsSubscribeInfo)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALMonitorHook::Plug DeviceControl.IoctlMonitorEventsSubscribe failed!\n");
        return false;
    }
    m_RingMonitorEvents.Attach(ALRecordField::AddressFrom(m_EventsSubscribeInfo.pCircularBufferMonitorEvents));

    if (pMonitorEdidInfo != nullptr) {
        RecordIndexesWrite(pMonitorEdidInfo, AdapterIndex, MonitorIndex);
        if (!DeviceControl.IoctlMonitorEdidSet(pMonitorEdidInfo, CountByteMonitorEdidInfo))
            ALDebugPrint(AL_DEBUG_ERROR, L"ALMonitorHook::Plug DeviceControl.IoctlMonitorEdidSet failed!\n");
    }

    RecordIndexesWrite(pMonitorDescriptionInfo, AdapterIndex, MonitorIndex);
    if (!DeviceControl.IoctlMonitorPlug(pMonitorDescriptionInfo, CountByteMonitorDescriptionInfo,
                                        pbAlreadyPlugged)) {
        m_RingMonitorEvents.Detach();
        DeviceControl.IoctlMonitorEventUnsubscribe(AdapterIndex, MonitorIndex, m_hEventMonitor,
                                                   m_hEventPointerPositionChanged, m_hEventPointerShapeChanged,
                                                   m_EventsSubscribeInfo.pCircularBufferMonitorEvents);
        return false;
    }
    m_AdapterIndex = AdapterIndex;
    m_MonitorIndex = MonitorIndex;
    return true;
}

bool ALMonitorHook::Unplug(ALDeviceControlHook& DeviceControl) {
    m_RingMonitorEvents.Detach();
    DeviceControl.IoctlMonitorEventUnsubscribe(m_AdapterIndex, m_MonitorIndex, m_hEventMonitor,
                                               m_hEventPointerPositionChanged, m_hEventPointerShapeChanged,
                                               m_EventsSubscribeInfo.pCircularBufferMonitorEvents);
    return DeviceControl.IoctlMonitorUnplug(m_AdapterIndex, m_MonitorIndex);
}

bool ALMonitorHook::Map(ALDeviceControlHook& DeviceControl, IoctlInfoMonitorFrameBuffer* pIoctlInfoMonitorFrameBuffer) {
    if (m_bMapped) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALMonitorHook::Map failed! Already mapped\n");
        return false;
    }
    if (!DeviceControl.IoctlMonitorFrameBufferMap(m_AdapterIndex, m_MonitorIndex, m_hEventFramebufferChanged,
                                                  pIoctlInfoMonitorFrameBuffer)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALMonitorHook::Map IoctlMonitorFrameBufferMap failed!\n");
        return false;
    }
    m_bMapped = true;
    m_RingUpdates.Attach(ALRecordField::AddressFrom(pIoctlInfoMonitorFrameBuffer->pCircularBufferUpdates));
    return true;
}

bool ALMonitorHook::Unmap(ALDeviceControlHook& DeviceControl, IoctlInfoMonitorFrameBuffer* pIoctlInfoMonitorFrameBuffer,
                          bool bQuiet) {
    if (!m_bMapped) {
        if (!bQuiet)
            ALDebugPrint(AL_DEBUG_ERROR, L"ALMonitorHook::Unmap failed! Already unmapped\n");
        return false;
    }
    m_bMapped = false;
    m_RingUpdates.Detach();
    if (!DeviceControl.IoctlMonitorFrameBufferUnmap(m_AdapterIndex, m_MonitorIndex, m_hEventFramebufferChanged,
                                                    pIoctlInfoMonitorFrameBuffer->pFrameBuffer)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALMonitorHook::Unmap IoctlMonitorFrameBufferUnmap failed!\n");
        return false;
    }
    return true;
}

bool ALMonitorHook::CircularBufferMonitorEventsRetrieve(NIMBO_MONITOR_EVENT* pEventMonitor) {
    ALDebugPrint(AL_DEBUG_EVENT_RING, L"ALMonitorHook::CircularBufferMonitorEventsRetrieve\n");
    std::memset(pEventMonitor, 0, sizeof(*pEventMonitor));
    CircularBufferHeader Snapshot;
    m_RingMonitorEvents.HeaderRead(&Snapshot);
    ALDebugPrint(AL_DEBUG_EVENT_COUNTERS, L"EVT Producer:%d Consumer:%d    CountElements:%d CountByteElement:%d\n",
                 Snapshot.Producer, Snapshot.Consumer, Snapshot.CountElements, Snapshot.CountByteElement);
    return m_RingMonitorEvents.ElementTake(Snapshot, pEventMonitor);
}

void ALMonitorHook::PrivateUpdatesDiscard() {
    FrameBufferUpdateEntry Entry;
    while (m_RingUpdates.ElementTake(&Entry)) {
    }
}

bool ALMonitorHook::OverflowCheckAndDrain() {
    if (!m_RingUpdates.OverflowTake())
        return false;
    PrivateUpdatesDiscard();
    return true;
}

bool ALMonitorHook::UpdateRectanglesRetrieve(UINT32 Width, UINT32 Height, RECT* pRectangle, UINT32* pFlags) {
    if (pFlags != nullptr)
        *pFlags = 0;
    bool bTaken = false;
    FrameBufferUpdateEntry Entry;
    while (m_RingUpdates.ElementTake(&Entry)) {
        if (!bTaken)
            *pRectangle = Entry.RectDestination;
        else
            RectangleUnionClamp(pRectangle, &Entry.RectDestination, static_cast<LONG>(Width),
                                static_cast<LONG>(Height));
        bTaken = true;
        if (pFlags == nullptr)
            continue;
        if ((Entry.Flags & 2) != 0)
            *pFlags |= 2;
        else if ((Entry.Flags & 4) != 0)
            *pFlags |= 4;
    }
    return bTaken;
}

bool ALMonitorHook::ZeroCopyUpdate(ALDeviceControlHook& DeviceControl, void** ppFrameBufferZeroCopy, UINT32* pPitch,
                                   void** ppFrameBufferAuxiliaryZeroCopy, UINT32* pFrameBufferAuxiliaryPitch) {
    uint64_t pFrame = 0;
    uint64_t pAuxiliary = 0;
    const bool bResult = DeviceControl.IoctlMonitorFrameBufferZeroCopyUpdate(
        m_AdapterIndex, m_MonitorIndex, ppFrameBufferZeroCopy != nullptr ? &pFrame : nullptr, pPitch,
        ppFrameBufferAuxiliaryZeroCopy != nullptr ? &pAuxiliary : nullptr, pFrameBufferAuxiliaryPitch);
    if (ppFrameBufferZeroCopy != nullptr)
        *ppFrameBufferZeroCopy = ALRecordField::AddressFrom(pFrame);
    if (ppFrameBufferAuxiliaryZeroCopy != nullptr)
        *ppFrameBufferAuxiliaryZeroCopy = ALRecordField::AddressFrom(pAuxiliary);
    return bResult;
}

bool ALMonitorHook::ZeroCopyUnmap(ALDeviceControlHook& DeviceControl, void* pFrameBufferAuxiliaryZeroCopy) {
    return DeviceControl.IoctlMonitorFrameBufferZeroCopyUnmap(m_AdapterIndex, m_MonitorIndex,
                                                              ALRecordField::AddressTo(pFrameBufferAuxiliaryZeroCopy));
}

void ALMonitorHook::EventMonitorReset() {
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALMonitorHook::EventMonitorReset\n");
    ResetEvent(m_hEventMonitor);
}

void ALMonitorHook::EventFramebufferChangedReset() {
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALMonitorHook::EventFramebufferChangedReset\n");
    ResetEvent(m_hEventFramebufferChanged);
}

void ALMonitorHook::EventPointerPositionChangedReset() {
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALMonitorHook::EventPointerPositionChangedReset\n");
    ResetEvent(m_hEventPointerPositionChanged);
}

void ALMonitorHook::EventPointerShapeChangedReset() {
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALMonitorHook::EventPointerShapeChangedReset\n");
    ResetEvent(m_hEventPointerShapeChanged);
}
