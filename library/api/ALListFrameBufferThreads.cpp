#include "api/ALListFrameBufferThreads.h"

#include <algorithm>
#include <new>

#include "driver/ALDeviceControlHook.h"
#include "driver/ALDeviceControlIddCx.h"
#include "hook/ALThreadFrameBufferHook.h"
#include "indirect/ALThreadFrameBufferIddCxApi.h"
#include "support/ALDebugLog.h"

ALThreadFrameBufferBase* ALListFrameBufferThreads::GetNextAvailable(ALDeviceControlHook* pDeviceControlHook,
                                                                    ALDeviceControlIddCx* pDeviceControlIddCx,
                                                                    int ApiType) {
    ALThreadFrameBufferBase* pThread = nullptr;
    if (ApiType == 0) {
        pThread = new (std::nothrow) ALThreadFrameBufferHook(pDeviceControlHook);
    } else if (ApiType == 1) {
        pThread = new (std::nothrow) ALThreadFrameBufferIddCxApi(pDeviceControlIddCx);
    } else {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALListFrameBufferThreads::GetNextAvailable failed! Invalid API Type:%d\n",
                     ApiType);
        return nullptr;
    }
    if (pThread == nullptr)
        return nullptr;
    try {
        m_FrameBufferThreads.push_back(pThread);
    } catch (const std::bad_alloc&) {
        // Not kept by the list, so nobody would ever delete it.
        delete pThread;
        return nullptr;
    }
    return pThread;
}

INimboApiDisplayMonitorInstance* ALListFrameBufferThreads::HardwareClientCustomInstanceEnumerate(
    uint32_t EnumIdx, int* targetId, int* VideoPresentTargetId, LUID* adapterLuid) {
    if (targetId != nullptr)
        *targetId = -1;
    if (VideoPresentTargetId != nullptr)
        *VideoPresentTargetId = -1;
    if (EnumIdx >= m_FrameBufferThreads.size())
        return nullptr;
    ALThreadFrameBufferBase* pThread = m_FrameBufferThreads[EnumIdx];
    if (!pThread->IsRunning())
        return nullptr;
    if (targetId != nullptr)
        *targetId = pThread->MonitorIndexGet();
    if (VideoPresentTargetId != nullptr)
        *VideoPresentTargetId = static_cast<int>(pThread->VideoPresentTargetIdGet());
    if (adapterLuid != nullptr)
        *adapterLuid = pThread->AdapterLuidGet();
    return pThread->HardwareGet();
}

bool ALListFrameBufferThreads::MonitorIndexIsAvailable(int MonitorIndex) {
    for (ALThreadFrameBufferBase* pThread : m_FrameBufferThreads) {
        if (pThread->IsRunning() && pThread->MonitorIndexGet() == MonitorIndex)
            return false;
    }
    return true;
}

void ALListFrameBufferThreads::MonitorDescriptionAdd(int AdapterIndex, int MonitorIndex) {
    if (AdapterIndex == -1)
        return;
    try {
        m_MonitorDescriptions.push_back({AdapterIndex, MonitorIndex});
    } catch (const std::bad_alloc&) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALListFrameBufferThreads::MonitorDescriptionAdd failed! No memory\n");
    }
}

void ALListFrameBufferThreads::MonitorDescriptionRemove(int MonitorIndex) {
    auto Found = std::find_if(m_MonitorDescriptions.begin(), m_MonitorDescriptions.end(),
                              [MonitorIndex](const auto& Entry) { return Entry.MonitorIndex == MonitorIndex; });
    if (Found != m_MonitorDescriptions.end())
        m_MonitorDescriptions.erase(Found);
}

bool ALListFrameBufferThreads::PrivateMonitorUnplug(const ALListFrameBufferThreadsMonitorDescription& Description,
                                                    ALDeviceControlHook* pDeviceControlHook,
                                                    ALDeviceControlIddCx* pDeviceControlIddCx, int ApiType) {
    if (ApiType == 0 && pDeviceControlHook != nullptr)
        return pDeviceControlHook->IoctlMonitorUnplug(static_cast<uint32_t>(Description.AdapterIndex),
                                                      static_cast<uint32_t>(Description.MonitorIndex));
    if (ApiType == 1 && pDeviceControlIddCx != nullptr)
        return pDeviceControlIddCx->IoctlMonitorUnplug(static_cast<uint32_t>(Description.MonitorIndex));
    return false;
}

void ALListFrameBufferThreads::MonitorUnplugMissingUponPowerResume(ALDeviceControlHook* pDeviceControlHook,
                                                                   ALDeviceControlIddCx* pDeviceControlIddCx,
                                                                   int ApiType) {
    while (!m_MonitorDescriptions.empty()) {
        if (!PrivateMonitorUnplug(m_MonitorDescriptions.front(), pDeviceControlHook, pDeviceControlIddCx, ApiType)) {
            ALDebugPrint(AL_DEBUG_ERROR, L"ALListFrameBufferThreads::MonitorUnplugMissingUponPowerResume failed!\n");
            return;
        }
        m_MonitorDescriptions.erase(m_MonitorDescriptions.begin());
    }
}

void ALListFrameBufferThreads::MonitorConnectionPersistSet(ALDeviceControlHook* pDeviceControlHook,
                                                           ALDeviceControlIddCx* pDeviceControlIddCx, int ApiType,
                                                           bool bEnable) {
    bool bDone = false;
    if (ApiType == 0 && pDeviceControlHook != nullptr)
        bDone = pDeviceControlHook->IoctlMonitorPersistOnClose(bEnable);
    else if (ApiType == 1 && pDeviceControlIddCx != nullptr)
        bDone = pDeviceControlIddCx->IoctlMonitorPersistOnClose(bEnable);
    if (!bDone)
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALListFrameBufferThreads::MonitorConnectionPersistSet IoctlMonitorPersistOnClose failed!\n");
}

void ALListFrameBufferThreads::PrivateThreadEnd(ALThreadFrameBufferBase* pThread, bool bUnplug) {
    pThread->RequestExit(bUnplug);
    pThread->WaitForExit(INFINITE);
    if (!bUnplug)
        MonitorDescriptionAdd(pThread->AdapterIndexGet(), pThread->MonitorIndexGet());
    delete pThread;
}

void ALListFrameBufferThreads::TerminateAll(bool bUnplug) {
    // Taken out first, so that the list never names a deleted thread.
    std::vector<ALThreadFrameBufferBase*> Threads;
    Threads.swap(m_FrameBufferThreads);
    for (ALThreadFrameBufferBase* pThread : Threads)
        PrivateThreadEnd(pThread, bUnplug);
}

void ALListFrameBufferThreads::TerminateByDeviceHandle(INimboApiDisplayMonitorInstance* pHardware, bool bUnplug) {
    bool bFound = false;
    for (auto Position = m_FrameBufferThreads.begin(); Position != m_FrameBufferThreads.end();) {
        ALThreadFrameBufferBase* pThread = *Position;
        if (pThread->HardwareGet() != pHardware) {
            ++Position;
            continue;
        }
        bFound = true;
        Position = m_FrameBufferThreads.erase(Position);
        PrivateThreadEnd(pThread, bUnplug);
    }
    if (!bFound)
        ALDebugPrint(AL_DEBUG_ERROR, L"ALListFrameBufferThreads::TerminateByDeviceHandle failed! Thread not found...\n");
}
