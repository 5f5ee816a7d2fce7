// Machine API, device part: the device namespace that simulated drivers
// register into, device notification recipients and announcements, and
// shared resources (kernel objects that a driver hands out by handle, such as
// a shared texture).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "win32_base.h"
#include "win32_device.h"
#include "win32_deviceinterface.h"
#include "MachineDeviceDriver.h"
#include "MachineSharedTexture.h"

// --- device namespace ----------------------------------------------------------

// Makes "\\.\Name" open pDriver (names compare case-insensitively). False
// when the name is taken.
bool MachineDeviceRegister(const std::wstring& Name, std::shared_ptr<MachineDeviceDriver> pDriver);
// New opens of the name fail with ERROR_FILE_NOT_FOUND; open files keep
// their driver until closed.
bool MachineDeviceUnregister(const std::wstring& Name);
bool MachineDeviceIsRegistered(const std::wstring& Name);
// Files of the named device that are still open.
long MachineDeviceFileCount(const std::wstring& Name);
// The file id behind a device handle, 0 for any other handle.
uint64_t MachineDeviceFileIdGet(HANDLE hDevice);
// Unregisters every device, drops every notification registration and
// recipient, and forgets device interfaces and property overrides (machine
// reset between tests).
void MachineDeviceReset();

// --- device interfaces of the device tree (platform/setupapi.h) ---------------

// Gives the present device node InstanceId an interface of ClassGuid, as its
// driver registers one when it starts; returns the interface's symbolic link
// ("\\?\ROOT#DISPLAY#0000#{guid}"), empty when there is no such node.
std::wstring MachineDeviceInterfaceAdd(const std::wstring& InstanceId, const GUID& ClassGuid);
bool MachineDeviceInterfaceRemove(const std::wstring& SymbolicLink);
// What SetupDiGetDevicePropertyW reports for Key on the node, in place of
// what the node itself has (for a node whose property is unusual).
bool MachineDevicePropertySet(const std::wstring& InstanceId, const DEVPROPKEY& Key, DEVPROPTYPE Type,
                              const std::vector<BYTE>& Value);

// --- device notifications ------------------------------------------------------

// What a window procedure or a service control handler is on Windows: it
// receives each notice (event type and broadcast record) on the announcing
// thread and answers it (BROADCAST_QUERY_DENY refuses a query-remove).
typedef std::function<DWORD(DWORD EventType, const DEV_BROADCAST_HDR* pHeader)> MachineDeviceNoticeSink;

// A new recipient handle: a window (DEVICE_NOTIFY_WINDOW_HANDLE) or a service
// status handle (DEVICE_NOTIFY_SERVICE_HANDLE).
HANDLE MachineDeviceNoticeRecipientCreate(bool bWindow, MachineDeviceNoticeSink Sink);
// Notices for it are no longer delivered; its registrations stay.
void MachineDeviceNoticeRecipientDestroy(HANDLE hRecipient);

struct MachineDeviceNotification {
    HDEVNOTIFY hDevNotify;
    HANDLE hRecipient;
    DWORD Flags;
    DWORD DeviceType;        // DBT_DEVTYP_DEVICEINTERFACE or DBT_DEVTYP_HANDLE
    DWORD FilterSize;        // the filter's size field as registered
    GUID ClassGuid;          // interface registrations
    HANDLE hDevice;          // handle registrations: the handle as registered
    std::wstring DeviceName; // handle registrations: the device it names
};
// The registrations in force, oldest first.
std::vector<MachineDeviceNotification> MachineDeviceNotificationList();

// DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE for an interface of the class,
// with its symbolic link as the name, to every interface registration of the
// class. Returns the number of notices delivered.
int MachineDeviceInterfaceNoticeSend(DWORD EventType, const GUID& ClassGuid, const std::wstring& SymbolicLink);
// A notice about the device itself (DBT_DEVICEQUERYREMOVE, ...) to every
// handle registration on a file of the named device; each notice carries the
// registered handle and registration. Returns the number delivered; when
// pbDenied is given it tells whether a recipient answered
// BROADCAST_QUERY_DENY.
int MachineDeviceHandleNoticeSend(DWORD EventType, const std::wstring& DeviceName, bool* pbDenied = nullptr);

// --- shared resources ------------------------------------------------------------

// A new handle of this process that names pResource; CloseHandle closes it
// and DuplicateHandle copies it.
HANDLE MachineSharedResourceHandleCreate(std::shared_ptr<MachineSharedResource> pResource);
// The resource a handle names; null for any other handle.
std::shared_ptr<MachineSharedResource> MachineSharedResourceFromHandle(HANDLE hResource);
