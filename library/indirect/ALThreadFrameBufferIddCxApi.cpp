#include "indirect/ALThreadFrameBufferIddCxApi.h"

#include <cstring>

#include "support/ALDebugLog.h"
#include "support/ALUtilStructuredException.h"

namespace {

constexpr int kHandleCount = 4;
constexpr int kHandleExit = 0;
constexpr int kHandleSwapchain = 1;
constexpr int kHandleFramebuffer = 2;
constexpr int kHandleTimer = 3;

}  // namespace

ALThreadFrameBufferIddCxApi::ALThreadFrameBufferIddCxApi(ALDeviceControlIddCx* pDeviceControl)
    : m_MonitorIndex(0),
      m_VideoPresentTargetId(0),
      m_AdapterLuid{0, 0},
      m_hEventExit(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_bUnplugOnExit(true),
      m_pDeviceControl(pDeviceControl),
      m_pHardware(nullptr),
      m_hTimerInactivity(CreateWaitableTimerW(nullptr, FALSE, nullptr)) {}

ALThreadFrameBufferIddCxApi::~ALThreadFrameBufferIddCxApi() {
    if (m_hEventExit != nullptr)
        CloseHandle(m_hEventExit);
    if (m_hTimerInactivity != nullptr)
        CloseHandle(m_hTimerInactivity);
}

bool ALThreadFrameBufferIddCxApi::PrivateEventsEnsure() {
    // A thread without an exit event could never be stopped: the host would
    // wait for it forever. Make up for a failed creation at construction.
    if (m_hTimerInactivity == nullptr)
        m_hTimerInactivity = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    if (m_hEventExit == nullptr)
        m_hEventExit = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (m_hEventExit == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferIddCxApi::Start CreateEvent failed! LastError %d\n",
                     GetLastError());
        return false;
    }
    return true;
}

bool ALThreadFrameBufferIddCxApi::Start(INimboApiDisplayMonitorInstance* pHardware, INT32 MonitorIndex) {
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferIddCxApi::Start m_MonitorIndex:%d\n", MonitorIndex);
    if (!PrivateEventsEnsure())
        return false;
    ResetEvent(m_hEventExit);
    m_bUnplugOnExit = true;
    m_MonitorIndex = MonitorIndex;
    m_pHardware = pHardware;
    if (!PrivateInitialize(m_Monitor)) {
        ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferIddCxApi::Start PrivateInitialize failed! m_MonitorIndex:%d\n",
                     MonitorIndex);
        return false;
    }
    if (!ALThreadBase::Start()) {
        // No thread will ever close the event the plug delivered.
        m_Monitor.EventSwapchainChangedClose();
        return false;
    }
    return true;
}

bool ALThreadFrameBufferIddCxApi::PrivateInitialize(ALMonitorIddCx& Monitor) {
    BYTE* pMonitorDescriptionInfo = nullptr;
    UINT32 CountByteMonitorDescriptionInfo = 0;
    BYTE* pMonitorEdidInfo = nullptr;
    UINT32 CountByteMonitorEdidInfo = 0;
    INimboApiDisplayMonitorInstance* pHardware = m_pHardware.load();
    if (pHardware == nullptr ||
        !pHardware->GetMonitorDescription(&pMonitorDescriptionInfo, &CountByteMonitorDescriptionInfo,
                                          &pMonitorEdidInfo, &CountByteMonitorEdidInfo)) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALThreadFrameBufferIddCxApi::PrivateInitialize m_pHardware->GetMonitorDescription failed!\n");
        return false;
    }
    const bool bPlugged = Monitor.Plug(*m_pDeviceControl, m_MonitorIndex, CountByteMonitorDescriptionInfo,
                                       pMonitorDescriptionInfo, &m_VideoPresentTargetId, &m_AdapterLuid);
    if (!bPlugged)
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferIddCxApi::PrivateInitialize Monitor.Plug failed!\n");
    // The records were made for this request alone (LocalAlloc, by the
    // interface's contract); nothing refers to them any more.
    if (pMonitorDescriptionInfo != nullptr)
        LocalFree(pMonitorDescriptionInfo);
    if (pMonitorEdidInfo != nullptr)
        LocalFree(pMonitorEdidInfo);
    return bPlugged;
}

void ALThreadFrameBufferIddCxApi::RequestExit(bool bUnplug) {
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferIddCxApi::RequestExit m_MonitorIndex:%d\n", m_MonitorIndex);
    m_bUnplugOnExit = bUnplug;
    SetEvent(m_hEventExit);
}

void ALThreadFrameBufferIddCxApi::PrivateHandleExclude(int Index, DWORD* pExcluded) {
    *pExcluded |= 1u << Index;
    ALDebugPrint(AL_DEBUG_ERROR | AL_DEBUG_THREAD,
                 L"ALThreadFrameBufferIddCxApi::Run wait handle %d not valid, left out of the wait. MonitorIndex:%d\n",
                 Index, m_MonitorIndex);
}

DWORD ALThreadFrameBufferIddCxApi::PrivateHandlesWait(const HANDLE (&Handles)[4], DWORD* pExcluded) {
    HANDLE Waited[kHandleCount];
    int Place[kHandleCount];
    DWORD Count = 0;
    for (int Index = 0; Index < kHandleCount; ++Index) {
        if ((*pExcluded & (1u << Index)) != 0)
            continue;
        if (Handles[Index] == nullptr) {
            PrivateHandleExclude(Index, pExcluded);
            continue;
        }
        Waited[Count] = Handles[Index];
        Place[Count] = Index;
        ++Count;
    }
    if (Count == 0) {
        Sleep(WaitTimeoutMilliseconds);
        return WAIT_TIMEOUT;
    }
    const DWORD dwWait = WaitForMultipleObjects(Count, Waited, FALSE, WaitTimeoutMilliseconds);
    if (dwWait < WAIT_OBJECT_0 + Count)
        return WAIT_OBJECT_0 + static_cast<DWORD>(Place[dwWait - WAIT_OBJECT_0]);
    if (dwWait != WAIT_FAILED)
        return dwWait;
    // Find the handles that fail on their own and leave them out from now on.
    bool bFound = false;
    for (DWORD i = 0; i < Count; ++i) {
        if (WaitForSingleObject(Waited[i], 0) == WAIT_FAILED) {
            PrivateHandleExclude(Place[i], pExcluded);
            bFound = true;
        }
    }
    if (!bFound) {
        // Not one handle to blame: listen for the exit request alone for
        // this pass rather than fail again at once.
        const DWORD dwExit = WaitForSingleObject(Handles[kHandleExit], WaitTimeoutMilliseconds);
        if (dwExit == WAIT_OBJECT_0 || dwExit == WAIT_TIMEOUT)
            return dwExit;
    }
    return dwWait;
}

void ALThreadFrameBufferIddCxApi::Run() {
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferIddCxApi::Run m_MonitorIndex:%d\n", m_MonitorIndex);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    MonitorFrameBufferEventsInfo IoctlInfoMonitorFrameBuffer;
    std::memset(&IoctlInfoMonitorFrameBuffer, 0, sizeof(IoctlInfoMonitorFrameBuffer));
    ALThreadFrameBufferIddCxSwapChain ThreadDxResource(&m_Monitor, m_pDeviceControl);
    DWORD Excluded = 0;
    for (;;) {
        const HANDLE Handles[kHandleCount] = {m_hEventExit, m_Monitor.EventSwapchainChangedGet(),
                                              m_Monitor.EventFramebufferChangedGet(), m_hTimerInactivity};
        const DWORD dwWait = PrivateHandlesWait(Handles, &Excluded);
        if (dwWait == WAIT_OBJECT_0 + kHandleExit)
            break;
        if (dwWait == WAIT_OBJECT_0 + kHandleSwapchain) {
            PrivateSwapchainEventsHandle(ThreadDxResource, IoctlInfoMonitorFrameBuffer);
        } else if (dwWait == WAIT_OBJECT_0 + kHandleFramebuffer) {
            PrivateFrameBufferSignalHandle(ThreadDxResource, IoctlInfoMonitorFrameBuffer);
        } else if (dwWait == WAIT_OBJECT_0 + kHandleTimer) {
            ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferIddCxApi::Run INACTIVITY MonitorIndex:%d\n",
                         m_MonitorIndex);
            m_pHardware.load()->InactivitySet(1);
        } else if (dwWait == WAIT_TIMEOUT) {
            ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferIddCxApi::Run WAIT_TIMEOUT MonitorIndex:%d\n",
                         m_MonitorIndex);
            m_pHardware.load()->Heartbeat();
        } else {
            ALDebugPrint(AL_DEBUG_ERROR | AL_DEBUG_THREAD,
                         L"ALThreadFrameBufferIddCxApi::Run WaitForMultipleObjects unexpected result:%d. "
                         L"MonitorIndex:%d\n",
                         dwWait, m_MonitorIndex);
        }
    }
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferIddCxApi::Run request exit... MonitorIndex:%d\n",
                 m_MonitorIndex);
    ThreadDxResource.Stop();
    INimboApiDisplayMonitorInstance* pHardware = m_pHardware.load();
    pHardware->MonitorStop();
    delete pHardware;
    PrivateOnExit(m_Monitor);
    m_pHardware = nullptr;
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferIddCxApi::Run exit... MonitorIndex:%d\n", m_MonitorIndex);
}

void ALThreadFrameBufferIddCxApi::PrivateSwapchainEventsHandle(ALThreadFrameBufferIddCxSwapChain& ThreadDxResource,
                                                               MonitorFrameBufferEventsInfo& Info) {
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferIddCxApi::Run NIMBO_MONITOR_EVENT MonitorIndex:%d\n",
                 m_MonitorIndex);
    m_Monitor.EventSwapchainChangedReset();
    for (int Handled = 0;; ++Handled) {
        if (Handled == SwapchainEventsPerPass) {
            // A driver whose events never run dry would hold this thread here
            // for good, deaf to its exit request; the signal brings it back
            // after the next wait.
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALThreadFrameBufferIddCxApi::Run %d swap-chain events in one pass, the rest in the next. "
                         L"MonitorIndex:%d\n",
                         Handled, m_MonitorIndex);
            SetEvent(m_Monitor.EventSwapchainChangedGet());
            return;
        }
        MonitorSwapchainEvent EventMonitor;
        std::memset(&EventMonitor, 0, sizeof(EventMonitor));
        m_pDeviceControl->IoctlMonitorSwapchainEventsRetrieve(static_cast<UINT32>(m_MonitorIndex), &EventMonitor);
        if (EventMonitor.EventPresent == 0)
            return;
        if (EventMonitor.EventType == NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_ASSIGNED) {
            ALDebugPrint(AL_DEBUG_THREAD, L"   NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_ASSIGNED\n");
            PrivateOnEventSwapchainAssign(EventMonitor.RenderAdapterLuid, ThreadDxResource, m_Monitor, Info);
            m_pHardware.load()->MonitorVisibilitySet(true);
        } else if (EventMonitor.EventType == NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_UNASSIGNED) {
            ALDebugPrint(AL_DEBUG_THREAD, L"   NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_UNASSIGNED\n");
            PrivateOnEventSwapchainUnassign(ThreadDxResource, m_Monitor);
            m_pHardware.load()->MonitorVisibilitySet(false);
        }
    }
}

void ALThreadFrameBufferIddCxApi::PrivateFrameBufferSignalHandle(ALThreadFrameBufferIddCxSwapChain& ThreadDxResource,
                                                                 const MonitorFrameBufferEventsInfo& Info) {
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferIddCxApi::Run FRAMEBUFFER UPDATE MonitorIndex:%d\n",
                 m_MonitorIndex);
    m_Monitor.EventFramebufferChangedReset();
    // The first 16 bytes of the subscription's record, as the driver gave them.
    PrivateOnEventFrameBufferChanged(ThreadDxResource, Info.FrameBufferInfo);
    LARGE_INTEGER liDueTime;
    liDueTime.QuadPart = InactivityDueTime;
    SetWaitableTimer(m_hTimerInactivity, &liDueTime, 0, nullptr, nullptr, FALSE);
}

bool ALThreadFrameBufferIddCxApi::PrivateOnEventSwapchainAssign(LUID RenderAdapterLuid,
                                                                ALThreadFrameBufferIddCxSwapChain& ThreadDxResource,
                                                                ALMonitorIddCx& Monitor,
                                                                MonitorFrameBufferEventsInfo& Info) {
    if (!Monitor.FrameBufferEventsSubscribe(*m_pDeviceControl, &Info)) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALThreadFrameBufferIddCxApi::PrivateOnEventSwapchainAssign Monitor.FrameBufferEventsSubscribe "
                     L"failed!\n");
        return false;
    }
    if (!ThreadDxResource.Start(RenderAdapterLuid, Info.FrameBufferInfo.Width, Info.FrameBufferInfo.Height)) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALThreadFrameBufferIddCxApi::PrivateOnEventSwapchainAssign ThreadDxResource.Start failed!\n");
        return false;
    }
    return true;
}

void ALThreadFrameBufferIddCxApi::PrivateOnEventSwapchainUnassign(ALThreadFrameBufferIddCxSwapChain& ThreadDxResource,
                                                                  ALMonitorIddCx& Monitor) {
    // The swap-chain resource thread goes before the event it waits on.
    ThreadDxResource.Stop();
    Monitor.FrameBufferEventsUnsubscribe();
}

void ALThreadFrameBufferIddCxApi::PrivateOnEventFrameBufferChanged(ALThreadFrameBufferIddCxSwapChain& ThreadDxResource,
                                                                   FrameBufferInfo Info) {
    const bool bCompleted = ALUtilGuardedRun("ALThreadFrameBufferIddCxApi::PrivateOnEventFrameBufferChanged", [&] {
        if (!ThreadDxResource.Extract(Info, m_pHardware.load()))
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALThreadFrameBufferIddCxApi::PrivateOnEventFrameBufferChanged ThreadDxResource.Extract "
                         L"failed!\n");
    });
    if (!bCompleted)
        Sleep(ExceptionPauseMilliseconds);
}

void ALThreadFrameBufferIddCxApi::PrivateOnExit(ALMonitorIddCx& Monitor) {
    Monitor.FrameBufferEventsUnsubscribe();
    Monitor.EventSwapchainChangedClose();
    if (m_bUnplugOnExit)
        Monitor.Unplug(*m_pDeviceControl);
}
