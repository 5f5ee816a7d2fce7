// Device notification registrations (RegisterDeviceNotificationW) and the
// recipients the machine knows: test-made stand-ins for windows and service
// status handles. Notices go to the recipients' sinks on the announcing
// thread, never under the registry's lock, so a sink may register or
// unregister in turn.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "machine_device.h"

class DeviceNotificationRegistry {
public:
    static DeviceNotificationRegistry& Instance();

    // Null with *pdwError set on failure.
    HDEVNOTIFY Register(HANDLE hRecipient, const void* pFilter, DWORD Flags, DWORD* pdwError);
    bool Unregister(HDEVNOTIFY hDevNotify);

    HANDLE RecipientCreate(bool bWindow, MachineDeviceNoticeSink Sink);
    void RecipientDestroy(HANDLE hRecipient);

    std::vector<MachineDeviceNotification> List();
    int InterfaceNoticeSend(DWORD EventType, const GUID& ClassGuid, const std::wstring& SymbolicLink);
    int HandleNoticeSend(DWORD EventType, const std::wstring& DeviceName, bool* pbDenied);
    void Clear();

private:
    struct Recipient {
        bool bWindow;
        MachineDeviceNoticeSink Sink;
    };
    struct Delivery {
        MachineDeviceNotification Registration;
        MachineDeviceNoticeSink Sink;
    };

    DeviceNotificationRegistry() = default;
    DWORD PrivateFilterCheck(const void* pFilter, MachineDeviceNotification* pRegistration);
    std::vector<Delivery> PrivateDeliveries(DWORD DeviceType);

    std::mutex m_Mutex;
    uintptr_t m_NextValue = 0x10;
    std::map<uintptr_t, Recipient> m_Recipients;
    std::vector<MachineDeviceNotification> m_Registrations;  // oldest first
};
