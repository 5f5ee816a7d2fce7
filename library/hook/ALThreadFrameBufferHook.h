// The frame-buffer thread of one virtual monitor on the hook driver path.
// Start plugs the monitor; Run waits on the driver's events and turns them
// into calls on the monitor instance: visibility, frame-buffer updates,
// pointer shape and position, inactivity 150 ms after the last frame update
// and a heartbeat after 10 s without any event. On exit it releases the
// monitor and deletes the instance.
//
// Frame pixels are never copied: the instance receives the address of the
// mapped or zero-copy frame buffer. Run keeps its working set (two pointer
// records among it) on its own stack, so no heap memory is used per event.
#pragma once

#include <atomic>

#include "driver/ALDeviceControlHook.h"
#include "driver/ALHookSharedRecords.h"
#include "hook/ALMonitorHook.h"
#include "hook/ALThreadFrameBufferBase.h"
#include "interface/INimboApiDisplayMonitorInstance.h"

class ALThreadFrameBufferHook : public ALThreadFrameBufferBase {
public:
    // Attempts of Start, and the pause after each failed one.
    static constexpr int StartAttempts = 100;
    static constexpr DWORD StartRetryMilliseconds = 100;
    static constexpr DWORD WaitTimeoutMilliseconds = 10000;
    static constexpr LONGLONG InactivityDueTime = -1500000;  // 150 ms, relative, 100 ns units
    // After a guarded step caught an exception.
    static constexpr DWORD FaultPauseMilliseconds = 750;
    // After a wait that failed, so that a wait that keeps failing does not
    // spin; an exit request ends the pause at once.
    static constexpr DWORD WaitFailurePauseMilliseconds = 1000;

    explicit ALThreadFrameBufferHook(ALDeviceControlHook* pDeviceControl);
    // Closes the exit event and the timer; never deletes the instance.
    ~ALThreadFrameBufferHook() override;

    using ALThreadFrameBufferBase::Start;
    bool Start(INimboApiDisplayMonitorInstance* pHardware, INT32 MonitorIndex) override;
    void Run() override;
    void RequestExit(bool bUnplug) override;
    INimboApiDisplayMonitorInstance* HardwareGet() override { return m_pHardware.load(); }
    INT32 AdapterIndexGet() override { return m_AdapterIndex.load(); }
    INT32 MonitorIndexGet() override { return m_MonitorIndex.load(); }
    UINT32 VideoPresentTargetIdGet() override { return static_cast<UINT32>(m_MonitorIndex.load()) + 0x4711; }

protected:
    // What one Run works on, for its whole duration.
    struct WorkingSet {
        ::IoctlInfoMonitorFrameBuffer IoctlInfoMonitorFrameBuffer;
        PointerInfo PointerInfoCurrent;
        PointerInfo PointerInfoPrevious;
        void* pFrameBufferZeroCopyMostRecentlyMapped;
        UINT32 FrameBufferZeroCopyPitch;
        bool bHwPointerEmulationDisable;
        HANDLE Handles[6];
        NIMBO_MONITOR_EVENT EventMonitor;
        bool bPointerPositionFirst;
        LARGE_INTEGER liDueTime;
    };
    enum class LoopStep { Continue, Exit };

    bool PrivateInitialize();
    void PrivateUninitialize(WorkingSet& Work);
    void PrivateFrameBufferMap(WorkingSet& Work);
    bool HardwarePointerEmulationDisableGet();

    DWORD PrivateWait(WorkingSet& Work);
    LoopStep PrivateEventLoopStep(WorkingSet& Work, INT32 MonitorIndex);
    LoopStep PrivateWaitFailure();
    void PrivateOnEventMonitor(WorkingSet& Work, INT32 MonitorIndex);
    void PrivateOnEventPointerPosition(WorkingSet& Work, INT32 MonitorIndex);
    void PrivateOnEventFrameBuffer(WorkingSet& Work, INT32 MonitorIndex);
    void PrivatePointerShapeStep(WorkingSet& Work);
    // False when the pointer gate skipped the step.
    bool PrivatePointerPositionStep(WorkingSet& Work);
    bool PrivatePointerGateOpen(const WorkingSet& Work) const;

    // The guarded steps of a frame-buffer change and an emulated pointer move.
    void PrivateOnEventFrameBufferChanged(IoctlInfoMonitorFrameBuffer* pIoctlInfoMonitorFrameBuffer,
                                          PointerInfo* pPointerInfoCurrent,
                                          void** ppFrameBufferZeroCopyMostRecentlyMapped,
                                          UINT32* pFrameBufferZeroCopyPitch);
    void PrivateOnEventPointerPositionChanged(IoctlInfoMonitorFrameBuffer* pIoctlInfoMonitorFrameBuffer,
                                              void* pFrameBuffer, UINT32 Pitch, PointerInfo* pPointerInfoCurrent,
                                              PointerInfo* pPointerInfoPrevious);
    // pbAuxiliaryHeld/ppAuxiliary: a zero-copy auxiliary buffer fetched and
    // not yet handed back, for the release after a fault.
    void PrivateFrameBufferChangedBody(IoctlInfoMonitorFrameBuffer* pIoctlInfoMonitorFrameBuffer,
                                       PointerInfo* pPointerInfoCurrent, void** ppFrameBufferZeroCopyMostRecentlyMapped,
                                       UINT32* pFrameBufferZeroCopyPitch, bool* pbAuxiliaryHeld, void** ppAuxiliary);

    // The frame and auxiliary buffer of this update from the driver; on
    // failure the four outputs keep what they held.
    bool PrivateZeroCopyFetch(void** ppFrameBuffer, UINT32* pPitch, void** ppFrameBufferAuxiliary,
                              UINT32* pFrameBufferAuxiliaryPitch);

    void PrivateGetUpdateRect(IoctlInfoMonitorFrameBuffer* pInfo, RECT* pRectangle, bool* pbRetrieved,
                              bool* pbOverflow, UINT32* pFlags);
    static void PrivateGetCursorUpdateRect(const PointerInfo* pPointerInfoPrevious,
                                           const PointerInfo* pPointerInfoCurrent, UINT32 Width, UINT32 Height,
                                           RECT* pRectangle);

    // Read by the thread list from other threads without a lock.
    std::atomic<INT32> m_AdapterIndex;
    std::atomic<INT32> m_MonitorIndex;
    HANDLE m_hEventRequestExit;
    HANDLE m_hTimer;
    std::atomic<bool> m_bUnplug;
    bool m_bMonitorAlreadyPlugged;
    // Set by a mapping: the host has no picture yet, so the next frame-buffer
    // step covers the whole frame even when the driver queued a smaller
    // rectangle first. Worker thread only.
    bool m_bWholeFrameOwed;
    ALDeviceControlHook* m_pDeviceControl;
    std::atomic<INimboApiDisplayMonitorInstance*> m_pHardware;
    ALMonitorHook FrameBuffer;
    // Set with the exit event: seen even when the exit event cannot be waited on.
    std::atomic<bool> m_bExitRequested;
};
