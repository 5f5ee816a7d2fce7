#include "SimIddCxDriver.h"

#include <algorithm>
#include <cstring>

#include "SimIddCxRequestDecoder.h"
#include "driver/ALIoctlCode.h"
#include "driver/ALRecordField.h"

namespace {

template <typename T>
void RecordWrite(uint8_t* pBuffer, const T& Record) {
    std::memcpy(pBuffer, &Record, sizeof(T));
}

uint32_t U32Read(const uint8_t* pBuffer) {
    uint32_t Value;
    std::memcpy(&Value, pBuffer, sizeof(Value));
    return Value;
}

bool BufferHolds(const void* pBuffer, DWORD CountByteBuffer, DWORD CountByte) {
    return pBuffer != nullptr && CountByteBuffer >= CountByte;
}

bool LuidEqual(const LUID& A, const LUID& B) { return A.LowPart == B.LowPart && A.HighPart == B.HighPart; }

RECT Union(const RECT& A, const RECT& B) {
    return RECT{std::min(A.left, B.left), std::min(A.top, B.top), std::max(A.right, B.right),
                std::max(A.bottom, B.bottom)};
}

}  // namespace

SimIddCxDriver::SimIddCxDriver(const Config& Settings) : m_Config(Settings), m_Slots(Settings.MonitorCount) {}

SimIddCxDriver::~SimIddCxDriver() {
    for (auto& Target : m_Slots)
        if (Target.bPlugged)
            PrivateMonitorRemove(Target);
    for (auto& Entry : m_Processes)
        PrivateHandleClose(&Entry.second);
}

std::shared_ptr<SimIddCxDriver> SimIddCxDriver::Install(const Config& Settings) {
    auto pDriver = std::make_shared<SimIddCxDriver>(Settings);
    if (!MachineDeviceRegister(DeviceName, pDriver))
        return nullptr;
    if (Settings.bRegistryWrite)
        PrivateRegistryDwordWrite(ServiceKey, L"MonitorCount", Settings.MonitorCount);
    return pDriver;
}

bool SimIddCxDriver::Uninstall() { return MachineDeviceUnregister(DeviceName); }

// --- requests -------------------------------------------------------------------

DWORD SimIddCxDriver::PrivateRequest(DWORD Code, const Buffers& Request) {
    switch (Code) {
    case ALIoctlCode::ProcessApplicationHandleSet:
        return PrivateProcessIntroduce(Request);
    case ALIoctlCode::MonitorPlug:
        return PrivatePlug(Request);
    case ALIoctlCode::MonitorUnplug:
        return PrivateUnplug(Request);
    case ALIoctlCode::MonitorSwapchainEventsRetrieve:
        return PrivateSwapchainEventRetrieve(Request);
    case ALIoctlCode::MonitorFrameBufferEventsSubscribe:
        return PrivateFrameBufferEventsSubscribe(Request);
    case ALIoctlCode::MonitorFrameBufferDirectXAcquire:
        return PrivateDirectXAcquire(Request);
    case ALIoctlCode::MonitorPersistOnClose:
        return PrivatePersistOnCloseSet(Request);
    default:
        return ERROR_INVALID_FUNCTION;
    }
}

std::wstring SimIddCxDriver::PrivateDecode(DWORD Code, const SimRequest& Request) const {
    return SimIddCxRequestDecoder::Decode(Code, Request);
}

SimIddCxDriver::Slot* SimIddCxDriver::PrivateSlotFind(uint32_t MonitorIndex) {
    return MonitorIndex < m_Slots.size() ? &m_Slots[MonitorIndex] : nullptr;
}

const SimIddCxDriver::Slot* SimIddCxDriver::PrivateSlotFind(uint32_t MonitorIndex) const {
    return MonitorIndex < m_Slots.size() ? &m_Slots[MonitorIndex] : nullptr;
}

HANDLE SimIddCxDriver::PrivateProcessOf(uint64_t FileId) const {
    auto Entry = m_Processes.find(FileId);
    return Entry == m_Processes.end() ? nullptr : Entry->second;
}

SimIddCxDriver::Slot* SimIddCxDriver::PrivateSlotOfInput(const Buffers& Request, DWORD CountByteOutput,
                                                         DWORD* pdwError) {
    if (!BufferHolds(Request.pInput, Request.CountByteInput, sizeof(uint32_t)) ||
        (CountByteOutput > 0 && !BufferHolds(Request.pOutput, Request.CountByteOutput, CountByteOutput))) {
        *pdwError = ERROR_INSUFFICIENT_BUFFER;
        return nullptr;
    }
    Slot* pSlot = PrivateSlotFind(U32Read(Request.pInput));
    *pdwError = pSlot == nullptr ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    if (pSlot != nullptr && !pSlot->bPlugged) {
        *pdwError = ERROR_DEVICE_NOT_CONNECTED;
        return nullptr;
    }
    return pSlot;
}

DWORD SimIddCxDriver::PrivateProcessIntroduce(const Buffers& Request) {
    if (!BufferHolds(Request.pInput, Request.CountByteInput, sizeof(uint32_t)))
        return ERROR_INSUFFICIENT_BUFFER;
    ++m_IntroductionCount;
    // The driver runs in an account of its own: opening the application's
    // process works only while the process object lets that account in.
    m_bIntroductionProcessWasOpen = MachineProcessOpenByServiceAllowed(PROCESS_DUP_HANDLE);
    if (!m_bIntroductionProcessWasOpen)
        return ERROR_ACCESS_DENIED;
    HANDLE hProcess = OpenProcess(PROCESS_DUP_HANDLE, FALSE, U32Read(Request.pInput));
    if (hProcess == nullptr)
        return GetLastError();
    HANDLE& hKept = m_Processes[Request.FileId];
    PrivateHandleClose(&hKept);
    hKept = hProcess;
    return ERROR_SUCCESS;
}

DWORD SimIddCxDriver::PrivatePlug(const Buffers& Request) {
    SimMonitorDescription Description;
    DWORD dwError = SimMonitorDescription::Parse(Request.pInput, Request.CountByteInput, &Description);
    if (dwError != ERROR_SUCCESS)
        return dwError;
    if (!BufferHolds(Request.pOutput, Request.CountByteOutput, sizeof(MonitorPlugInfoOut)))
        return ERROR_INSUFFICIENT_BUFFER;
    const HANDLE hProcess = PrivateProcessOf(Request.FileId);
    if (hProcess == nullptr)
        return ERROR_INVALID_HANDLE;
    Slot* pSlot = PrivateSlotFind(Description.MonitorIndex);
    if (pSlot == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (pSlot->bPlugged) {
        pSlot->OwnerFileId = Request.FileId;  // the monitor outlived the file that plugged it
        return ERROR_ALREADY_EXISTS;
    }
    HANDLE hSwapchainChanged = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hFramebufferAvailable = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE hHandedOut = nullptr;
    dwError = hSwapchainChanged != nullptr && hFramebufferAvailable != nullptr
                  ? PrivateHandleHandOut(hSwapchainChanged, hProcess, &hHandedOut)
                  : ERROR_NOT_ENOUGH_MEMORY;
    if (dwError != ERROR_SUCCESS) {
        PrivateHandleClose(&hSwapchainChanged);
        PrivateHandleClose(&hFramebufferAvailable);
        return dwError;
    }
    const uint32_t Width = Description.WidthGet();
    const uint32_t Height = Description.HeightGet();
    pSlot->bPlugged = true;
    pSlot->OwnerFileId = Request.FileId;
    pSlot->Description = std::move(Description);
    pSlot->hEventSwapchainChanged = hSwapchainChanged;
    pSlot->hEventFramebufferAvailable = hFramebufferAvailable;
    pSlot->Pitch = (Width * 4 + PitchAlignment - 1) / PitchAlignment * PitchAlignment;
    pSlot->Master.assign(static_cast<size_t>(pSlot->Pitch) * Height, 0);
    pSlot->pPattern = std::make_unique<SimFramePattern>(Width, Height);

    MonitorPlugInfoOut Out{};
    Out.VideoPresentTargetId = TargetIdBase + static_cast<uint32_t>(pSlot - m_Slots.data());
    Out.AdapterLuid = m_Config.AdapterLuid;
    Out.hEventSwapchainChanged = ALRecordField::HandleTo(hHandedOut);
    RecordWrite(Request.pOutput, Out);
    *Request.pBytesReturned = sizeof(Out);
    if (m_Config.bSwapchainAssignOnPlug)
        PrivateSwapchainEventQueue(*pSlot, NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_ASSIGNED,
                                   m_Config.RenderAdapterLuid);
    return ERROR_SUCCESS;
}

DWORD SimIddCxDriver::PrivateUnplug(const Buffers& Request) {
    DWORD dwError = ERROR_SUCCESS;
    Slot* pSlot = PrivateSlotOfInput(Request, 0, &dwError);
    if (pSlot == nullptr)
        return dwError;
    PrivateMonitorRemove(*pSlot);
    return ERROR_SUCCESS;
}

DWORD SimIddCxDriver::PrivateSwapchainEventRetrieve(const Buffers& Request) {
    DWORD dwError = ERROR_SUCCESS;
    Slot* pSlot = PrivateSlotOfInput(Request, sizeof(MonitorSwapchainEvent), &dwError);
    if (pSlot == nullptr)
        return dwError;
    MonitorSwapchainEvent Event{};
    if (!pSlot->SwapchainEvents.empty()) {
        Event = pSlot->SwapchainEvents.front();
        pSlot->SwapchainEvents.pop_front();
    } else if (pSlot->bSwapchainEventsEndless) {
        Event.EventType = 0xFFFF;
        Event.EventPresent = 1;
    }
    RecordWrite(Request.pOutput, Event);
    *Request.pBytesReturned = sizeof(Event);
    return ERROR_SUCCESS;
}

DWORD SimIddCxDriver::PrivateFrameBufferEventsSubscribe(const Buffers& Request) {
    DWORD dwError = ERROR_SUCCESS;
    Slot* pSlot = PrivateSlotOfInput(Request, sizeof(MonitorFrameBufferEventsInfo), &dwError);
    if (pSlot == nullptr)
        return dwError;
    const HANDLE hProcess = PrivateProcessOf(Request.FileId);
    if (hProcess == nullptr)
        return ERROR_INVALID_HANDLE;
    HANDLE hHandedOut = nullptr;
    dwError = PrivateHandleHandOut(pSlot->hEventFramebufferAvailable, hProcess, &hHandedOut);
    if (dwError != ERROR_SUCCESS)
        return dwError;
    MonitorFrameBufferEventsInfo Out{};
    Out.FrameBufferInfo.Width = pSlot->Description.WidthGet();
    Out.FrameBufferInfo.Height = pSlot->Description.HeightGet();
    Out.FrameBufferInfo.Value2 = BitsPerPixel;
    Out.FrameBufferInfo.Value3 = pSlot->Description.Modes[0].RefreshRate;
    Out.hEventFramebufferAvailable = ALRecordField::HandleTo(hHandedOut);
    RecordWrite(Request.pOutput, Out);
    *Request.pBytesReturned = sizeof(Out);
    return ERROR_SUCCESS;
}

DWORD SimIddCxDriver::PrivateDirectXAcquire(const Buffers& Request) {
    DWORD dwError = ERROR_SUCCESS;
    Slot* pSlot = PrivateSlotOfInput(Request, sizeof(DirectXData), &dwError);
    if (pSlot == nullptr)
        return dwError;
    if (PrivateProcessOf(Request.FileId) == nullptr)
        return ERROR_INVALID_HANDLE;
    if (!pSlot->bSwapchainAssigned || pSlot->pPending == nullptr)
        return ERROR_SUCCESS;  // nothing new: 0 bytes
    const HANDLE hResource = MachineSharedResourceHandleCreate(pSlot->pPending);
    if (hResource == nullptr)
        return ERROR_NOT_ENOUGH_MEMORY;
    DirectXData Out{};
    Out.hResourceShared = ALRecordField::HandleTo(hResource);
    if (pSlot->bHandleStaleNext) {
        pSlot->bHandleStaleNext = false;
        CloseHandle(hResource);  // handle values are never given out again
    }
    Out.UpdateRectangle = pSlot->PendingRect;
    RecordWrite(Request.pOutput, Out);
    *Request.pBytesReturned = sizeof(Out);
    pSlot->pPending.reset();
    pSlot->PendingRect = RECT{};
    return ERROR_SUCCESS;
}

// --- state changes --------------------------------------------------------------

void SimIddCxDriver::PrivateMonitorRemove(Slot& Target) {
    // Handles the application holds stay valid: they are its own duplicates.
    PrivateHandleClose(&Target.hEventSwapchainChanged);
    PrivateHandleClose(&Target.hEventFramebufferAvailable);
    Target = Slot();
}

void SimIddCxDriver::PrivateFileClose(uint64_t FileId, uint32_t PersistOnClose) {
    for (auto& Target : m_Slots)
        if (Target.bPlugged && Target.OwnerFileId == FileId && PersistOnClose == 0)
            PrivateMonitorRemove(Target);
    auto Entry = m_Processes.find(FileId);
    if (Entry != m_Processes.end()) {
        PrivateHandleClose(&Entry->second);
        m_Processes.erase(Entry);
    }
}

void SimIddCxDriver::PrivateSwapchainEventQueue(Slot& Target, uint32_t EventType, const LUID& RenderAdapterLuid) {
    Target.bSwapchainAssigned = EventType == NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_ASSIGNED;
    Target.RenderAdapterLuid = RenderAdapterLuid;
    if (!Target.bSwapchainAssigned) {
        Target.pPending.reset();
        Target.PendingRect = RECT{};
    }
    MonitorSwapchainEvent Event{};
    Event.EventType = EventType;
    Event.EventPresent = 1;
    Event.RenderAdapterLuid = RenderAdapterLuid;
    Target.SwapchainEvents.push_back(Event);
    SetEvent(Target.hEventSwapchainChanged);
}

std::shared_ptr<MachineSharedTexture> SimIddCxDriver::PrivateTextureFree(Slot& Target) {
    // A texture is free when only the driver's list holds it: no handle and
    // no opened resource refers to it any more.
    for (auto& pTexture : Target.Textures)
        if (pTexture.use_count() == 1 && LuidEqual(pTexture->AdapterLuid, Target.RenderAdapterLuid))
            return pTexture;
    auto pTexture = std::make_shared<MachineSharedTexture>();
    pTexture->AdapterLuid = Target.RenderAdapterLuid;
    pTexture->Width = Target.Description.WidthGet();
    pTexture->Height = Target.Description.HeightGet();
    pTexture->Format = FrameFormat;
    pTexture->Pitch = Target.Pitch;
    pTexture->Pixels.assign(Target.Master.size(), 0);
    Target.Textures.push_back(pTexture);
    return pTexture;
}

void SimIddCxDriver::PrivateFramePublish(Slot& Target, const RECT& Rect) {
    // A replaced pending frame goes back to the free textures first.
    const bool bMerge = Target.pPending != nullptr;
    Target.pPending.reset();
    auto pTexture = PrivateTextureFree(Target);
    {
        std::lock_guard<std::mutex> Lock(pTexture->Lock);
        std::memcpy(pTexture->Pixels.data(), Target.Master.data(), Target.Master.size());
    }
    Target.PendingRect = bMerge ? Union(Target.PendingRect, Rect) : Rect;
    Target.pPending = std::move(pTexture);
    LARGE_INTEGER Now;
    QueryPerformanceCounter(&Now);
    Target.PublishTicks = Now.QuadPart;
    SetEvent(Target.hEventFramebufferAvailable);
}

// --- scenario -------------------------------------------------------------------

bool SimIddCxDriver::SwapchainAssign(uint32_t MonitorIndex, const LUID& RenderAdapterLuid) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(MonitorIndex);
    if (pSlot == nullptr || !pSlot->bPlugged)
        return false;
    PrivateSwapchainEventQueue(*pSlot, NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_ASSIGNED, RenderAdapterLuid);
    return true;
}

bool SimIddCxDriver::SwapchainUnassign(uint32_t MonitorIndex) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(MonitorIndex);
    if (pSlot == nullptr || !pSlot->bPlugged)
        return false;
    PrivateSwapchainEventQueue(*pSlot, NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_UNASSIGNED, pSlot->RenderAdapterLuid);
    return true;
}

bool SimIddCxDriver::SwapchainEventEmit(uint32_t MonitorIndex, const MonitorSwapchainEvent& Event) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(MonitorIndex);
    if (pSlot == nullptr || !pSlot->bPlugged)
        return false;
    pSlot->SwapchainEvents.push_back(Event);
    SetEvent(pSlot->hEventSwapchainChanged);
    return true;
}

bool SimIddCxDriver::FrameHandleStaleNext(uint32_t MonitorIndex) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(MonitorIndex);
    if (pSlot == nullptr || !pSlot->bPlugged)
        return false;
    pSlot->bHandleStaleNext = true;
    return true;
}

bool SimIddCxDriver::SwapchainEventsEndlessSet(uint32_t MonitorIndex, bool bEndless) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(MonitorIndex);
    if (pSlot == nullptr || !pSlot->bPlugged)
        return false;
    pSlot->bSwapchainEventsEndless = bEndless;
    return true;
}

bool SimIddCxDriver::FramePresent(uint32_t MonitorIndex, RECT* pChanged) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(MonitorIndex);
    if (pSlot == nullptr || !pSlot->bPlugged || !pSlot->bSwapchainAssigned)
        return false;
    const RECT Changed = pSlot->pPattern->Step(pSlot->Master.data(), pSlot->Pitch);
    if (pChanged != nullptr)
        *pChanged = Changed;
    PrivateFramePublish(*pSlot, Changed);
    return true;
}

bool SimIddCxDriver::FramePresentRect(uint32_t MonitorIndex, const RECT& Rect) {
    std::lock_guard<std::mutex> Lock(LockGet());
    Slot* pSlot = PrivateSlotFind(MonitorIndex);
    if (pSlot == nullptr || !pSlot->bPlugged || !pSlot->bSwapchainAssigned)
        return false;
    if (pSlot->pPattern->FrameCountGet() == 0)
        pSlot->pPattern->Step(pSlot->Master.data(), pSlot->Pitch);
    PrivateFramePublish(*pSlot, Rect);
    return true;
}

// --- queries --------------------------------------------------------------------

bool SimIddCxDriver::MonitorIsPlugged(uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(MonitorIndex);
    return pSlot != nullptr && pSlot->bPlugged;
}

SimMonitorDescription SimIddCxDriver::MonitorDescriptionGet(uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(MonitorIndex);
    return pSlot == nullptr ? SimMonitorDescription() : pSlot->Description;
}

bool SimIddCxDriver::SwapchainIsAssigned(uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(MonitorIndex);
    return pSlot != nullptr && pSlot->bSwapchainAssigned;
}

size_t SimIddCxDriver::SwapchainEventsPending(uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(MonitorIndex);
    return pSlot == nullptr ? 0 : pSlot->SwapchainEvents.size();
}

bool SimIddCxDriver::FrameIsPending(uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(MonitorIndex);
    return pSlot != nullptr && pSlot->pPending != nullptr;
}

uint32_t SimIddCxDriver::FramePixelGet(uint32_t MonitorIndex, uint32_t X, uint32_t Y) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(MonitorIndex);
    return pSlot == nullptr || pSlot->pPattern == nullptr ? 0 : pSlot->pPattern->PixelGet(X, Y);
}

bool SimIddCxDriver::ProcessIsIntroduced(uint64_t FileId) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    return PrivateProcessOf(FileId) != nullptr;
}

unsigned SimIddCxDriver::IntroductionCount() const {
    std::lock_guard<std::mutex> Lock(LockGet());
    return m_IntroductionCount;
}

bool SimIddCxDriver::IntroductionProcessWasOpen() const {
    std::lock_guard<std::mutex> Lock(LockGet());
    return m_bIntroductionProcessWasOpen;
}

size_t SimIddCxDriver::TexturesInUseCount() const {
    std::lock_guard<std::mutex> Lock(LockGet());
    size_t Count = 0;
    for (const auto& Target : m_Slots)
        for (const auto& pTexture : Target.Textures)
            Count += pTexture.use_count() > 1 ? 1 : 0;
    return Count;
}

int64_t SimIddCxDriver::FramePublishTicksGet(uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(MonitorIndex);
    return pSlot == nullptr ? 0 : pSlot->PublishTicks;
}

uint64_t SimIddCxDriver::FrameCountGet(uint32_t MonitorIndex) const {
    std::lock_guard<std::mutex> Lock(LockGet());
    const Slot* pSlot = PrivateSlotFind(MonitorIndex);
    return pSlot == nullptr || pSlot->pPattern == nullptr ? 0 : pSlot->pPattern->FrameCountGet();
}
