// RegisterDeviceNotificationW / UnregisterDeviceNotification and the machine
// API of notification recipients and announcements.
#include "DeviceNotificationRegistry.h"
#include "platform/machine.h"
#include "platform/win32.h"

HDEVNOTIFY WINAPI RegisterDeviceNotificationW(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags) {
    DWORD dwError = ERROR_SUCCESS;
    HDEVNOTIFY hDevNotify = DeviceNotificationRegistry::Instance().Register(hRecipient, NotificationFilter, Flags,
                                                                            &dwError);
    if (hDevNotify == nullptr)
        SetLastError(dwError);
    return hDevNotify;
}

BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY Handle) {
    if (!DeviceNotificationRegistry::Instance().Unregister(Handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HANDLE MachineDeviceNoticeRecipientCreate(bool bWindow, MachineDeviceNoticeSink Sink) {
    return DeviceNotificationRegistry::Instance().RecipientCreate(bWindow, std::move(Sink));
}

void MachineDeviceNoticeRecipientDestroy(HANDLE hRecipient) {
    DeviceNotificationRegistry::Instance().RecipientDestroy(hRecipient);
}

std::vector<MachineDeviceNotification> MachineDeviceNotificationList() {
    return DeviceNotificationRegistry::Instance().List();
}

int MachineDeviceInterfaceNoticeSend(DWORD EventType, const GUID& ClassGuid, const std::wstring& SymbolicLink) {
    return DeviceNotificationRegistry::Instance().InterfaceNoticeSend(EventType, ClassGuid, SymbolicLink);
}

int MachineDeviceHandleNoticeSend(DWORD EventType, const std::wstring& DeviceName, bool* pbDenied) {
    return DeviceNotificationRegistry::Instance().HandleNoticeSend(EventType, DeviceName, pbDenied);
}
