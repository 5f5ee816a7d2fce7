#pragma once

#include <cstdint>
#include <vector>

#include "api/ALListFrameBufferThreadsMonitorDescription.h"
#include "platform/win32.h"

class ALDeviceControlHook;
class ALDeviceControlIddCx;
class ALThreadFrameBufferBase;
class INimboApiDisplayMonitorInstance;

// The frame-buffer threads of the plugged monitors, in creation order, and
// the monitors their threads left plugged in the driver. No lock of its own:
// the high-level API serialises the calls.
class ALListFrameBufferThreads {
public:
    ALListFrameBufferThreads() = default;
    // Releases the vectors only; the owner empties the list first.
    ~ALListFrameBufferThreads() = default;
    ALListFrameBufferThreads(const ALListFrameBufferThreads&) = delete;
    ALListFrameBufferThreads& operator=(const ALListFrameBufferThreads&) = delete;

    // A new, not yet started thread object of the API type's kind, appended.
    ALThreadFrameBufferBase* GetNextAvailable(ALDeviceControlHook* pDeviceControlHook,
                                              ALDeviceControlIddCx* pDeviceControlIddCx, int ApiType);
    INimboApiDisplayMonitorInstance* HardwareClientCustomInstanceEnumerate(uint32_t EnumIdx, int* targetId,
                                                                           int* VideoPresentTargetId,
                                                                           LUID* adapterLuid);
    bool MonitorIndexIsAvailable(int MonitorIndex);
    void MonitorDescriptionAdd(int AdapterIndex, int MonitorIndex);
    void MonitorDescriptionRemove(int MonitorIndex);
    void MonitorUnplugMissingUponPowerResume(ALDeviceControlHook* pDeviceControlHook,
                                             ALDeviceControlIddCx* pDeviceControlIddCx, int ApiType);
    void MonitorConnectionPersistSet(ALDeviceControlHook* pDeviceControlHook,
                                     ALDeviceControlIddCx* pDeviceControlIddCx, int ApiType, bool bEnable);
    void TerminateAll(bool bUnplug);
    void TerminateByDeviceHandle(INimboApiDisplayMonitorInstance* pHardware, bool bUnplug);

    // Read access for the owner and tests.
    size_t ThreadCountGet() const { return m_FrameBufferThreads.size(); }
    const std::vector<ALListFrameBufferThreadsMonitorDescription>& MonitorDescriptionsGet() const {
        return m_MonitorDescriptions;
    }

private:
    void PrivateThreadEnd(ALThreadFrameBufferBase* pThread, bool bUnplug);
    static bool PrivateMonitorUnplug(const ALListFrameBufferThreadsMonitorDescription& Description,
                                     ALDeviceControlHook* pDeviceControlHook,
                                     ALDeviceControlIddCx* pDeviceControlIddCx, int ApiType);

    std::vector<ALThreadFrameBufferBase*> m_FrameBufferThreads;
    std::vector<ALListFrameBufferThreadsMonitorDescription> m_MonitorDescriptions;
};
