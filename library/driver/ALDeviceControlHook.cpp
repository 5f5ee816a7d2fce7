#include "driver/ALDeviceControlHook.h"

#include <cstring>

#include "driver/ALHookIoctlRecords.h"
#include "driver/ALIoctlCode.h"
#include "driver/ALRecordField.h"
#include "support/ALDebugLog.h"

namespace {

// The monitor index of a record that starts with adapter and monitor index;
// a record too short to hold one logs as 0.
uint32_t RecordMonitorIndex(const void* pRecord, uint32_t CountByteRecord) {
    uint32_t MonitorIndex = 0;
    if (pRecord != nullptr && CountByteRecord >= 2 * sizeof(uint32_t))
        std::memcpy(&MonitorIndex, static_cast<const uint8_t*>(pRecord) + sizeof(uint32_t), sizeof(MonitorIndex));
    return MonitorIndex;
}

IoctlInfoEventsIn EventsInMake(uint32_t AdapterIndex, uint32_t MonitorIndex, HANDLE hEventMonitor,
                               HANDLE hEventPointerPositionChanged, HANDLE hEventPointerShapeChanged) {
    IoctlInfoEventsIn Info{};
    Info.AdapterIndex = AdapterIndex;
    Info.MonitorIndex = MonitorIndex;
    Info.hEventMonitor = ALRecordField::HandleTo(hEventMonitor);
    Info.hEventPointerPositionChanged = ALRecordField::HandleTo(hEventPointerPositionChanged);
    Info.hEventPointerShapeChanged = ALRecordField::HandleTo(hEventPointerShapeChanged);
    return Info;
}

IoctlInfoFrameBufferIn FrameBufferInMake(uint32_t AdapterIndex, uint32_t MonitorIndex,
                                         HANDLE hEventFramebufferChanged) {
    IoctlInfoFrameBufferIn Info{};
    Info.AdapterIndex = AdapterIndex;
    Info.MonitorIndex = MonitorIndex;
    Info.hEventFramebufferChanged = ALRecordField::HandleTo(hEventFramebufferChanged);
    return Info;
}

}  // namespace

bool ALDeviceControlHook::PrivateControl(uint32_t Code, const void* pInput, uint32_t CountByteInput,
                                         void* pOutput, uint32_t CountByteOutput) {
    DWORD BytesReturned = 0;
    return DeviceIoControl(HandleGet(), Code, const_cast<void*>(pInput), CountByteInput, pOutput,
                           CountByteOutput, &BytesReturned, nullptr) != FALSE;
}

bool ALDeviceControlHook::IoctlMonitorPlug(void* pPlugRecord, uint32_t CountBytePlugRecord,
                                           bool* pbAlreadyExists) {
    if (pbAlreadyExists != nullptr)
        *pbAlreadyExists = false;
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALDeviceControlHook::IoctlMonitorPlug m_MonitorIndex %d\n",
                 RecordMonitorIndex(pPlugRecord, CountBytePlugRecord));
    if (PrivateControl(ALIoctlCode::MonitorPlug, nullptr, 0, pPlugRecord, CountBytePlugRecord))
        return true;
    const DWORD dwError = GetLastError();
    if (dwError == ERROR_ALREADY_EXISTS) {
        if (pbAlreadyExists != nullptr)
            *pbAlreadyExists = true;
        return true;
    }
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlHook::IoctlMonitorPlug DeviceIoControl failed! GetLastErrorReturned: %d\n", dwError);
    return false;
}

bool ALDeviceControlHook::IoctlMonitorUnplug(uint32_t AdapterIndex, uint32_t MonitorIndex) {
    IoctlInfo Info{};
    Info.AdapterIndex = AdapterIndex;
    Info.MonitorIndex = MonitorIndex;
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALDeviceControlHook::IoctlMonitorUnplug m_MonitorIndex %d\n",
                 MonitorIndex);
    if (PrivateControl(ALIoctlCode::MonitorUnplug, nullptr, 0, &Info, sizeof(Info)))
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlHook::IoctlMonitorUnplug DeviceIoControl failed! GetLastErrorReturned: %d\n",
                 GetLastError());
    return false;
}

bool ALDeviceControlHook::IoctlMonitorEdidSet(void* pEdidRecord, uint32_t CountByteEdidRecord) {
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALDeviceControlHook::IoctlMonitorEdidSet m_MonitorIndex %d\n",
                 RecordMonitorIndex(pEdidRecord, CountByteEdidRecord));
    if (PrivateControl(ALIoctlCode::MonitorEdidSet, nullptr, 0, pEdidRecord, CountByteEdidRecord))
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlHook::IoctlMonitorEdidSet DeviceIoControl failed! GetLastErrorReturned: %d\n",
                 GetLastError());
    return false;
}

bool ALDeviceControlHook::IoctlMonitorEventsSubscribe(uint32_t AdapterIndex, uint32_t MonitorIndex,
                                                      HANDLE hEventMonitor, HANDLE hEventPointerPositionChanged,
                                                      HANDLE hEventPointerShapeChanged,
                                                      EventsSubscribeInfo* pSubscribeInfo) {
    const IoctlInfoEventsIn Info = EventsInMake(AdapterIndex, MonitorIndex, hEventMonitor,
                                                hEventPointerPositionChanged, hEventPointerShapeChanged);
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALDeviceControlHook::IoctlMonitorEventsSubscribe m_MonitorIndex %d\n",
                 MonitorIndex);
    const uint32_t CountByteOutput = pSubscribeInfo != nullptr ? sizeof(EventsSubscribeInfo) : 0;
    if (PrivateControl(ALIoctlCode::MonitorEventsSubscribe, &Info, sizeof(Info), pSubscribeInfo, CountByteOutput))
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlHook::IoctlMonitorEventsSubscribe DeviceIoControl failed! GetLastErrorReturned: %d\n",
                 GetLastError());
    return false;
}

bool ALDeviceControlHook::IoctlMonitorEventUnsubscribe(uint32_t AdapterIndex, uint32_t MonitorIndex,
                                                       HANDLE hEventMonitor, HANDLE hEventPointerPositionChanged,
                                                       HANDLE hEventPointerShapeChanged,
                                                       uint64_t pCircularBufferMonitorEvents) {
    const IoctlInfoEventsIn Info = EventsInMake(AdapterIndex, MonitorIndex, hEventMonitor,
                                                hEventPointerPositionChanged, hEventPointerShapeChanged);
    IoctlInfoEventsOut Out{};
    Out.pCircularBufferMonitorEvents = pCircularBufferMonitorEvents;
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALDeviceControlHook::IoctlMonitorEventUnsubscribe m_MonitorIndex %d\n",
                 MonitorIndex);
    const bool bWithOutput = pCircularBufferMonitorEvents != 0;
    if (PrivateControl(ALIoctlCode::MonitorEventUnsubscribe, &Info, sizeof(Info), bWithOutput ? &Out : nullptr,
                       bWithOutput ? sizeof(Out) : 0))
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlHook::IoctlMonitorEventUnsubscribe DeviceIoControl failed! GetLastErrorReturned: %d\n",
                 GetLastError());
    return false;
}

bool ALDeviceControlHook::IoctlMonitorFrameBufferMap(uint32_t AdapterIndex, uint32_t MonitorIndex,
                                                     HANDLE hEventFramebufferChanged,
                                                     IoctlInfoMonitorFrameBuffer* pFrameBufferInfo) {
    const IoctlInfoFrameBufferIn Info = FrameBufferInMake(AdapterIndex, MonitorIndex, hEventFramebufferChanged);
    if (pFrameBufferInfo != nullptr)
        *pFrameBufferInfo = IoctlInfoMonitorFrameBuffer{};
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALDeviceControlHook::IoctlMonitorFrameBufferMap m_MonitorIndex %d\n",
                 MonitorIndex);
    const uint32_t CountByteOutput = pFrameBufferInfo != nullptr ? sizeof(IoctlInfoMonitorFrameBuffer) : 0;
    if (PrivateControl(ALIoctlCode::MonitorFrameBufferMap, &Info, sizeof(Info), pFrameBufferInfo, CountByteOutput))
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlHook::IoctlMonitorFrameBufferMap DeviceIoControl failed! GetLastErrorReturned: %d\n",
                 GetLastError());
    return false;
}

bool ALDeviceControlHook::IoctlMonitorFrameBufferUnmap(uint32_t AdapterIndex, uint32_t MonitorIndex,
                                                       HANDLE hEventFramebufferChanged, uint64_t pFrameBuffer) {
    const IoctlInfoFrameBufferIn Info = FrameBufferInMake(AdapterIndex, MonitorIndex, hEventFramebufferChanged);
    IoctlInfoMonitorFrameBuffer Out{};
    Out.pFrameBuffer = pFrameBuffer;
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALDeviceControlHook::IoctlMonitorFrameBufferUnmap m_MonitorIndex %d\n",
                 MonitorIndex);
    if (PrivateControl(ALIoctlCode::MonitorFrameBufferUnmap, &Info, sizeof(Info), &Out, sizeof(Out)))
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlHook::IoctlMonitorFrameBufferUnmap DeviceIoControl failed! GetLastErrorReturned: %d\n",
                 GetLastError());
    return false;
}

bool ALDeviceControlHook::IoctlMonitorFrameBufferZeroCopyUnmap(uint32_t AdapterIndex, uint32_t MonitorIndex,
                                                               uint64_t pFrameBufferAuxiliaryZeroCopy) {
    IoctlInfoZeroCopyUnmapIn Info{};
    Info.AdapterIndex = AdapterIndex;
    Info.MonitorIndex = MonitorIndex;
    Info.pFrameBufferAuxiliaryZeroCopy = pFrameBufferAuxiliaryZeroCopy;
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL,
                 L"ALDeviceControlHook::IoctlMonitorFrameBufferZeroCopyUnmap m_MonitorIndex %d\n", MonitorIndex);
    if (PrivateControl(ALIoctlCode::MonitorFrameBufferZeroCopyUnmap, &Info, sizeof(Info), nullptr, 0))
        return true;
    ALDebugPrint(
        AL_DEBUG_ERROR,
        L"ALDeviceControlHook::IoctlMonitorFrameBufferZeroCopyUnmap DeviceIoControl failed! GetLastErrorReturned: %d\n",
        GetLastError());
    return false;
}

bool ALDeviceControlHook::IoctlMonitorFrameBufferZeroCopyUpdate(uint32_t AdapterIndex, uint32_t MonitorIndex,
                                                                uint64_t* ppFrameBufferZeroCopy, uint32_t* pPitch,
                                                                uint64_t* ppFrameBufferAuxiliaryZeroCopy,
                                                                uint32_t* pFrameBufferAuxiliaryPitch) {
    IoctlInfoZeroCopyIn Info{};
    Info.AdapterIndex = AdapterIndex;
    Info.MonitorIndex = MonitorIndex;
    IoctlInfoZeroCopyOut Out{};
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL,
                 L"ALDeviceControlHook::IoctlMonitorFrameBufferZeroCopyUpdate m_MonitorIndex %d\n", MonitorIndex);
    const bool bWithOutput = ppFrameBufferZeroCopy != nullptr;
    if (!PrivateControl(ALIoctlCode::MonitorFrameBufferZeroCopyUpdate, &Info, sizeof(Info),
                        bWithOutput ? &Out : nullptr, bWithOutput ? sizeof(Out) : 0)) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALDeviceControlHook::IoctlMonitorFrameBufferZeroCopyUpdate DeviceIoControl failed! "
                     L"GetLastErrorReturned: %d\n",
                     GetLastError());
        return false;
    }
    if (ppFrameBufferZeroCopy != nullptr)
        *ppFrameBufferZeroCopy = Out.pFrameBufferZeroCopy;
    if (pPitch != nullptr)
        *pPitch = Out.Pitch;
    if (ppFrameBufferAuxiliaryZeroCopy != nullptr)
        *ppFrameBufferAuxiliaryZeroCopy = Out.pFrameBufferAuxiliaryZeroCopy;
    if (pFrameBufferAuxiliaryPitch != nullptr)
        *pFrameBufferAuxiliaryPitch = Out.FrameBufferAuxiliaryPitch;
    return true;
}

bool ALDeviceControlHook::IoctlHookDriverAdapterIsActive(uint32_t AdapterIndex, uint32_t* pIsActive) {
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALDeviceControlHook::IoctlHookDriverAdapterIsActive AdapterIndex:%d\n",
                 AdapterIndex);
    if (PrivateControl(ALIoctlCode::HookDriverAdapterIsActive, &AdapterIndex, sizeof(AdapterIndex), pIsActive,
                       pIsActive != nullptr ? sizeof(*pIsActive) : 0))
        return true;
    ALDebugPrint(
        AL_DEBUG_ERROR,
        L"ALDeviceControlHook::IoctlHookDriverAdapterIsActive DeviceIoControl failed! GetLastErrorReturned: %d\n",
        GetLastError());
    return false;
}

bool ALDeviceControlHook::IoctlMonitorPersistOnClose(bool bEnable) {
    const uint32_t dwEnablePersist = bEnable == true ? 1 : 0;
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALDeviceControlHook::IoctlMonitorPersistOnClose\n");
    if (PrivateControl(ALIoctlCode::MonitorPersistOnClose, &dwEnablePersist, sizeof(dwEnablePersist), nullptr, 0))
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlHook::IoctlMonitorPersistOnClose DeviceIoControl failed! GetLastErrorReturned: %d\n",
                 GetLastError());
    return false;
}
