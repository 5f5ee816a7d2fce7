#pragma once

#include "api/ALListFrameBufferThreads.h"
#include "api/INimboApi.h"
#include "driver/ALDeviceControlHook.h"
#include "driver/ALDeviceControlIddCx.h"

// The library's virtual-monitor service: opens one driver's control device,
// chooses monitor indices, starts and ends frame-buffer threads and answers
// the host's device notifications. One object per process (NimboApiGet).
class ALApiHighLevel : public INimboApi {
public:
    ALApiHighLevel();
    // Ends threads the host left running (see the source for why).
    ~ALApiHighLevel() override;
    ALApiHighLevel(const ALApiHighLevel&) = delete;
    ALApiHighLevel& operator=(const ALApiHighLevel&) = delete;

    bool Initialize(LPCWSTR DeviceControlName, int ApiType) override;
    void Uninitialize(bool bUnplug) override;
    bool DisplayMonitorPlug(INimboApiDisplayMonitorInstance* pHardware) override;
    void DisplayMonitorUnplug(INimboApiDisplayMonitorInstance* pHardware, bool bUnplug) override;
    void MonitorUnplugMissingUponPowerResume() override;
    void DisplayConfigurationReset() override;
    INimboApiDisplayMonitorInstance* DisplayMonitorAssignmentEnumerate(uint32_t EnumIdx, int* targetId,
                                                                       int* VideoPresentTargetId,
                                                                       LUID* adapterLuid) override;
    bool PnPNotificationSubscribe(HANDLE hRecipient, bool bRecipientIsWindow) override;
    bool OnPnPNotification(uint32_t EventType, PDEV_BROADCAST_HDR lpEventData, bool* pbIsOwnDeviceRemoval,
                           bool* pbIsDriverRunning) override;
    bool IsInitializationNeeded(int ApiType) override;

    // Read access for tests.
    int ApiTypeGet() const { return m_ApiType; }
    ALListFrameBufferThreads& ListGet() { return ListFrameBufferThreads; }
    ALDeviceControlHook& DeviceControlHookGet() { return m_DeviceControlHookDriver; }
    ALDeviceControlIddCx& DeviceControlIddCxGet() { return m_DeviceControlIddCxDriver; }

private:
    bool PrivateMonitorIndexChoose(uint32_t StoredIndex, uint32_t MonitorCount, int* pMonitorIndex);
    bool PrivateThreadStart(INimboApiDisplayMonitorInstance* pHardware, int MonitorIndex);
    // False for a malformed record.
    bool PrivateDeviceArrival(PDEV_BROADCAST_HDR lpEventData, bool* pbIsDriverRunning);
    bool PrivateDeviceRemoval(const wchar_t* pEventName, PDEV_BROADCAST_HDR lpEventData,
                              bool* pbIsOwnDeviceRemoval);
    static bool PrivateDriverDeviceRunning();
    void PrivateModuleHoldTake();
    void PrivateModuleHoldRelease();

    int m_ApiType;
    ALDeviceControlHook m_DeviceControlHookDriver;
    ALDeviceControlIddCx m_DeviceControlIddCxDriver;
    ALListFrameBufferThreads ListFrameBufferThreads;
    HANDLE m_hPnPNotificationRecipient;
    bool m_bPnPNotificationRecipientIsWindow;
    CRITICAL_SECTION m_CriticalSection;
    // A reference to the library's own module while monitors may run, so
    // that a host unloading it without Uninitialize does not unmap the code
    // its threads run (or make the unload wait for them under the loader
    // lock). Null when none is held.
    HMODULE m_hModuleHold;
};
