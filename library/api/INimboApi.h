#pragma once

#include <cstdint>

#include "platform/win32.h"

class INimboApiDisplayMonitorInstance;

// Driver kinds a host can initialise the library for.
constexpr int NIMBO_API_TYPE_HOOK_DRIVER = 0;
constexpr int NIMBO_API_TYPE_IDDCX_DRIVER = 1;

// The library's virtual-monitor service as a whole. The slot order is part
// of the contract with hosts that hold the object directly.
class INimboApi {
public:
    virtual ~INimboApi() = default;
    // True when the driver's control device was opened.
    virtual bool Initialize(LPCWSTR DeviceControlName, int ApiType) = 0;
    // Ends every frame-buffer thread (unplugging their monitors when bUnplug)
    // and closes both control devices.
    virtual void Uninitialize(bool bUnplug) = 0;
    // True when a frame-buffer thread for the instance runs; from then on the
    // thread owns the instance. On false the caller still owns it.
    virtual bool DisplayMonitorPlug(INimboApiDisplayMonitorInstance* pHardware) = 0;
    // Ends the thread that holds the instance; only compares the address.
    virtual void DisplayMonitorUnplug(INimboApiDisplayMonitorInstance* pHardware, bool bUnplug) = 0;
    virtual void MonitorUnplugMissingUponPowerResume() = 0;
    virtual void DisplayConfigurationReset() = 0;
    // The running monitor at list position EnumIdx, or null; adapterLuid may be null.
    virtual INimboApiDisplayMonitorInstance* DisplayMonitorAssignmentEnumerate(uint32_t EnumIdx, int* targetId,
                                                                               int* VideoPresentTargetId,
                                                                               LUID* adapterLuid) = 0;
    virtual bool PnPNotificationSubscribe(HANDLE hRecipient, bool bRecipientIsWindow);
    virtual bool OnPnPNotification(uint32_t EventType, PDEV_BROADCAST_HDR lpEventData, bool* pbIsOwnDeviceRemoval,
                                   bool* pbIsDriverRunning);
    virtual bool IsInitializationNeeded(int ApiType);
};

// The process's single API object.
INimboApi* NimboApiGet();
