// The requests of the kernel-mode hook display driver, one wrapper each.
// Adds no state to ALDeviceBase: the device is opened and closed by the base.
// Every wrapper is synchronous and may be called from several threads at once.
#pragma once

#include <cstdint>

#include "driver/ALDeviceBase.h"
#include "driver/ALHookSharedRecords.h"

class ALDeviceControlHook : public ALDeviceBase {
public:
    ALDeviceControlHook() = default;
    ~ALDeviceControlHook() override = default;

    // pPlugRecord: the monitor description with adapter and monitor index in
    // its first two u32. The driver's "already exists" answer is success and
    // sets *pbAlreadyExists.
    bool IoctlMonitorPlug(void* pPlugRecord, uint32_t CountBytePlugRecord, bool* pbAlreadyExists);
    bool IoctlMonitorUnplug(uint32_t AdapterIndex, uint32_t MonitorIndex);
    bool IoctlMonitorEdidSet(void* pEdidRecord, uint32_t CountByteEdidRecord);
    // pSubscribeInfo null: the request goes without an output buffer.
    bool IoctlMonitorEventsSubscribe(uint32_t AdapterIndex, uint32_t MonitorIndex, HANDLE hEventMonitor,
                                     HANDLE hEventPointerPositionChanged, HANDLE hEventPointerShapeChanged,
                                     EventsSubscribeInfo* pSubscribeInfo);
    // pCircularBufferMonitorEvents 0: the request goes without an output buffer.
    bool IoctlMonitorEventUnsubscribe(uint32_t AdapterIndex, uint32_t MonitorIndex, HANDLE hEventMonitor,
                                      HANDLE hEventPointerPositionChanged, HANDLE hEventPointerShapeChanged,
                                      uint64_t pCircularBufferMonitorEvents);
    // Clears *pFrameBufferInfo, then lets the driver fill it.
    bool IoctlMonitorFrameBufferMap(uint32_t AdapterIndex, uint32_t MonitorIndex, HANDLE hEventFramebufferChanged,
                                    IoctlInfoMonitorFrameBuffer* pFrameBufferInfo);
    bool IoctlMonitorFrameBufferUnmap(uint32_t AdapterIndex, uint32_t MonitorIndex, HANDLE hEventFramebufferChanged,
                                      uint64_t pFrameBuffer);
    bool IoctlMonitorFrameBufferZeroCopyUnmap(uint32_t AdapterIndex, uint32_t MonitorIndex,
                                              uint64_t pFrameBufferAuxiliaryZeroCopy);
    // Each result pointer may be null; with a null first pointer no output
    // buffer is sent and the other pointers receive zero.
    bool IoctlMonitorFrameBufferZeroCopyUpdate(uint32_t AdapterIndex, uint32_t MonitorIndex,
                                               uint64_t* ppFrameBufferZeroCopy, uint32_t* pPitch,
                                               uint64_t* ppFrameBufferAuxiliaryZeroCopy,
                                               uint32_t* pFrameBufferAuxiliaryPitch);
    // The driver writes its answer (non-zero = active) into *pIsActive.
    bool IoctlHookDriverAdapterIsActive(uint32_t AdapterIndex, uint32_t* pIsActive);
    // Sends 1 only for true.
    bool IoctlMonitorPersistOnClose(bool bEnable);

private:
    bool PrivateControl(uint32_t Code, const void* pInput, uint32_t CountByteInput, void* pOutput,
                        uint32_t CountByteOutput);
};
