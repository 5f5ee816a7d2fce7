#pragma once

#include "hook/ALThreadBase.h"
#include "indirect/ALIScreenUpdateQueue.h"
#include "indirect/ALMonitorIddCx.h"
#include "indirect/DXResourceManager.h"
#include "interface/INimboApiDisplayMonitorInstance.h"

// Moves a monitor's frames from the indirect display driver into system
// memory while a swap chain is assigned: for each new frame it acquires the
// shared texture, copies it into one of three staging textures, queues the
// copy and signals the frame-buffer thread, which hands the newest copy to
// the monitor instance through Extract.
//
// m_QueueLock guards only the queue and m_pScreenUpdateResourceExtracted and
// is never held across a Direct3D call, a driver request or a wait. The
// consumer reads the queue's front outside the lock; the producer never
// fills that entry.
class ALThreadFrameBufferIddCxSwapChain : public ALThreadBase {
public:
    static constexpr int EntryCount = 3;

    ALThreadFrameBufferIddCxSwapChain(ALMonitorIddCx* pMonitor, ALDeviceControlIddCx* pDeviceControl);
    ~ALThreadFrameBufferIddCxSwapChain() override;

    using ALThreadBase::Start;
    bool Start(LUID LuidAdapter, UINT32 Width, UINT32 Height);
    // Ends the thread and waits for it; the Direct3D objects are released
    // when it returns.
    void Stop();
    bool Extract(FrameBufferInfo Info, INimboApiDisplayMonitorInstance* pHardware);
    void Run() override;

    // The entry to fill after PushedIndex was pushed and the queue reported
    // FrontIndex (-1: none) as its front: the first entry, cyclically from the
    // one after the front (from 0 when there is none), that is neither.
    static int EntryNextIndexGet(int FrontIndex, int PushedIndex);

private:
    HRESULT PrivateResourceAcquire(ScreenUpdateResource* pEntry);
    HRESULT PrivateResourceCopy(ScreenUpdateResource* pEntry);
    void ResourcesRelease();
    enum class StepResult { Next, ExitRequested, Failed };
    // One pass of Run's loop for the current entry.
    StepResult PrivateFrameStep(int* pCurrent);
    // No frame pending: waits for one or for the exit request.
    StepResult PrivateFrameAwait();
    int PrivateEntryIndexOf(const ScreenUpdateResource* pEntry) const;

    HANDLE m_hEventExit;
    ALMonitorIddCx* m_MonitorIddCx;
    ALDeviceControlIddCx* m_pDeviceControl;
    DXResourceManager m_ResourceManager;
    ScreenUpdateResource m_ScreenUpdateResource[EntryCount];
    ScreenUpdateResource* m_pScreenUpdateResourceExtracted;
    ALIScreenUpdateQueue m_ScreenUpdateQueue;
    CRITICAL_SECTION m_QueueLock;
    int m_EntryNext;  // the producer's next entry, kept from one run to the next
};
