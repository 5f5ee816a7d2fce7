#include "indirect/ALThreadFrameBufferIddCxSwapChain.h"

#include <cstring>

#include "support/ALDebugLog.h"
#include "support/ALUtilStructuredException.h"

namespace {

bool RectangleIsZero(const RECT& Rectangle) {
    return Rectangle.left == 0 && Rectangle.top == 0 && Rectangle.right == 0 && Rectangle.bottom == 0;
}

const wchar_t* const kCreateFailedTexts[ALThreadFrameBufferIddCxSwapChain::EntryCount] = {
    L"ALThreadFrameBufferIddCxSwapChain::Start m_ResourceManager.CreateResourceInSystemMemory (1) failed!\n",
    L"ALThreadFrameBufferIddCxSwapChain::Start m_ResourceManager.CreateResourceInSystemMemory (2) failed!\n",
    L"ALThreadFrameBufferIddCxSwapChain::Start m_ResourceManager.CreateResourceInSystemMemory (3) failed!\n",
};

}  // namespace

ALThreadFrameBufferIddCxSwapChain::ALThreadFrameBufferIddCxSwapChain(ALMonitorIddCx* pMonitor,
                                                                     ALDeviceControlIddCx* pDeviceControl)
    : m_hEventExit(nullptr),
      m_MonitorIddCx(pMonitor),
      m_pDeviceControl(pDeviceControl),
      m_pScreenUpdateResourceExtracted(nullptr),
      m_EntryNext(0) {
    std::memset(m_ScreenUpdateResource, 0, sizeof(m_ScreenUpdateResource));
    m_hEventExit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_hEventExit == nullptr)
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALThreadFrameBufferIddCxSwapChain::ALThreadFrameBufferIddCxSwapChain CreateEvent failed!\n");
    InitializeCriticalSection(&m_QueueLock);
}

ALThreadFrameBufferIddCxSwapChain::~ALThreadFrameBufferIddCxSwapChain() {
    if (m_hEventExit != nullptr)
        CloseHandle(m_hEventExit);
    DeleteCriticalSection(&m_QueueLock);
}

int ALThreadFrameBufferIddCxSwapChain::EntryNextIndexGet(int FrontIndex, int PushedIndex) {
    const int First = FrontIndex < 0 ? 0 : (FrontIndex + 1) % EntryCount;
    for (int Step = 0; Step < EntryCount; ++Step) {
        const int Candidate = (First + Step) % EntryCount;
        if (Candidate != FrontIndex && Candidate != PushedIndex)
            return Candidate;
    }
    return First;  // not reached: three entries, at most two excluded
}

int ALThreadFrameBufferIddCxSwapChain::PrivateEntryIndexOf(const ScreenUpdateResource* pEntry) const {
    for (int Index = 0; Index < EntryCount; ++Index)
        if (pEntry == &m_ScreenUpdateResource[Index])
            return Index;
    return -1;
}

bool ALThreadFrameBufferIddCxSwapChain::Start(LUID LuidAdapter, UINT32 Width, UINT32 Height) {
    ResetEvent(m_hEventExit);
    if (!m_ResourceManager.Initialize(LuidAdapter)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferIddCxSwapChain::Start m_ResourceManager.Initialize failed!\n");
        ResourcesRelease();
        return false;
    }
    for (int Index = 0; Index < EntryCount; ++Index) {
        ScreenUpdateResource& Entry = m_ScreenUpdateResource[Index];
        Entry.Width = Width;
        Entry.Height = Height;
        if (!m_ResourceManager.CreateResourceInSystemMemory(&Entry)) {
            ALDebugPrint(AL_DEBUG_ERROR, kCreateFailedTexts[Index]);
            ResourcesRelease();
            return false;
        }
    }
    if (!ALThreadBase::Start()) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferIddCxSwapChain::Start ALThreadBase::Start() failed!\n");
        ResourcesRelease();
        return false;
    }
    return true;
}

void ALThreadFrameBufferIddCxSwapChain::Stop() {
    SetEvent(m_hEventExit);
    WaitForExit(INFINITE);
    // A run that failed left its resources to this thread, the consumer, so
    // that they never vanish under an Extract in progress.
    ResourcesRelease();
}

void ALThreadFrameBufferIddCxSwapChain::Run() {
    DWORD dwAvTask = 0;
    HANDLE hAvTask = AvSetMmThreadCharacteristicsW(L"Distribution", &dwAvTask);
    if (hAvTask == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"DXSwapchain::DeviceSet AvSetMmThreadCharacteristics failed!\n");
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    }
    // The queue outlives a stop: the first entry to fill is the one the last
    // run would have filled next (entry 0 at first), which is neither of the
    // entries the queue may still hold. Entry 0 could be one of them.
    int Current = m_EntryNext;
    StepResult Result = StepResult::Next;
    while (Result == StepResult::Next)
        Result = PrivateFrameStep(&Current);
    m_EntryNext = Current;
    // After a failure the consumer may be reading the front entry right now:
    // the resources then go with Stop, on the consumer's own thread.
    if (Result == StepResult::ExitRequested)
        ResourcesRelease();
    if (hAvTask != nullptr)
        AvRevertMmThreadCharacteristics(hAvTask);
}

ALThreadFrameBufferIddCxSwapChain::StepResult ALThreadFrameBufferIddCxSwapChain::PrivateFrameAwait() {
    HANDLE Handles[2] = {m_hEventExit, m_MonitorIddCx->EventFramebufferAvailableGet()};
    const DWORD dwWait = WaitForMultipleObjects(2, Handles, FALSE, INFINITE);
    if (dwWait == WAIT_OBJECT_0) {
        ALDebugPrint(AL_DEBUG_SWAPCHAIN, L"ALThreadFrameBufferIddCxSwapChain::Run request exit...(2)\n");
        ResetEvent(m_hEventExit);
        return StepResult::ExitRequested;
    }
    if (dwWait == WAIT_OBJECT_0 + 1)
        return StepResult::Next;
    ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferIddCxSwapChain::Run failed! unexpected:%d\n", dwWait);
    return StepResult::Failed;
}

ALThreadFrameBufferIddCxSwapChain::StepResult ALThreadFrameBufferIddCxSwapChain::PrivateFrameStep(int* pCurrent) {
    ScreenUpdateResource* pEntry = &m_ScreenUpdateResource[*pCurrent];
    HRESULT hr = PrivateResourceAcquire(pEntry);
    if (hr == E_PENDING)
        return PrivateFrameAwait();
    if (FAILED(hr)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferIddCxSwapChain::Run PrivateResourceAcquire failed!\n");
        return StepResult::Failed;
    }
    ALDebugPrint(AL_DEBUG_SWAPCHAIN, L"ALThreadFrameBufferIddCxSwapChain::Run FRAMEBUFFER ACQUIRE\n");
    if (WaitForSingleObject(m_hEventExit, 0) == WAIT_OBJECT_0) {
        ALDebugPrint(AL_DEBUG_SWAPCHAIN, L"ALThreadFrameBufferIddCxSwapChain::Run request exit...(1)\n");
        CloseHandle(pEntry->hResourceShared);
        ResetEvent(m_hEventExit);
        return StepResult::ExitRequested;
    }
    hr = PrivateResourceCopy(pEntry);
    if (FAILED(hr)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferIddCxSwapChain::Run PrivateResourceCopy failed!\n");
        return StepResult::Failed;
    }
    ScreenUpdateResource* pScreenUpdateQueuedResource0 = nullptr;
    EnterCriticalSection(&m_QueueLock);
    m_ScreenUpdateQueue.PushBack(pEntry, &pScreenUpdateQueuedResource0);
    LeaveCriticalSection(&m_QueueLock);
    *pCurrent = EntryNextIndexGet(PrivateEntryIndexOf(pScreenUpdateQueuedResource0), *pCurrent);
    SetEvent(m_MonitorIddCx->EventFramebufferChangedGet());
    return StepResult::Next;
}

HRESULT ALThreadFrameBufferIddCxSwapChain::PrivateResourceAcquire(ScreenUpdateResource* pEntry) {
    RECT UpdateRectangle = {0, 0, 0, 0};
    HANDLE hResourceShared = nullptr;
    bool bIsFrameBufferUpdatePending = false;
    if (!m_MonitorIddCx->FrameBufferResourceAcquire(*m_pDeviceControl, &UpdateRectangle, &hResourceShared,
                                                    &bIsFrameBufferUpdatePending)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferIddCxSwapChain::PrivateResourceAcquire "
                                     L"m_MonitorIddCx.FrameBufferResourceAcquire failed!\n");
        return E_FAIL;
    }
    if (bIsFrameBufferUpdatePending)
        return E_PENDING;
    pEntry->hResourceShared = hResourceShared;
    pEntry->UpdateRectangle = UpdateRectangle;
    return S_OK;
}

HRESULT ALThreadFrameBufferIddCxSwapChain::PrivateResourceCopy(ScreenUpdateResource* pEntry) {
    HRESULT hr = E_FAIL;
    bool bClosed = false;
    const bool bCompleted = ALUtilGuardedRun("ALThreadFrameBufferIddCxSwapChain::PrivateResourceCopy", [&] {
        hr = m_ResourceManager.CopyFromSharedResource(pEntry, pEntry->hResourceShared);
        if (FAILED(hr))
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALThreadFrameBufferIddCxSwapChain::PrivateResourceCopy "
                         L"m_ResourceManager.CopyFromSharedResource failed! 0x%x\n",
                         static_cast<unsigned>(hr));
        if (pEntry->hResourceShared != nullptr)
            CloseHandle(pEntry->hResourceShared);
        bClosed = true;
    });
    // A fault before the close must not cost the driver's frame handle.
    if (!bClosed && pEntry->hResourceShared != nullptr)
        CloseHandle(pEntry->hResourceShared);
    return bCompleted ? hr : E_FAIL;
}

bool ALThreadFrameBufferIddCxSwapChain::Extract(FrameBufferInfo Info, INimboApiDisplayMonitorInstance* pHardware) {
    ALDebugPrint(AL_DEBUG_SWAPCHAIN, L"ALThreadFrameBufferIddCxSwapChain::Extract FRAMEBUFFER UPDATE\n");
    EnterCriticalSection(&m_QueueLock);
    if (m_pScreenUpdateResourceExtracted != nullptr && !m_ScreenUpdateQueue.PopFront(m_pScreenUpdateResourceExtracted)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferIddCxSwapChain::Extract m_ScreenUpdateQueue.PopFront failed!\n");
        LeaveCriticalSection(&m_QueueLock);
        return false;
    }
    if (!m_ScreenUpdateQueue.Peek(&m_pScreenUpdateResourceExtracted)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferIddCxSwapChain::Extract m_ScreenUpdateQueue.Peek failed!\n");
        LeaveCriticalSection(&m_QueueLock);
        return false;
    }
    // It stays at the front while it is read, so the producer leaves it alone.
    ScreenUpdateResource* pEntry = m_pScreenUpdateResourceExtracted;
    LeaveCriticalSection(&m_QueueLock);

    if (!m_ResourceManager.ResourceMap(pEntry)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferIddCxSwapChain::Extract PrivateMap failed!\n");
        return false;
    }
    // Unmapped on every way out, a fault or exception in the instance
    // included: a texture left mapped would never receive another frame.
    struct EntryUnmap {
        DXResourceManager& Manager;
        ScreenUpdateResource* pMapped;
        ~EntryUnmap() { Manager.ResourceUnmap(pMapped); }
    } Unmap{m_ResourceManager, pEntry};
    if (pEntry->pData == nullptr || RectangleIsZero(pEntry->UpdateRectangle))
        return true;
    const bool bUpdated = pHardware->FrameBufferUpdate(Info, pEntry->pData, pEntry->RowPitch, nullptr, 0,
                                                       &pEntry->UpdateRectangle, 2, nullptr);
    if (!bUpdated)
        ALDebugPrint(AL_DEBUG_ERROR, L"ALThreadFrameBufferIddCxSwapChain::Extract pHardware->FrameBufferUpdate failed!\n");
    return bUpdated;
}

void ALThreadFrameBufferIddCxSwapChain::ResourcesRelease() {
    for (auto& Entry : m_ScreenUpdateResource)
        m_ResourceManager.ResourceRelease(&Entry);
    m_ResourceManager.Shutdown();
}
