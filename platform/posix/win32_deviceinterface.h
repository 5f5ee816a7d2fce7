// The device-interface side of SetupAPI on the simulated platform: interface
// sets (SetupDiGetClassDevsW with DIGCF_DEVICEINTERFACE), interface
// enumeration and details, and unified device properties. Interfaces belong
// to device tree nodes (platform/machine.h adds them, as a driver registers
// its interfaces when it starts).
#pragma once

#include "win32_base.h"
#include "win32_setupapi.h"

typedef ULONG DEVPROPTYPE, *PDEVPROPTYPE;
typedef ULONG DEVPROPID;
typedef GUID DEVPROPGUID;

typedef struct _DEVPROPKEY {
    DEVPROPGUID fmtid;
    DEVPROPID pid;
} DEVPROPKEY;

#define DEVPROP_TYPE_EMPTY 0x00000000
#define DEVPROP_TYPE_UINT32 0x00000007
#define DEVPROP_TYPE_GUID 0x0000000D
#define DEVPROP_TYPE_STRING 0x00000012

#define SPINT_ACTIVE 0x00000001
#define SPINT_DEFAULT 0x00000002
#define SPINT_REMOVED 0x00000004

typedef struct _SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
} SP_DEVICE_INTERFACE_DATA, *PSP_DEVICE_INTERFACE_DATA;

typedef struct _SP_DEVICE_INTERFACE_DETAIL_DATA_W {
    DWORD cbSize;  // the size of the fixed part: sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)
    WCHAR DevicePath[1];
} SP_DEVICE_INTERFACE_DETAIL_DATA_W, *PSP_DEVICE_INTERFACE_DETAIL_DATA_W;

// Interfaces of InterfaceClassGuid of the set's devices (only of
// DeviceInfoData's device when given), ERROR_NO_MORE_ITEMS past the last.
BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData);
// The interface's device path ("\\?\ROOT#DISPLAY#0000#{guid}"); without a
// buffer, or with a short one, ERROR_INSUFFICIENT_BUFFER and *RequiredSize
// in bytes. DeviceInfoData, when given, receives the interface's device.
BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet,
                                             PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
                                             DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                             PSP_DEVINFO_DATA DeviceInfoData);
// Unified properties of a device: DEVPKEY_Device_DevNodeStatus (the node's
// DN_* bits, DEVPROP_TYPE_UINT32) and what the machine set; others fail with
// ERROR_NOT_FOUND.
BOOL WINAPI SetupDiGetDevicePropertyW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                      const DEVPROPKEY* PropertyKey, DEVPROPTYPE* PropertyType,
                                      PBYTE PropertyBuffer, DWORD PropertyBufferSize, PDWORD RequiredSize,
                                      DWORD Flags);
