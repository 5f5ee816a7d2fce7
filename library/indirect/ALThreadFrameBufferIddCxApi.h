#pragma once

#include <atomic>

#include "driver/ALDeviceControlIddCx.h"
#include "hook/ALThreadFrameBufferBase.h"
#include "indirect/ALMonitorIddCx.h"
#include "indirect/ALThreadFrameBufferIddCxSwapChain.h"
#include "interface/INimboApiDisplayMonitorInstance.h"

// The frame-buffer thread of one monitor on the indirect display driver.
// Start plugs the monitor; Run turns the driver's signals into calls on the
// monitor instance: swap chain assigned or unassigned (the swap-chain
// resource thread starts or stops, then the visibility call), a queued frame
// (Extract, which ends in FrameBufferUpdate), 150 ms without a frame
// (InactivitySet) and 10 s without any signal (Heartbeat). At the end it
// stops the swap-chain resource thread, stops and deletes the instance and
// unplugs the monitor when asked to.
//
// A wait handle that is missing or invalid (a plug that the driver answered
// with "already exists" delivers no swap-chain event) is left out of the
// wait after one report, so the thread neither spins nor stops hearing the
// exit request and its other signals.
class ALThreadFrameBufferIddCxApi : public ALThreadFrameBufferBase {
public:
    static constexpr DWORD WaitTimeoutMilliseconds = 10000;
    static constexpr LONGLONG InactivityDueTime = -1500000;  // 150 ms, relative, 100 ns units
    static constexpr DWORD ExceptionPauseMilliseconds = 750;
    // Swap-chain events taken in one pass at most; more wait for the next
    // pass, after the wait has looked at the exit request.
    static constexpr int SwapchainEventsPerPass = 64;

    explicit ALThreadFrameBufferIddCxApi(ALDeviceControlIddCx* pDeviceControl);
    ~ALThreadFrameBufferIddCxApi() override;

    void Run() override;
    bool Start(INimboApiDisplayMonitorInstance* pHardware, INT32 MonitorIndex) override;
    void RequestExit(bool bUnplug) override;
    INimboApiDisplayMonitorInstance* HardwareGet() override { return m_pHardware.load(); }
    INT32 AdapterIndexGet() override { return 0; }
    INT32 MonitorIndexGet() override { return m_MonitorIndex; }
    UINT32 VideoPresentTargetIdGet() override { return m_VideoPresentTargetId; }
    LUID AdapterLuidGet() override { return m_AdapterLuid; }

private:
    bool PrivateInitialize(ALMonitorIddCx& Monitor);
    bool PrivateOnEventSwapchainAssign(LUID RenderAdapterLuid, ALThreadFrameBufferIddCxSwapChain& ThreadDxResource,
                                       ALMonitorIddCx& Monitor, MonitorFrameBufferEventsInfo& Info);
    void PrivateOnEventSwapchainUnassign(ALThreadFrameBufferIddCxSwapChain& ThreadDxResource, ALMonitorIddCx& Monitor);
    void PrivateOnEventFrameBufferChanged(ALThreadFrameBufferIddCxSwapChain& ThreadDxResource, FrameBufferInfo Info);
    void PrivateOnExit(ALMonitorIddCx& Monitor);

    // Handles every swap-chain event the driver has pending.
    void PrivateSwapchainEventsHandle(ALThreadFrameBufferIddCxSwapChain& ThreadDxResource,
                                      MonitorFrameBufferEventsInfo& Info);
    void PrivateFrameBufferSignalHandle(ALThreadFrameBufferIddCxSwapChain& ThreadDxResource,
                                        const MonitorFrameBufferEventsInfo& Info);
    // Waits on the valid ones of the four handles; the result names the
    // handle by its place in Handles. *pExcluded collects the handles left
    // out for the rest of the run.
    DWORD PrivateHandlesWait(const HANDLE (&Handles)[4], DWORD* pExcluded);
    void PrivateHandleExclude(int Index, DWORD* pExcluded);
    bool PrivateEventsEnsure();

    INT32 m_MonitorIndex;
    UINT32 m_VideoPresentTargetId;
    LUID m_AdapterLuid;
    HANDLE m_hEventExit;
    bool m_bUnplugOnExit;
    ALDeviceControlIddCx* m_pDeviceControl;
    // Read by the host's enumeration while the thread may clear it.
    std::atomic<INimboApiDisplayMonitorInstance*> m_pHardware;
    ALMonitorIddCx m_Monitor;
    HANDLE m_hTimerInactivity;
};
