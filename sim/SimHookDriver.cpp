#include "SimHookDriver.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>

#include "SimHookRequestDecoder.h"
#include "driver/ALHookIoctlRecords.h"
#include "driver/ALIoctlCode.h"
#include "driver/ALRecordField.h"

namespace {

template <typename T>
T RecordRead(const uint8_t* pBuffer) {
    T Record;
    std::memcpy(&Record, pBuffer, sizeof(T));
    return Record;
}

template <typename T>
void RecordWrite(uint8_t* pBuffer, const T& Record) {
    std::memcpy(pBuffer, &Record, sizeof(T));
}

CircularBufferHeader* HeaderOf(SimSharedSection& Ring) {
    return reinterpret_cast<CircularBufferHeader*>(Ring.DriverView());
}

// The buffer is there and holds at least CountByte bytes.
bool BufferHolds(const void* pBuffer, DWORD CountByteBuffer, DWORD CountByte) {
    return pBuffer != nullptr && CountByteBuffer >= CountByte;
}

}  // namespace

SimHookDriver::SimHookDriver(const Config& Settings) : m_Config(Settings) {
    m_Slots.resize(m_Config.AdaptersActive.size());
    for (auto& Adapter : m_Slots)
        Adapter.resize(m_Config.MonitorCount);
}

SimHookDriver::~SimHookDriver() {
    for (auto& Adapter : m_Slots)
        for (auto& Target : Adapter) {
            PrivateSubscriptionEnd(Target, true);
            PrivateMappingEnd(Target, true);
            for (auto& Mapping : Target.ZeroCopy)
                PrivateZeroCopyEnd(Mapping);
        }
}

std::shared_ptr<SimHookDriver> SimHookDriver::Install(const Config& Settings) {
    auto pDriver = std::make_shared<SimHookDriver>(Settings);
    if (!MachineDeviceRegister(DeviceName, pDriver))
        return nullptr;
    if (Settings.bRegistryWrite)
        PrivateRegistryDwordWrite(ServiceKey, L"MonitorCount", Settings.MonitorCount);
    return pDriver;
}

bool SimHookDriver::Uninstall() { return MachineDeviceUnregister(DeviceName); }

// --- requests -------------------------------------------------------------------

DWORD SimHookDriver::PrivateRequest(DWORD Code, const Buffers& Request) {
    switch (Code) {
    case ALIoctlCode::HookDriverAdapterIsActive:
        return PrivateAdapterIsActive(Request);
    case ALIoctlCode::MonitorPlug:
        return PrivatePlug(Request);
    case ALIoctlCode::MonitorUnplug:
        return PrivateUnplug(Request);
    case ALIoctlCode::MonitorEdidSet:
        return PrivateEdidSet(Request);
    case ALIoctlCode::MonitorEventsSubscribe:
        return PrivateEventsSubscribe(Request);
    case ALIoctlCode::MonitorEventUnsubscribe:
        return PrivateEventUnsubscribe(Request);
    case ALIoctlCode::MonitorFrameBufferMap:
        return PrivateFrameBufferMap(Request);
    case ALIoctlCode::MonitorFrameBufferUnmap:
        return PrivateFrameBufferUnmap(Request);
    case ALIoctlCode::MonitorFrameBufferZeroCopyUpdate:
        return PrivateZeroCopyUpdate(Request);
    case ALIoctlCode::MonitorFrameBufferZeroCopyUnmap:
        return PrivateZeroCopyUnmap(Request);
    case ALIoctlCode::MonitorPersistOnClose:
        return PrivatePersistOnCloseSet(Request);
    default:
        return ERROR_INVALID_FUNCTION;
    }
}

std::wstring SimHookDriver::PrivateDecode(DWORD Code, const SimRequest& Request) const {
    return SimHookRequestDecoder::Decode(Code, Request);
}

SimHookDriver::Slot* SimHookDriver::PrivateSlotFind(uint32_t AdapterIndex, uint32_t MonitorIndex) {
    if (AdapterIndex >= m_Slots.size() || MonitorIndex >= m_Slots[AdapterIndex].size())
        return nullptr;
    return &m_Slots[AdapterIndex][MonitorIndex];
}

const SimHookDriver::Slot* SimHookDriver::PrivateSlotFind(uint32_t AdapterIndex, uint32_t MonitorIndex) const {
    return const_cast<SimHookDriver*>(this)->PrivateSlotFind(AdapterIndex, MonitorIndex);
}

SimHookDriver::Slot* SimHookDriver::PrivateSlotOfRecord(const uint8_t* pRecord, DWORD CountByteRecord,
                                                         DWORD CountByteNeeded, DWORD* pdwError) {
    if (!BufferHolds(pRecord, CountByteRecord, CountByteNeeded)) {
        *pdwError = ERROR_INSUFFICIENT_BUFFER;
        return nullptr;
    }
    Slot* pSlot = PrivateSlotFind(RecordRead<uint32_t>(pRecord), RecordRead<uint32_t>(pRecord + 4));
    *pdwError = pSlot == nullptr ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    return pSlot;
}

DWORD SimHookDriver::PrivateAdapterIsActive(const Buffers& Request) {
    if (!BufferHolds(Request.pInput, Request.CountByteInput, sizeof(uint32_t)) ||
        !BufferHolds(Request.pOutput, Request.CountByteOutput, sizeof(uint32_t)))
        return ERROR_INSUFFICIENT_BUFFER;
    const uint32_t AdapterIndex = RecordRead<uint32_t>(Request.pInput);
    if (AdapterIndex >= m_Config.AdaptersActive.size())
        return ERROR_INVALID_PARAMETER;
    RecordWrite<uint32_t>(Request.pOutput, m_Config.AdaptersActive[AdapterIndex] ? 1 : 0);
    *Request.pBytesReturned = sizeof(uint32_t);
    return ERROR_SUCCESS;
}

DWORD SimHookDriver::PrivatePlug(const Buffers& Request) {
    SimMonitorDescription Description;
    DWORD dwError = SimMonitorDescription::Parse(Request.pOutput, Request.CountByteOutput, &Description);
    if (dwError != ERROR_SUCCESS)
        return dwError;
    Slot* pSlot = PrivateSlotFind(Description.AdapterIndex, Description.MonitorIndex);
    if (pSlot == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (!m_Config.AdaptersActive[Description.AdapterIndex])
        return ERROR_NOT_SUPPORTED;
    if (pSlot->bPlugged) {
        // The monitor outlived the file that plugged it; it now belongs to
        // this one.
        pSlot->OwnerFileId = Request.FileId;
        return ERROR_ALREADY_EXISTS;
    }
    const uint32_t Width = Description.WidthGet();
    const uint32_t Height = Description.HeightGet();
    const uint32_t Pitch = (Width * 4 + PitchAlignment - 1) / PitchAlignment * PitchAlignment;
    auto pFrame = SimSharedSection::Create(static_cast<size_t>(Pitch) * Height);
    auto pPointer = SimSharedSection::Create(sizeof(PointerInfo));
    if (pFrame == nullptr || pPointer == nullptr)
        return ERROR_NOT_ENOUGH_MEMORY;
    pSlot->bPlugged = true;
    pSlot->OwnerFileId = Request.FileId;
    pSlot->Description = std::move(Description);
    pSlot->Pitch = Pitch;
    pSlot->pFrame = std::move(pFrame);
    pSlot->pPointer = std::move(pPointer);
    pSlot->pPattern = std::make_unique<SimFramePattern>(Width, Height);
    pSlot->pPattern->Step(pSlot->pFrame->DriverView(), Pitch);
    if (m_Config.bVisibilityOnPlug && pSlot->bSubscribed) {
        NIMBO_MONITOR_EVENT Event{};
        Event.Type = NIMBO_MONITOR_EVENT_TYPE_VIDPN_VISIBILITY;
        Event.Visible = 1;
        PrivateEventPush(*pSlot, Event);
    }
    return ERROR_SUCCESS;
}

DWORD SimHookDriver::PrivateUnplug(const Buffers& Request) {
    DWORD dwError = ERROR_SUCCESS;
    Slot* pSlot = PrivateSlotOfRecord(Request.pOutput, Request.CountByteOutput, sizeof(IoctlInfo), &dwError);
    if (pSlot == nullptr)
        return dwError;
    if (!pSlot->bPlugged)
        return ERROR_DEVICE_NOT_CONNECTED;
    PrivateMonitorRemove(*pSlot);
    return ERROR_SUCCESS;
}

DWORD SimHookDriver::PrivateEdidSet(const Buffers& Request) {
    DWORD dwError = ERROR_SUCCESS;
    Slot* pSlot = PrivateSlotOfRecord(Request.pOutput, Request.CountByteOutput, 2 * sizeof(uint32_t), &dwError);
    if (pSlot == nullptr)
        return dwError;
    pSlot->Edid.assign(Request.pOutput + 2 * sizeof(uint32_t), Request.pOutput + Request.CountByteOutput);
    return ERROR_SUCCESS;
}

DWORD SimHookDriver::PrivateEventsSubscribe(const Buffers& Request) {
    DWORD dwError = ERROR_SUCCESS;
    Slot* pSlot = PrivateSlotOfRecord(Request.pInput, Request.CountByteInput, sizeof(IoctlInfoEventsIn), &dwError);
    if (pSlot == nullptr)
        return dwError;
    const bool bWithOutput = Request.pOutput != nullptr;
    if (bWithOutput && Request.CountByteOutput < sizeof(EventsSubscribeInfo))
        return ERROR_INSUFFICIENT_BUFFER;
    if (pSlot->bSubscribed)
        return ERROR_ALREADY_EXISTS;
    const auto Info = RecordRead<IoctlInfoEventsIn>(Request.pInput);
    HANDLE hOwn[3] = {nullptr, nullptr, nullptr};
    const uint64_t Handles[3] = {Info.hEventMonitor, Info.hEventPointerPositionChanged,
                                 Info.hEventPointerShapeChanged};
    for (int Index = 0; Index < 3 && dwError == ERROR_SUCCESS; ++Index)
        dwError = PrivateHandleReference(Handles[Index], &hOwn[Index]);
    auto pRing = dwError == ERROR_SUCCESS
                     ? SimSharedSection::Create(sizeof(CircularBufferHeader) +
                                                m_Config.EventRingCountElements * sizeof(NIMBO_MONITOR_EVENT))
                     : nullptr;
    if (dwError == ERROR_SUCCESS && pRing == nullptr)
        dwError = ERROR_NOT_ENOUGH_MEMORY;
    if (dwError != ERROR_SUCCESS) {
        for (HANDLE& hEvent : hOwn)
            PrivateHandleClose(&hEvent);
        return dwError;
    }
    PrivateRingInit(*pRing, m_Config.EventRingCountElements, sizeof(NIMBO_MONITOR_EVENT));
    pSlot->bSubscribed = true;
    pSlot->SubscriberFileId = Request.FileId;
    pSlot->hEventMonitor = hOwn[0];
    pSlot->hEventPointerPositionChanged = hOwn[1];
    pSlot->hEventPointerShapeChanged = hOwn[2];
    pSlot->pEventRing = std::move(pRing);
    pSlot->EventProducer = 0;
    pSlot->pEventRingView = bWithOutput ? pSlot->pEventRing->ViewMap() : nullptr;
    if (bWithOutput) {
        EventsSubscribeInfo Out{};
        Out.PointerEventsEnabled = m_Config.PointerEventsEnabled;
        Out.pCircularBufferMonitorEvents = ALRecordField::AddressTo(pSlot->pEventRingView);
        RecordWrite(Request.pOutput, Out);
        *Request.pBytesReturned = sizeof(Out);
    }
    return ERROR_SUCCESS;
}

DWORD SimHookDriver::PrivateEventUnsubscribe(const Buffers& Request) {
    DWORD dwError = ERROR_SUCCESS;
    Slot* pSlot = PrivateSlotOfRecord(Request.pInput, Request.CountByteInput, sizeof(IoctlInfoEventsIn), &dwError);
    if (pSlot == nullptr)
        return dwError;
    const bool bWithOutput = Request.pOutput != nullptr;
    if (bWithOutput && Request.CountByteOutput < sizeof(IoctlInfoEventsOut))
        return ERROR_INSUFFICIENT_BUFFER;
    if (!pSlot->bSubscribed)
        return ERROR_NOT_FOUND;
    uint64_t pRingAddress = 0;
    if (bWithOutput)
        pRingAddress = RecordRead<IoctlInfoEventsOut>(Request.pOutput).pCircularBufferMonitorEvents;
    if (pRingAddress != 0 && pRingAddress != ALRecordField::AddressTo(pSlot->pEventRingView))
        return ERROR_INVALID_PARAMETER;
    PrivateSubscriptionEnd(*pSlot, pRingAddress != 0);
    return ERROR_SUCCESS;
}

DWORD SimHookDriver::PrivateFrameBufferMap(const Buffers& Request) {
    DWORD dwError = ERROR_SUCCESS;
    Slot* pSlot =
        PrivateSlotOfRecord(Request.pInput, Request.CountByteInput, sizeof(IoctlInfoFrameBufferIn), &dwError);
    if (pSlot == nullptr)
        return dwError;
    if (!BufferHolds(Request.pOutput, Request.CountByteOutput, sizeof(IoctlInfoMonitorFrameBuffer)))
        return ERROR_INSUFFICIENT_BUFFER;
    if (!pSlot->bPlugged)
        return ERROR_DEVICE_NOT_CONNECTED;
    if (pSlot->bMapped)
        return ERROR_ALREADY_EXISTS;
    HANDLE hOwn = nullptr;
    dwError = PrivateHandleReference(RecordRead<IoctlInfoFrameBufferIn>(Request.pInput).hEventFramebufferChanged,
                                     &hOwn);
    if (dwError != ERROR_SUCCESS)
        return dwError;
    auto pRing = SimSharedSection::Create(sizeof(CircularBufferHeader) +
                                          m_Config.UpdateRingCountElements * sizeof(FrameBufferUpdateEntry));
    if (pRing == nullptr) {
        PrivateHandleClose(&hOwn);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    PrivateRingInit(*pRing, m_Config.UpdateRingCountElements, sizeof(FrameBufferUpdateEntry));
    pSlot->bMapped = true;
    pSlot->MapperFileId = Request.FileId;
    pSlot->hEventFramebufferChanged = hOwn;
    pSlot->pUpdateRing = std::move(pRing);
    pSlot->UpdateProducer = 0;
    pSlot->pFrameView = pSlot->pFrame->ViewMap();
    pSlot->pUpdateRingView = pSlot->pUpdateRing->ViewMap();
    pSlot->pPointerView = pSlot->pPointer->ViewMap();
    if (m_Config.UpdateOnMap) {
        FrameBufferUpdateEntry Entry{};
        Entry.RectSource = *m_Config.UpdateOnMap;
        Entry.RectDestination = *m_Config.UpdateOnMap;
        PrivateUpdatePush(*pSlot, Entry);
    }

    IoctlInfoMonitorFrameBuffer Out{};
    Out.Width = pSlot->Description.WidthGet();
    Out.Height = pSlot->Description.HeightGet();
    Out.FrameBufferInfo2 = BitsPerPixel;
    Out.FrameBufferInfo3 = pSlot->Description.Modes[0].RefreshRate;
    Out.Pitch = pSlot->Pitch;
    Out.pFrameBuffer = ALRecordField::AddressTo(pSlot->pFrameView);
    Out.pCircularBufferUpdates = ALRecordField::AddressTo(pSlot->pUpdateRingView);
    Out.pPointerInfo = ALRecordField::AddressTo(pSlot->pPointerView);
    Out.Aero = 1;
    RecordWrite(Request.pOutput, Out);
    *Request.pBytesReturned = sizeof(Out);
    return ERROR_SUCCESS;
}

DWORD SimHookDriver::PrivateFrameBufferUnmap(const Buffers& Request) {
    DWORD dwError = ERROR_SUCCESS;
    Slot* pSlot =
        PrivateSlotOfRecord(Request.pInput, Request.CountByteInput, sizeof(IoctlInfoFrameBufferIn), &dwError);
    if (pSlot == nullptr)
        return dwError;
    if (!BufferHolds(Request.pOutput, Request.CountByteOutput, sizeof(IoctlInfoMonitorFrameBuffer)))
        return ERROR_INSUFFICIENT_BUFFER;
    if (!pSlot->bMapped)
        return ERROR_NOT_FOUND;
    if (RecordRead<IoctlInfoMonitorFrameBuffer>(Request.pOutput).pFrameBuffer !=
        ALRecordField::AddressTo(pSlot->pFrameView))
        return ERROR_INVALID_PARAMETER;
    PrivateMappingEnd(*pSlot, true);
    return ERROR_SUCCESS;
}

DWORD SimHookDriver::PrivateZeroCopyUpdate(const Buffers& Request) {
    DWORD dwError = ERROR_SUCCESS;
    Slot* pSlot = PrivateSlotOfRecord(Request.pInput, Request.CountByteInput, sizeof(IoctlInfoZeroCopyIn), &dwError);
    if (pSlot == nullptr)
        return dwError;
    const bool bWithOutput = Request.pOutput != nullptr;
    if (bWithOutput && Request.CountByteOutput < sizeof(IoctlInfoZeroCopyOut))
        return ERROR_INSUFFICIENT_BUFFER;
    if (!pSlot->bPlugged)
        return ERROR_DEVICE_NOT_CONNECTED;
    if (!bWithOutput)
        return ERROR_SUCCESS;  // nothing asked for, nothing handed out
    // A new frame address replaces the one this file was last given.
    std::erase_if(pSlot->ZeroCopy, [this, &Request](ZeroCopyMapping& Mapping) {
        if (Mapping.FileId != Request.FileId || Mapping.pAuxiliary != nullptr)
            return false;
        PrivateZeroCopyEnd(Mapping);
        return true;
    });
    // The live frame, and beside it a snapshot of it that stays still until
    // released.
    auto pAuxiliary = SimSharedSection::Create(pSlot->pFrame->CountByteGet());
    if (pAuxiliary == nullptr)
        return ERROR_NOT_ENOUGH_MEMORY;
    std::memcpy(pAuxiliary->DriverView(), pSlot->pFrame->DriverView(), pSlot->pFrame->CountByteGet());
    ZeroCopyMapping Mapping{Request.FileId, pSlot->pFrame, pSlot->pFrame->ViewMap(), pAuxiliary,
                            pAuxiliary->ViewMap()};
    IoctlInfoZeroCopyOut Out{};
    Out.pFrameBufferZeroCopy = ALRecordField::AddressTo(Mapping.pFrameView);
    Out.Pitch = pSlot->Pitch;
    Out.pFrameBufferAuxiliaryZeroCopy = ALRecordField::AddressTo(Mapping.pAuxiliaryView);
    Out.FrameBufferAuxiliaryPitch = pSlot->Pitch;
    pSlot->ZeroCopy.push_back(std::move(Mapping));
    RecordWrite(Request.pOutput, Out);
    *Request.pBytesReturned = sizeof(Out);
    return ERROR_SUCCESS;
}

DWORD SimHookDriver::PrivateZeroCopyUnmap(const Buffers& Request) {
    DWORD dwError = ERROR_SUCCESS;
    Slot* pSlot =
        PrivateSlotOfRecord(Request.pInput, Request.CountByteInput, sizeof(IoctlInfoZeroCopyUnmapIn), &dwError);
    if (pSlot == nullptr)
        return dwError;
    const uint64_t pAuxiliary = RecordRead<IoctlInfoZeroCopyUnmapIn>(Request.pInput).pFrameBufferAuxiliaryZeroCopy;
    auto Entry = std::find_if(pSlot->ZeroCopy.begin(), pSlot->ZeroCopy.end(), [pAuxiliary](const ZeroCopyMapping& M) {
        return ALRecordField::AddressTo(M.pAuxiliaryView) == pAuxiliary;
    });
    if (pAuxiliary == 0 || Entry == pSlot->ZeroCopy.end())
        return ERROR_INVALID_PARAMETER;
    // Only the auxiliary buffer is handed back; the frame address stays
    // valid for the process until its next zero-copy update (the library
    // keeps painting the pointer into it) or until the file closes.
    Entry->pAuxiliary->ViewUnmap(Entry->pAuxiliaryView);
    Entry->pAuxiliary.reset();
    Entry->pAuxiliaryView = nullptr;
    return ERROR_SUCCESS;
}

// --- state changes --------------------------------------------------------------

void SimHookDriver::PrivateOrphan(uint64_t FileId, const std::shared_ptr<SimSharedSection>& pSection) {
    if (pSection != nullptr && pSection->ViewCount() > 0)
        m_Orphans.push_back(Orphan{FileId, pSection});
}

void SimHookDriver::PrivateSubscriptionEnd(Slot& Target, bool bUnmapView) {
    if (!Target.bSubscribed)
        return;
    PrivateHandleClose(&Target.hEventMonitor);
    PrivateHandleClose(&Target.hEventPointerPositionChanged);
    PrivateHandleClose(&Target.hEventPointerShapeChanged);
    if (bUnmapView && Target.pEventRingView != nullptr)
        Target.pEventRing->ViewUnmap(Target.pEventRingView);
    PrivateOrphan(Target.SubscriberFileId, Target.pEventRing);
    Target.pEventRing.reset();
    Target.pEventRingView = nullptr;
    Target.bSubscribed = false;
    Target.SubscriberFileId = 0;
}

void SimHookDriver::PrivateMappingEnd(Slot& Target, bool bUnmapViews) {
    if (!Target.bMapped)
        return;
    PrivateHandleClose(&Target.hEventFramebufferChanged);
    if (bUnmapViews) {
        Target.pFrame->ViewUnmap(Target.pFrameView);
        Target.pUpdateRing->ViewUnmap(Target.pUpdateRingView);
        Target.pPointer->ViewUnmap(Target.pPointerView);
    }
    PrivateOrphan(Target.MapperFileId, Target.pFrame);
    PrivateOrphan(Target.MapperFileId, Target.pUpdateRing);
    PrivateOrphan(Target.MapperFileId, Target.pPointer);
    Target.pUpdateRing.reset();
    Target.pFrameView = Target.pUpdateRingView = Target.pPointerView = nullptr;
    Target.bMapped = false;
    Target.MapperFileId = 0;
}

void SimHookDriver::PrivateZeroCopyEnd(ZeroCopyMapping& Mapping) {
    Mapping.pFrame->ViewUnmap(Mapping.pFrameView);
    if (Mapping.pAuxiliary != nullptr)
        Mapping.pAuxiliary->ViewUnmap(Mapping.pAuxiliaryView);
}

void SimHookDriver::PrivateMonitorRemove(Slot& Target) {
    // Views the process still has of the monitor stay valid until it
    // unmaps them or closes its file.
    PrivateMappingEnd(Target, false);
    for (auto& Mapping : Target.ZeroCopy) {
        PrivateOrphan(Mapping.FileId, Mapping.pFrame);
        PrivateOrphan(Mapping.FileId, Mapping.pAuxiliary);
    }
    Target.ZeroCopy.clear();
    Target.bPlugged = false;
    Target.OwnerFileId = 0;
    Target.Description = SimMonitorDescription();
    Target.Edid.clear();
    Target.pFrame.reset();
    Target.pPointer.reset();
    Target.pPattern.reset();
}

void SimHookDriver::PrivateFileClose(uint64_t FileId, uint32_t PersistOnClose) {
    for (auto& Adapter : m_Slots) {
        for (auto& Target : Adapter) {
            if (Target.bSubscribed && Target.SubscriberFileId == FileId)
                PrivateSubscriptionEnd(Target, true);
            if (Target.bMapped && Target.MapperFileId == FileId)
                PrivateMappingEnd(Target, true);
            for (auto Entry = Target.ZeroCopy.begin(); Entry != Target.ZeroCopy.end();) {
                if (Entry->FileId != FileId) {
                    ++Entry;
                    continue;
                }
                PrivateZeroCopyEnd(*Entry);
                Entry = Target.ZeroCopy.erase(Entry);
            }
            if (Target.bPlugged && Target.OwnerFileId == FileId && PersistOnClose == 0)
                PrivateMonitorRemove(Target);
        }
    }
    std::erase_if(m_Orphans, [FileId](const Orphan& Entry) { return Entry.FileId == FileId; });
}

// --- rings ----------------------------------------------------------------------

void SimHookDriver::PrivateRingInit(SimSharedSection& Ring, uint32_t CountElements, uint32_t CountByteElement) {
    CircularBufferHeader* pHeader = HeaderOf(Ring);
    pHeader->Producer = 0;
    pHeader->Consumer = 0;
    pHeader->CountElements = CountElements;
    pHeader->CountByteElement = CountByteElement;
    pHeader->Overflow = 0;
}

bool SimHookDriver::PrivateRingPush(SimSharedSection& Ring, uint32_t* pProducer, uint32_t CountElements,
                                    const void* pElement, uint32_t CountByteElement) {
    // The driver trusts only its own producer index and capacity; the
    // consumer index comes from the process and may be anything.
    CircularBufferHeader* pHeader = HeaderOf(Ring);
    const uint32_t Consumer = std::atomic_ref<uint32_t>(pHeader->Consumer).load(std::memory_order_acquire);
    const uint32_t Next = (*pProducer + 1) % CountElements;
    if (Consumer >= CountElements || Next == Consumer) {
        std::atomic_ref<uint32_t>(pHeader->Overflow).store(1, std::memory_order_release);
        return false;
    }
    std::memcpy(Ring.DriverView() + sizeof(CircularBufferHeader) + static_cast<size_t>(*pProducer) * CountByteElement,
                pElement, CountByteElement);
    *pProducer = Next;
    std::atomic_ref<uint32_t>(pHeader->Producer).store(Next, std::memory_order_release);
    return true;
}

bool SimHookDriver::PrivateEventPush(Slot& Target, const NIMBO_MONITOR_EVENT& Event) {
    if (!Target.bSubscribed)
        return false;
    const bool bPushed = PrivateRingPush(*Target.pEventRing, &Target.EventProducer, m_Config.EventRingCountElements,
                                         &Event, sizeof(Event));
    SetEvent(Target.hEventMonitor);
    return bPushed;
}

bool SimHookDriver::PrivateUpdatePush(Slot& Target, const FrameBufferUpdateEntry& Entry) {
    if (!Target.bMapped)
        return false;
    const bool bPushed = PrivateRingPush(*Target.pUpdateRing, &Target.UpdateProducer,
                                         m_Config.UpdateRingCountElements, &Entry, sizeof(Entry));
    SetEvent(Target.hEventFramebufferChanged);
    return bPushed;
}

// --- scenario -------------------------------------------------------------------

bool SimHookDriver::AdapterActiveSet(uint32_t AdapterIndex, bool bActive) {
    std::lock_guard<std::mutex> Lock(LockGet());
    if (AdapterIndex >= m_Config.AdaptersActive.size())
        return false;
    m_Config.AdaptersActive[AdapterIndex] = bActive;
    return true;
}

void SimHookDriver::PointerEventsEnabledSet(uint32_t PointerEventsEnabled) {
    std::lock_guard<std::mutex> Lock(LockGet());
    m_Config.PointerEventsEnabled = PointerEventsEnabled;
}

bool SimHookDriver::MonitorVisibilitySet(uint32_t AdapterIndex, uint32_t MonitorIndex, bool bVisible) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    if (pSlot == nullptr)
        return false;
    NIMBO_MONITOR_EVENT Event{};
    Event.Type = NIMBO_MONITOR_EVENT_TYPE_VIDPN_VISIBILITY;
    Event.Visible = bVisible ? 1 : 0;
    return PrivateEventPush(*pSlot, Event);
}

bool SimHookDriver::MonitorPowerEventEmit(uint32_t AdapterIndex, uint32_t MonitorIndex, uint32_t PowerState,
                                          uint32_t PowerAction) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    if (pSlot == nullptr)
        return false;
    NIMBO_MONITOR_EVENT Event{};
    Event.Type = NIMBO_MONITOR_EVENT_TYPE_POWER;
    Event.PowerState = PowerState;
    Event.PowerAction = PowerAction;
    return PrivateEventPush(*pSlot, Event);
}

bool SimHookDriver::MonitorEventEmit(uint32_t AdapterIndex, uint32_t MonitorIndex, const NIMBO_MONITOR_EVENT& Event) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    if (pSlot == nullptr)
        return false;
    return PrivateEventPush(*pSlot, Event);
}

bool SimHookDriver::FramePresent(uint32_t AdapterIndex, uint32_t MonitorIndex, uint32_t Flags, RECT* pChanged) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    if (pSlot == nullptr || !pSlot->bPlugged)
        return false;
    const RECT Changed = pSlot->pPattern->Step(pSlot->pFrame->DriverView(), pSlot->Pitch);
    if (pChanged != nullptr)
        *pChanged = Changed;
    FrameBufferUpdateEntry Entry{};
    Entry.Flags = Flags;
    Entry.RectSource = Changed;
    Entry.RectDestination = Changed;
    LARGE_INTEGER Now{};
    if (pSlot->bMapped)
        QueryPerformanceCounter(&Now);
    pSlot->PublishTicks = Now.QuadPart;  // 0: drawn but not announced
    PrivateUpdatePush(*pSlot, Entry);
    return true;
}

bool SimHookDriver::FrameUpdateAnnounce(uint32_t AdapterIndex, uint32_t MonitorIndex, const RECT& RectDestination,
                                        uint32_t Flags) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    if (pSlot == nullptr)
        return false;
    FrameBufferUpdateEntry Entry{};
    Entry.Flags = Flags;
    Entry.RectSource = RectDestination;
    Entry.RectDestination = RectDestination;
    return PrivateUpdatePush(*pSlot, Entry);
}

bool SimHookDriver::UpdateRingOverflowRaise(uint32_t AdapterIndex, uint32_t MonitorIndex) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    if (pSlot == nullptr || !pSlot->bMapped)
        return false;
    std::atomic_ref<uint32_t>(HeaderOf(*pSlot->pUpdateRing)->Overflow).store(1, std::memory_order_release);
    SetEvent(pSlot->hEventFramebufferChanged);
    return true;
}

bool SimHookDriver::PointerPositionSet(uint32_t AdapterIndex, uint32_t MonitorIndex, int32_t X, int32_t Y,
                                       bool bVisible) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    if (pSlot == nullptr || !pSlot->bPlugged)
        return false;
    auto* pPointer = reinterpret_cast<PointerInfo*>(pSlot->pPointer->DriverView());
    pPointer->X = X;
    pPointer->Y = Y;
    pPointer->Visible = bVisible ? 1 : 0;
    if (pSlot->bSubscribed && m_Config.PointerEventsEnabled != 0)
        SetEvent(pSlot->hEventPointerPositionChanged);
    return true;
}

bool SimHookDriver::PointerShapeSet(uint32_t AdapterIndex, uint32_t MonitorIndex, uint32_t Width, uint32_t Height,
                                    const std::vector<uint8_t>& ShapeData) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    if (pSlot == nullptr || !pSlot->bPlugged)
        return false;
    auto* pPointer = reinterpret_cast<PointerInfo*>(pSlot->pPointer->DriverView());
    pPointer->Shape.ShapeWidth = Width;
    pPointer->Shape.ShapeHeight = Height;
    std::memset(pPointer->Shape.ShapeData, 0, sizeof(pPointer->Shape.ShapeData));
    if (!ShapeData.empty())  // an empty vector may have no storage at all
        std::memcpy(pPointer->Shape.ShapeData, ShapeData.data(),
                    std::min(ShapeData.size(), sizeof(pPointer->Shape.ShapeData)));
    if (pSlot->bSubscribed && m_Config.PointerEventsEnabled != 0)
        SetEvent(pSlot->hEventPointerShapeChanged);
    return true;
}

bool SimHookDriver::RingHeaderWrite(uint32_t AdapterIndex, uint32_t MonitorIndex, Ring Which,
                                    const CircularBufferHeader& Header) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    if (pSlot == nullptr)
        return false;
    SimSharedSection* pRing = Which == Ring::MonitorEvents ? pSlot->pEventRing.get() : pSlot->pUpdateRing.get();
    if (pRing == nullptr)
        return false;
    std::memcpy(pRing->DriverView(), &Header, sizeof(Header));
    return true;
}

bool SimHookDriver::RingHeaderRead(uint32_t AdapterIndex, uint32_t MonitorIndex, Ring Which,
                                   CircularBufferHeader* pHeader) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    if (pSlot == nullptr)
        return false;
    const SimSharedSection* pRing = Which == Ring::MonitorEvents ? pSlot->pEventRing.get() : pSlot->pUpdateRing.get();
    if (pRing == nullptr)
        return false;
    std::memcpy(pHeader, pRing->DriverView(), sizeof(*pHeader));
    return true;
}

// --- queries --------------------------------------------------------------------

bool SimHookDriver::MonitorIsPlugged(uint32_t AdapterIndex, uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    return pSlot != nullptr && pSlot->bPlugged;
}

bool SimHookDriver::MonitorIsSubscribed(uint32_t AdapterIndex, uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    return pSlot != nullptr && pSlot->bSubscribed;
}

bool SimHookDriver::MonitorIsMapped(uint32_t AdapterIndex, uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    return pSlot != nullptr && pSlot->bMapped;
}

std::vector<uint8_t> SimHookDriver::MonitorEdidGet(uint32_t AdapterIndex, uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    return pSlot == nullptr ? std::vector<uint8_t>() : pSlot->Edid;
}

SimMonitorDescription SimHookDriver::MonitorDescriptionGet(uint32_t AdapterIndex, uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    return pSlot == nullptr ? SimMonitorDescription() : pSlot->Description;
}

size_t SimHookDriver::ZeroCopyMappingCount(uint32_t AdapterIndex, uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    if (pSlot == nullptr)
        return 0;
    return static_cast<size_t>(std::count_if(pSlot->ZeroCopy.begin(), pSlot->ZeroCopy.end(),
                                             [](const ZeroCopyMapping& Mapping) { return Mapping.pAuxiliary != nullptr; }));
}

std::vector<uint8_t> SimHookDriver::FramePixelsGet(uint32_t AdapterIndex, uint32_t MonitorIndex,
                                                   uint32_t* pPitch) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    if (pSlot == nullptr || !pSlot->bPlugged)
        return {};
    if (pPitch != nullptr)
        *pPitch = pSlot->Pitch;
    const uint8_t* pPixels = pSlot->pFrame->DriverView();
    return std::vector<uint8_t>(pPixels, pPixels + pSlot->pFrame->CountByteGet());
}

int64_t SimHookDriver::FramePublishTicksGet(uint32_t AdapterIndex, uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    return pSlot == nullptr ? 0 : pSlot->PublishTicks;
}

uint64_t SimHookDriver::FrameCountGet(uint32_t AdapterIndex, uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(AdapterIndex, MonitorIndex);
    return pSlot == nullptr || pSlot->pPattern == nullptr ? 0 : pSlot->pPattern->FrameCountGet();
}

size_t SimHookDriver::ViewCount() const {
    std::lock_guard<std::mutex> Lock(LockGet());
    std::set<const SimSharedSection*> Sections;
    for (const auto& Adapter : m_Slots) {
        for (const auto& Target : Adapter) {
            for (const auto* pSection : {Target.pEventRing.get(), Target.pFrame.get(), Target.pPointer.get(),
                                         Target.pUpdateRing.get()})
                Sections.insert(pSection);
            for (const auto& Mapping : Target.ZeroCopy) {
                Sections.insert(Mapping.pFrame.get());
                Sections.insert(Mapping.pAuxiliary.get());
            }
        }
    }
    for (const auto& Entry : m_Orphans)
        Sections.insert(Entry.pSection.get());
    size_t Count = 0;
    for (const auto* pSection : Sections)
        Count += pSection != nullptr ? pSection->ViewCount() : 0;
    return Count;
}
