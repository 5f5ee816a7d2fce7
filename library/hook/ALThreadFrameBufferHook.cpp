#include "hook/ALThreadFrameBufferHook.h"

#include <cstdint>
#include <cstring>

#include "driver/ALRecordField.h"
#include "support/ALDebugLog.h"
#include "support/ALUtilRegistry.h"
#include "support/ALUtilStructuredException.h"
#include "support/ALWideFormat.h"

namespace {

constexpr DWORD SlotExit = WAIT_OBJECT_0;
constexpr DWORD SlotMonitor = WAIT_OBJECT_0 + 1;
constexpr DWORD SlotPointerShape = WAIT_OBJECT_0 + 2;
constexpr DWORD SlotTimer = WAIT_OBJECT_0 + 3;
constexpr DWORD SlotFourth = WAIT_OBJECT_0 + 4;
constexpr DWORD SlotFifth = WAIT_OBJECT_0 + 5;

const char kFrameBufferChangedName[] = "ALThreadFrameBufferHook::PrivateOnEventFrameBufferChanged";
const char kPointerPositionChangedName[] = "ALThreadFrameBufferHook::PrivateOnEventPointerPositionChanged";

bool ZeroCopyRequested(UINT32 Flags) { return (Flags & (2 | 4)) != 0; }

FrameBufferInfo FrameBufferInfoOf(const IoctlInfoMonitorFrameBuffer& Info) {
    static_assert(sizeof(FrameBufferInfo) == 16);
    FrameBufferInfo Description;
    std::memcpy(&Description, &Info, sizeof(Description));
    return Description;
}

// The monitor description and EDID records of one plugging attempt, released
// once the plug request has returned; the instance allocates them with
// LocalAlloc (see INimboApiDisplayMonitorInstance).
class MonitorDescriptionRecords {
public:
    MonitorDescriptionRecords() = default;
    MonitorDescriptionRecords(const MonitorDescriptionRecords&) = delete;
    MonitorDescriptionRecords& operator=(const MonitorDescriptionRecords&) = delete;
    ~MonitorDescriptionRecords() {
        if (pMonitorDescriptionInfo != nullptr)
            LocalFree(pMonitorDescriptionInfo);
        if (pMonitorEdidInfo != nullptr)
            LocalFree(pMonitorEdidInfo);
    }

    BYTE* pMonitorDescriptionInfo = nullptr;
    UINT32 CountByteMonitorDescriptionInfo = 0;
    BYTE* pMonitorEdidInfo = nullptr;
    UINT32 CountByteMonitorEdidInfo = 0;
};

}  // namespace

ALThreadFrameBufferHook::ALThreadFrameBufferHook(ALDeviceControlHook* pDeviceControl)
    : m_AdapterIndex(-1),
      m_MonitorIndex(0),
      m_hEventRequestExit(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_hTimer(CreateWaitableTimerW(nullptr, FALSE, nullptr)),
      m_bUnplug(true),
      m_bMonitorAlreadyPlugged(false),
      m_bWholeFrameOwed(false),
      m_pDeviceControl(pDeviceControl),
      m_pHardware(nullptr),
      m_bExitRequested(false) {}

ALThreadFrameBufferHook::~ALThreadFrameBufferHook() {
    if (m_hEventRequestExit != nullptr)
        CloseHandle(m_hEventRequestExit);
    if (m_hTimer != nullptr)
        CloseHandle(m_hTimer);
}

// --- start and end ------------------------------------------------------------------

bool ALThreadFrameBufferHook::Start(INimboApiDisplayMonitorInstance* pHardware, INT32 MonitorIndex) {
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferHook::Start m_MonitorIndex:%d\n", MonitorIndex);
    ResetEvent(m_hEventRequestExit);
    m_bExitRequested = false;
    m_bUnplug = true;
    m_AdapterIndex = -1;
    m_MonitorIndex = MonitorIndex;
    m_pHardware = pHardware;
    for (int Attempt = 1; Attempt <= StartAttempts; ++Attempt) {
        if (PrivateInitialize())
            return ALThreadBase::Start();
        ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferHook::Start PrivateInitialize failed! m_MonitorIndex:%d\n",
                     m_MonitorIndex.load());
        if (Attempt < StartAttempts)
            Sleep(StartRetryMilliseconds);
    }
    return false;
}

bool ALThreadFrameBufferHook::PrivateInitialize() {
    UINT32 AdapterIndex = 0;
    for (;; ++AdapterIndex) {
        UINT32 IsActive = 0;
        if (!m_pDeviceControl->IoctlHookDriverAdapterIsActive(AdapterIndex, &IsActive)) {
            ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferHook::PrivateInitialize "
                                         L"IoctlHookDriverAdapterIsActive failed! No active adapter found\n");
            return false;
        }
        if (IsActive != 0)
            break;
    }

    m_bMonitorAlreadyPlugged = false;
    MonitorDescriptionRecords Records;
    if (!m_pHardware.load()->GetMonitorDescription(&Records.pMonitorDescriptionInfo,
                                                   &Records.CountByteMonitorDescriptionInfo, &Records.pMonitorEdidInfo,
                                                   &Records.CountByteMonitorEdidInfo)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferHook::PrivateInitialize m_pHardware->GetMonitorDescription "
                                     L"failed!\n");
        return false;
    }
    if (!FrameBuffer.Plug(*m_pDeviceControl, static_cast<INT32>(AdapterIndex), m_MonitorIndex,
                          Records.CountByteMonitorDescriptionInfo, Records.pMonitorDescriptionInfo,
                          Records.CountByteMonitorEdidInfo, Records.pMonitorEdidInfo, &m_bMonitorAlreadyPlugged)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferHook::PrivateInitialize FrameBuffer.DesktopAttach failed!\n");
        return false;
    }
    m_AdapterIndex = static_cast<INT32>(AdapterIndex);
    return true;
}

void ALThreadFrameBufferHook::RequestExit(bool bUnplug) {
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferHook::RequestExit m_MonitorIndex:%d\n", m_MonitorIndex.load());
    m_bUnplug = bUnplug;
    m_bExitRequested = true;
    SetEvent(m_hEventRequestExit);
}

void ALThreadFrameBufferHook::PrivateUninitialize(WorkingSet& Work) {
    FrameBuffer.Unmap(*m_pDeviceControl, &Work.IoctlInfoMonitorFrameBuffer, true);
    if (m_bUnplug)
        FrameBuffer.Unplug(*m_pDeviceControl);
}

bool ALThreadFrameBufferHook::HardwarePointerEmulationDisableGet() {
    wchar_t KeyPath[1024];
    ALWideFormat(KeyPath, 1024, L"%s%s", L"SYSTEM\\CurrentControlSet\\Services\\", L"vantorService");
    DWORD dwHwPointerEmulationDisable = 0;
    DWORD CountByte = sizeof(dwHwPointerEmulationDisable);
    if (!ALUtilRegistryValueGet(HKEY_LOCAL_MACHINE, KeyPath, L"HardwarePointerEmulationDisable",
                                reinterpret_cast<BYTE*>(&dwHwPointerEmulationDisable), &CountByte))
        return false;
    return dwHwPointerEmulationDisable == 1;
}

void ALThreadFrameBufferHook::PrivateFrameBufferMap(WorkingSet& Work) {
    if (FrameBuffer.Map(*m_pDeviceControl, &Work.IoctlInfoMonitorFrameBuffer)) {
        m_bWholeFrameOwed = true;
        SetEvent(FrameBuffer.EventFramebufferChangedGet());
    }
}

// --- event loop -----------------------------------------------------------------------

void ALThreadFrameBufferHook::Run() {
    const INT32 MonitorIndex = m_MonitorIndex;
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferHook::Run m_MonitorIndex:%d\n", MonitorIndex);
    // On this thread's stack for the whole of Run: nothing per event on the heap.
    WorkingSet Work{};
    Work.bHwPointerEmulationDisable = HardwarePointerEmulationDisableGet();
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    if (m_bMonitorAlreadyPlugged) {
        SetEvent(FrameBuffer.EventPointerShapeChangedGet());
        PrivateFrameBufferMap(Work);
    }
    Work.pFrameBufferZeroCopyMostRecentlyMapped = nullptr;
    Work.FrameBufferZeroCopyPitch = 0;
    Work.liDueTime.QuadPart = InactivityDueTime;

    while (PrivateEventLoopStep(Work, MonitorIndex) == LoopStep::Continue) {
    }

    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferHook::Run request exit... m_MonitorIndex:%d\n", MonitorIndex);
    INimboApiDisplayMonitorInstance* pHardware = m_pHardware.load();
    if (pHardware != nullptr) {
        pHardware->MonitorStop();
        delete pHardware;
    }
    PrivateUninitialize(Work);
    m_pHardware = nullptr;
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferHook::Run exit... MonitorIndex:%d\n", MonitorIndex);
}

DWORD ALThreadFrameBufferHook::PrivateWait(WorkingSet& Work) {
    const HANDLE hPointerPosition = FrameBuffer.EventPointerPositionChangedGet();
    const HANDLE hFrameBuffer = FrameBuffer.EventFramebufferChangedGet();
    Work.Handles[0] = m_hEventRequestExit;
    Work.Handles[1] = FrameBuffer.EventMonitorGet();
    Work.Handles[2] = FrameBuffer.EventPointerShapeChangedGet();
    Work.Handles[3] = m_hTimer;
    Work.Handles[4] = Work.bPointerPositionFirst ? hPointerPosition : hFrameBuffer;
    Work.Handles[5] = Work.bPointerPositionFirst ? hFrameBuffer : hPointerPosition;
    // Of several set events the lowest slot is reported: exit first, and of
    // the last two the one in slot 4.
    return WaitForMultipleObjects(6, Work.Handles, FALSE, WaitTimeoutMilliseconds);
}

ALThreadFrameBufferHook::LoopStep ALThreadFrameBufferHook::PrivateEventLoopStep(WorkingSet& Work, INT32 MonitorIndex) {
    const DWORD SlotPointerPosition = Work.bPointerPositionFirst ? SlotFourth : SlotFifth;
    const DWORD SlotFrameBuffer = Work.bPointerPositionFirst ? SlotFifth : SlotFourth;
    const DWORD Result = PrivateWait(Work);
    if (Result == SlotExit)
        return LoopStep::Exit;
    if (Result == SlotMonitor) {
        ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferHook::Run NIMBO_MONITOR_EVENT m_MonitorIndex:%d\n",
                     MonitorIndex);
        FrameBuffer.EventMonitorReset();
        PrivateOnEventMonitor(Work, MonitorIndex);
    } else if (Result == SlotPointerShape) {
        ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferHook::Run POINTER SHAPE m_MonitorIndex:%d\n", MonitorIndex);
        FrameBuffer.EventPointerShapeChangedReset();
        PrivatePointerShapeStep(Work);
    } else if (Result == SlotTimer) {
        m_pHardware.load()->InactivitySet(true);
    } else if (Result == SlotPointerPosition) {
        PrivateOnEventPointerPosition(Work, MonitorIndex);
    } else if (Result == SlotFrameBuffer) {
        PrivateOnEventFrameBuffer(Work, MonitorIndex);
    } else if (Result == WAIT_TIMEOUT) {
        ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferHook::Run WAIT_TIMEOUT m_MonitorIndex:%d\n", MonitorIndex);
        m_pHardware.load()->Heartbeat();
    } else {
        ALDebugPrint(AL_DEBUG_ERROR | AL_DEBUG_THREAD,
                     L"ALThreadFrameBufferHook::Run WaitForMultipleObjects unexpected result\n");
        return PrivateWaitFailure();
    }
    return LoopStep::Continue;
}

void ALThreadFrameBufferHook::PrivateOnEventPointerPosition(WorkingSet& Work, INT32 MonitorIndex) {
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferHook::Run POINTER POSITION m_MonitorIndex:%d\n", MonitorIndex);
    FrameBuffer.EventPointerPositionChangedReset();
    if (PrivatePointerPositionStep(Work))
        Work.bPointerPositionFirst = false;
}

void ALThreadFrameBufferHook::PrivateOnEventFrameBuffer(WorkingSet& Work, INT32 MonitorIndex) {
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferHook::Run FRAMEBUFFER UPDATE m_MonitorIndex:%d\n", MonitorIndex);
    FrameBuffer.EventFramebufferChangedReset();
    PrivateOnEventFrameBufferChanged(&Work.IoctlInfoMonitorFrameBuffer, &Work.PointerInfoCurrent,
                                     &Work.pFrameBufferZeroCopyMostRecentlyMapped, &Work.FrameBufferZeroCopyPitch);
    // One-shot, 150 ms from now; replaces an earlier due time.
    SetWaitableTimer(m_hTimer, &Work.liDueTime, 0, nullptr, nullptr, FALSE);
    Work.bPointerPositionFirst = true;
}

ALThreadFrameBufferHook::LoopStep ALThreadFrameBufferHook::PrivateWaitFailure() {
    // Pause before waiting again; the exit request still ends the loop at once.
    const DWORD Result = WaitForSingleObject(m_hEventRequestExit, WaitFailurePauseMilliseconds);
    if (Result == WAIT_OBJECT_0)
        return LoopStep::Exit;
    if (Result != WAIT_TIMEOUT)
        Sleep(WaitFailurePauseMilliseconds);  // the exit event itself cannot be waited on
    return m_bExitRequested ? LoopStep::Exit : LoopStep::Continue;
}

void ALThreadFrameBufferHook::PrivateOnEventMonitor(WorkingSet& Work, INT32 MonitorIndex) {
    INimboApiDisplayMonitorInstance* pHardware = m_pHardware.load();
    while (FrameBuffer.CircularBufferMonitorEventsRetrieve(&Work.EventMonitor)) {
        const NIMBO_MONITOR_EVENT& Event = Work.EventMonitor;
        if (Event.Type == NIMBO_MONITOR_EVENT_TYPE_VIDPN_VISIBILITY && Event.Visible != 0) {
            ALDebugPrint(AL_DEBUG_THREAD,
                         L"ALThreadFrameBufferHook::Run NIMBO_MONITOR_EVENT_TYPE_VIDPN_VISIBILITY TRUE "
                         L"m_MonitorIndex:%d\n",
                         MonitorIndex);
            PrivateFrameBufferMap(Work);
            pHardware->MonitorVisibilitySet(true);
        } else if (Event.Type == NIMBO_MONITOR_EVENT_TYPE_VIDPN_VISIBILITY) {
            ALDebugPrint(AL_DEBUG_THREAD,
                         L"ALThreadFrameBufferHook::Run NIMBO_MONITOR_EVENT_TYPE_VIDPN_VISIBILITY FALSE "
                         L"m_MonitorIndex:%d\n",
                         MonitorIndex);
            FrameBuffer.Unmap(*m_pDeviceControl, &Work.IoctlInfoMonitorFrameBuffer, false);
            pHardware->MonitorVisibilitySet(false);
        } else if (Event.Type == NIMBO_MONITOR_EVENT_TYPE_POWER) {
            ALDebugPrint(AL_DEBUG_THREAD,
                         L"ALThreadFrameBufferHook::Run NIMBO_MONITOR_EVENT_TYPE_POWER MonitorIndex:%d "
                         L"PowerState:%d PowerAction:%d\n",
                         MonitorIndex, Event.PowerState, Event.PowerAction);
        } else {
            ALDebugPrint(AL_DEBUG_ERROR, L"NIMBOThreadDesktopExtension::Run unexpected event type %d\n", Event.Type);
        }
    }
}

// --- pointer steps ----------------------------------------------------------------------

bool ALThreadFrameBufferHook::PrivatePointerGateOpen(const WorkingSet& Work) const {
    return FrameBuffer.IsMapped() && FrameBuffer.PointerEventsEnabledGet() != 0 &&
           Work.IoctlInfoMonitorFrameBuffer.pPointerInfo != 0;
}

void ALThreadFrameBufferHook::PrivatePointerShapeStep(WorkingSet& Work) {
    if (!PrivatePointerGateOpen(Work))
        return;
    auto* pShared = static_cast<PointerInfo*>(ALRecordField::AddressFrom(Work.IoctlInfoMonitorFrameBuffer.pPointerInfo));
    if (Work.bHwPointerEmulationDisable) {
        if (!m_pHardware.load()->CursorShapeSet(pShared))
            ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferHook::Run m_pHardware->CursorShapeSet failed!\n");
        return;
    }
    // The new shape reaches the instance with the next pointer or frame update.
    std::memcpy(&Work.PointerInfoPrevious.Shape, &Work.PointerInfoCurrent.Shape, PointerInfo::CountByteShape);
    std::memcpy(&Work.PointerInfoCurrent.Shape, &pShared->Shape, PointerInfo::CountByteShape);
}

bool ALThreadFrameBufferHook::PrivatePointerPositionStep(WorkingSet& Work) {
    if (!PrivatePointerGateOpen(Work))
        return false;
    auto* pShared = static_cast<PointerInfo*>(ALRecordField::AddressFrom(Work.IoctlInfoMonitorFrameBuffer.pPointerInfo));
    if (Work.bHwPointerEmulationDisable) {
        if (!m_pHardware.load()->CursorPositionSet(pShared->X, pShared->Y, pShared->Visible != 0 ? 1 : 0))
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALThreadFrameBufferHook::Run POINTER POSITION m_pHardware->CursorPositionSet failed!\n");
        return true;
    }
    std::memcpy(&Work.PointerInfoPrevious, &Work.PointerInfoCurrent, PointerInfo::CountBytePosition);
    std::memcpy(&Work.PointerInfoCurrent, pShared, PointerInfo::CountBytePosition);
    void* pFrameBuffer = Work.pFrameBufferZeroCopyMostRecentlyMapped;
    UINT32 Pitch = Work.FrameBufferZeroCopyPitch;
    if (pFrameBuffer == nullptr) {
        pFrameBuffer = ALRecordField::AddressFrom(Work.IoctlInfoMonitorFrameBuffer.pFrameBuffer);
        Pitch = Work.IoctlInfoMonitorFrameBuffer.Pitch;
    }
    PrivateOnEventPointerPositionChanged(&Work.IoctlInfoMonitorFrameBuffer, pFrameBuffer, Pitch,
                                         &Work.PointerInfoCurrent, &Work.PointerInfoPrevious);
    return true;
}

void ALThreadFrameBufferHook::PrivateOnEventPointerPositionChanged(IoctlInfoMonitorFrameBuffer* pIoctlInfoMonitorFrameBuffer,
                                                                   void* pFrameBuffer, UINT32 Pitch,
                                                                   PointerInfo* pPointerInfoCurrent,
                                                                   PointerInfo* pPointerInfoPrevious) {
    const bool bCompleted = ALUtilGuardedRun(kPointerPositionChangedName, [&] {
        RECT RectangleUpdateAreaCursor{};
        PrivateGetCursorUpdateRect(pPointerInfoPrevious, pPointerInfoCurrent, pIoctlInfoMonitorFrameBuffer->Width,
                                   pIoctlInfoMonitorFrameBuffer->Height, &RectangleUpdateAreaCursor);
        if (pFrameBuffer == nullptr)
            return;
        // Sent even when the rectangle is empty.
        if (!m_pHardware.load()->FrameBufferUpdate(FrameBufferInfoOf(*pIoctlInfoMonitorFrameBuffer), pFrameBuffer,
                                                   Pitch, nullptr, 0, &RectangleUpdateAreaCursor, 0,
                                                   pPointerInfoCurrent))
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALThreadFrameBufferHook::Run POINTER POSITION ZKLHwNetwork::FrameBufferUpdate failed!\n");
    });
    if (!bCompleted)
        Sleep(FaultPauseMilliseconds);
}

void ALThreadFrameBufferHook::PrivateGetCursorUpdateRect(const PointerInfo* pPointerInfoPrevious,
                                                         const PointerInfo* pPointerInfoCurrent, UINT32 Width,
                                                         UINT32 Height, RECT* pRectangle) {
    if (pPointerInfoPrevious == nullptr || pPointerInfoCurrent == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferHook::PrivateGetCursorUpdateRect failed! Invalid Parameter\n");
        return;
    }
    // 64-bit edges: a position near the limits plus a shape size read from
    // shared memory must not overflow before the clamp.
    const int64_t w = pPointerInfoCurrent->Shape.ShapeWidth;
    const int64_t h = pPointerInfoCurrent->Shape.ShapeHeight;
    const int64_t PreviousX = pPointerInfoPrevious->X, PreviousY = pPointerInfoPrevious->Y;
    const int64_t CurrentX = pPointerInfoCurrent->X, CurrentY = pPointerInfoCurrent->Y;
    const uint8_t PreviousVisible = pPointerInfoPrevious->Visible;
    const uint8_t CurrentVisible = pPointerInfoCurrent->Visible;
    int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    if (PreviousVisible == 1 && CurrentVisible == 0) {
        Left = PreviousX, Top = PreviousY, Right = PreviousX + w, Bottom = PreviousY + h;
    } else if (PreviousVisible == 0 && CurrentVisible == 1) {
        Left = CurrentX, Top = CurrentY, Right = CurrentX + w, Bottom = CurrentY + h;
    } else if (PreviousVisible == 1 && CurrentVisible == 1) {
        Left = PreviousX < CurrentX ? PreviousX : CurrentX;
        Top = PreviousY < CurrentY ? PreviousY : CurrentY;
        Right = PreviousX + w > CurrentX + w ? PreviousX + w : CurrentX + w;
        Bottom = PreviousY + h > CurrentY + h ? PreviousY + h : CurrentY + h;
    }
    if (Left < 0)
        Left = 0;
    if (Top < 0)
        Top = 0;
    if (Right > static_cast<int64_t>(Width))
        Right = Width;
    if (Bottom > static_cast<int64_t>(Height))
        Bottom = Height;
    pRectangle->left = static_cast<LONG>(Left);
    pRectangle->top = static_cast<LONG>(Top);
    pRectangle->right = static_cast<LONG>(Right);
    pRectangle->bottom = static_cast<LONG>(Bottom);
}

// --- frame-buffer step ------------------------------------------------------------------

void ALThreadFrameBufferHook::PrivateGetUpdateRect(IoctlInfoMonitorFrameBuffer* pInfo, RECT* pRectangle,
                                                   bool* pbRetrieved, bool* pbOverflow, UINT32* pFlags) {
    UINT32 Flags = 0;
    bool bRetrieved = false;
    const bool bOverflow = FrameBuffer.OverflowCheckAndDrain();
    const RECT WholeFrame{0, 0, static_cast<LONG>(pInfo->Width), static_cast<LONG>(pInfo->Height)};
    RECT Rectangle = WholeFrame;
    if (!bOverflow) {
        bRetrieved = FrameBuffer.UpdateRectanglesRetrieve(pInfo->Width, pInfo->Height, &Rectangle, &Flags);
        if (!bRetrieved)
            Rectangle = WholeFrame;
    }
    *pRectangle = Rectangle;
    if (pbRetrieved != nullptr)
        *pbRetrieved = bRetrieved;
    if (pbOverflow != nullptr)
        *pbOverflow = bOverflow;
    if (pFlags != nullptr)
        *pFlags = Flags;
}

void ALThreadFrameBufferHook::PrivateOnEventFrameBufferChanged(IoctlInfoMonitorFrameBuffer* pIoctlInfoMonitorFrameBuffer,
                                                               PointerInfo* pPointerInfoCurrent,
                                                               void** ppFrameBufferZeroCopyMostRecentlyMapped,
                                                               UINT32* pFrameBufferZeroCopyPitch) {
    bool bAuxiliaryHeld = false;
    void* pAuxiliary = nullptr;
    const bool bCompleted = ALUtilGuardedRun(kFrameBufferChangedName, [&] {
        PrivateFrameBufferChangedBody(pIoctlInfoMonitorFrameBuffer, pPointerInfoCurrent,
                                      ppFrameBufferZeroCopyMostRecentlyMapped, pFrameBufferZeroCopyPitch,
                                      &bAuxiliaryHeld, &pAuxiliary);
    });
    if (bCompleted)
        return;
    // A fault between fetch and release must not cost the driver its
    // auxiliary buffer.
    if (bAuxiliaryHeld && !FrameBuffer.ZeroCopyUnmap(*m_pDeviceControl, pAuxiliary))
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALThreadFrameBufferHook::PrivateOnEventFrameBufferChanged FrameBuffer.ZeroCopyUnmap failed!\n");
    Sleep(FaultPauseMilliseconds);
}

void ALThreadFrameBufferHook::PrivateFrameBufferChangedBody(IoctlInfoMonitorFrameBuffer* pIoctlInfoMonitorFrameBuffer,
                                                            PointerInfo* pPointerInfoCurrent,
                                                            void** ppFrameBufferZeroCopyMostRecentlyMapped,
                                                            UINT32* pFrameBufferZeroCopyPitch, bool* pbAuxiliaryHeld,
                                                            void** ppAuxiliary) {
    if (!FrameBuffer.IsMapped())
        return;
    RECT RectangleUpdateArea{};
    UINT32 Flags = 0;
    PrivateGetUpdateRect(pIoctlInfoMonitorFrameBuffer, &RectangleUpdateArea, nullptr, nullptr, &Flags);
    if (m_bWholeFrameOwed) {
        RectangleUpdateArea = RECT{0, 0, static_cast<LONG>(pIoctlInfoMonitorFrameBuffer->Width),
                                   static_cast<LONG>(pIoctlInfoMonitorFrameBuffer->Height)};
        m_bWholeFrameOwed = false;
    }
    ALDebugPrint(AL_DEBUG_THREAD, L"ALThreadFrameBufferHook::Run FRAMEBUFFER UPDATE %d %d %d %d AERO:%s\n",
                 RectangleUpdateArea.left, RectangleUpdateArea.top, RectangleUpdateArea.right,
                 RectangleUpdateArea.bottom, pIoctlInfoMonitorFrameBuffer->Aero != 0 ? L"ON" : L"OFF");
    const bool bPointerIncluded = FrameBuffer.PointerEventsEnabledGet() == 1;

    void* pFrameBuffer = ALRecordField::AddressFrom(pIoctlInfoMonitorFrameBuffer->pFrameBuffer);
    UINT32 Pitch = pIoctlInfoMonitorFrameBuffer->Pitch;
    void* pFrameBufferAuxiliaryZeroCopy = nullptr;
    UINT32 FrameBufferAuxiliaryPitch = 0;
    *ppFrameBufferZeroCopyMostRecentlyMapped = nullptr;
    *pFrameBufferZeroCopyPitch = 0;

    // Bit value 2 or 4: this one update comes from the driver's zero-copy buffer.
    const bool bZeroCopy = ZeroCopyRequested(Flags);
    if (bZeroCopy &&
        PrivateZeroCopyFetch(&pFrameBuffer, &Pitch, &pFrameBufferAuxiliaryZeroCopy, &FrameBufferAuxiliaryPitch)) {
        *ppFrameBufferZeroCopyMostRecentlyMapped = pFrameBuffer;
        *pFrameBufferZeroCopyPitch = Pitch;
        *ppAuxiliary = pFrameBufferAuxiliaryZeroCopy;
        *pbAuxiliaryHeld = true;
    }

    const bool bRectangleSet = RectangleUpdateArea.left != 0 || RectangleUpdateArea.top != 0 ||
                               RectangleUpdateArea.right != 0 || RectangleUpdateArea.bottom != 0;
    if (pFrameBuffer != nullptr && bRectangleSet &&
        !m_pHardware.load()->FrameBufferUpdate(FrameBufferInfoOf(*pIoctlInfoMonitorFrameBuffer), pFrameBuffer, Pitch,
                                               pFrameBufferAuxiliaryZeroCopy, FrameBufferAuxiliaryPitch,
                                               &RectangleUpdateArea, Flags,
                                               bPointerIncluded ? pPointerInfoCurrent : nullptr))
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALThreadFrameBufferHook::PrivateOnEventFrameBufferChanged FrameBufferUpdate failed!\n");

    if (bZeroCopy) {
        *pbAuxiliaryHeld = false;
        if (!FrameBuffer.ZeroCopyUnmap(*m_pDeviceControl, pFrameBufferAuxiliaryZeroCopy))
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALThreadFrameBufferHook::PrivateOnEventFrameBufferChanged FrameBuffer.ZeroCopyUnmap "
                         L"failed!\n");
    }
}

bool ALThreadFrameBufferHook::PrivateZeroCopyFetch(void** ppFrameBuffer, UINT32* pPitch, void** ppFrameBufferAuxiliary,
                                                   UINT32* pFrameBufferAuxiliaryPitch) {
    void* pFrameBufferZeroCopy = nullptr;
    UINT32 PitchZeroCopy = 0;
    void* pFrameBufferAuxiliaryZeroCopy = nullptr;
    UINT32 FrameBufferAuxiliaryPitch = 0;
    if (!FrameBuffer.ZeroCopyUpdate(*m_pDeviceControl, &pFrameBufferZeroCopy, &PitchZeroCopy,
                                    &pFrameBufferAuxiliaryZeroCopy, &FrameBufferAuxiliaryPitch))
        return false;  // the mapped frame buffer stays in use, without an auxiliary buffer
    *ppFrameBuffer = pFrameBufferZeroCopy;
    *pPitch = PitchZeroCopy;
    *ppFrameBufferAuxiliary = pFrameBufferAuxiliaryZeroCopy;
    *pFrameBufferAuxiliaryPitch = FrameBufferAuxiliaryPitch;
    return true;
}
