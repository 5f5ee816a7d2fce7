// Device installation (SetupAPI, newdev) of the simulated platform: device
// information sets over the machine's device tree, registry properties, the
// class installer functions the system uses, INF files, the INF store of
// "C:\Windows\INF" with its oemN.inf packages, and InstallHinfSection.
// Semantics and error codes follow the SetupAPI documentation.
#pragma once

#include "win32_base.h"

typedef PVOID HDEVINFO;
typedef PVOID HINF;
typedef UINT DI_FUNCTION;
typedef UINT* PUINT;

// SetupAPI's own error codes (customer bit and error severity set).
#define APPLICATION_ERROR_MASK 0x20000000
#define ERROR_SEVERITY_ERROR 0xC0000000
#define ERROR_EXPECTED_SECTION_NAME 0xE0000000L
#define ERROR_BAD_SECTION_NAME_LINE 0xE0000001L
#define ERROR_GENERAL_SYNTAX 0xE0000003L
#define ERROR_WRONG_INF_STYLE 0xE0000100L
#define ERROR_SECTION_NOT_FOUND 0xE0000101L
#define ERROR_LINE_NOT_FOUND 0xE0000102L
#define ERROR_CLASS_MISMATCH 0xE0000201L
#define ERROR_INVALID_DEVINST_NAME 0xE0000205L
#define ERROR_DEVINST_ALREADY_EXISTS 0xE0000207L
#define ERROR_DEVINFO_NOT_REGISTERED 0xE0000208L
#define ERROR_INVALID_REG_PROPERTY 0xE0000209L
#define ERROR_NO_INF 0xE000020AL
#define ERROR_NOT_AN_INSTALLED_OEM_INF 0xE000023CL
#define ERROR_INF_IN_USE_BY_DEVICES 0xE000023DL

typedef struct _SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;

// SetupDiGetClassDevs flags.
#define DIGCF_DEFAULT 0x00000001
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define DIGCF_PROFILE 0x00000008
#define DIGCF_DEVICEINTERFACE 0x00000010

// SetupDiCreateDeviceInfo flags.
#define DICD_GENERATE_ID 0x00000001
#define DICD_INHERIT_CLASSDRVS 0x00000002

// Device registry properties.
#define SPDRP_DEVICEDESC 0x00000000
#define SPDRP_HARDWAREID 0x00000001
#define SPDRP_COMPATIBLEIDS 0x00000002
#define SPDRP_SERVICE 0x00000004
#define SPDRP_CLASS 0x00000007
#define SPDRP_CLASSGUID 0x00000008
#define SPDRP_DRIVER 0x00000009
#define SPDRP_MFG 0x0000000B
#define SPDRP_FRIENDLYNAME 0x0000000C
#define SPDRP_LOCATION_INFORMATION 0x0000000D
#define SPDRP_UPPERFILTERS 0x00000011
#define SPDRP_LOWERFILTERS 0x00000012

// Device installation functions handled by SetupDiCallClassInstaller.
#define DIF_REMOVE 0x00000005
#define DIF_REGISTERDEVICE 0x00000019

// SetupOpenInfFile styles.
#define INF_STYLE_NONE 0x00000000
#define INF_STYLE_OLDNT 0x00000001
#define INF_STYLE_WIN4 0x00000002

// SetupUninstallOEMInf flags.
#define SUOI_FORCEDELETE 0x00000001

// DiInstallDriver flags.
#define DIIRFLAG_FORCE_INF 0x00000002

typedef struct _INFCONTEXT {
    PVOID Inf;
    PVOID CurrentInf;
    UINT Section;
    UINT Line;
} INFCONTEXT, *PINFCONTEXT;

// --- device information sets -------------------------------------------------
HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent);
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);

// Adds a new, not yet registered device to the set. With DICD_GENERATE_ID
// DeviceName is a root enumerator device name and the instance id becomes
// "ROOT\<NAME>\nnnn" with the lowest free number; without it DeviceName is
// the whole instance id. The element disappears with the set unless it is
// registered (DIF_REGISTERDEVICE) first.
BOOL WINAPI SetupDiCreateDeviceInfoW(HDEVINFO DeviceInfoSet, LPCWSTR DeviceName,
                                     const GUID* ClassGuid, LPCWSTR DeviceDescription,
                                     HWND hwndParent, DWORD CreationFlags,
                                     PSP_DEVINFO_DATA DeviceInfoData);

// Present devices of ClassGuid (or of every class with DIGCF_ALLCLASSES),
// optionally of one enumerator ("ROOT"). With DIGCF_DEVICEINTERFACE,
// ClassGuid is a device interface class and the set holds the devices that
// expose such an interface (win32_deviceinterface.h).
HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* ClassGuid, LPCWSTR Enumerator, HWND hwndParent,
                                     DWORD Flags);
BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                  PSP_DEVINFO_DATA DeviceInfoData);

// "ROOT\DISPLAY\0000"; ERROR_INSUFFICIENT_BUFFER (with *RequiredSize in
// characters) when it does not fit.
BOOL WINAPI SetupDiGetDeviceInstanceIdW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        LPWSTR DeviceInstanceId, DWORD DeviceInstanceIdSize,
                                        PDWORD RequiredSize);

// String properties are REG_SZ, list properties REG_MULTI_SZ; their sizes are
// in bytes and must be whole wide characters. A null buffer of size 0 deletes
// the property. An unset property reads as ERROR_INVALID_DATA.
BOOL WINAPI SetupDiSetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet,
                                              PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              const BYTE* PropertyBuffer, DWORD PropertyBufferSize);
BOOL WINAPI SetupDiGetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet,
                                              PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize);

// DIF_REGISTERDEVICE makes a new element a present device node (and installs
// the best matching package of the INF store on it, as Plug and Play would);
// DIF_REMOVE removes a registered device node. Other functions fail with
// ERROR_CALL_NOT_IMPLEMENTED.
BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData);

// --- driver packages ---------------------------------------------------------
// Copies the INF at the fully qualified InfPath into the INF store as
// oemN.inf (an identical package already there is reused) and installs it on
// every present device whose hardware or compatible id its models name.
BOOL WINAPI DiInstallDriverW(HWND hwndParent, LPCWSTR InfPath, DWORD Flags, PBOOL NeedReboot);

// Removes oemN.inf (and its .pnf) from the INF store. Refused with
// ERROR_INF_IN_USE_BY_DEVICES while a device uses it, unless SUOI_FORCEDELETE.
BOOL WINAPI SetupUninstallOEMInfW(LPCWSTR InfFileName, DWORD Flags, PVOID Reserved);

// --- INF files ---------------------------------------------------------------
// A name without a path is looked up in the INF store directory.
HINF WINAPI SetupOpenInfFileW(LPCWSTR FileName, LPCWSTR InfClass, DWORD InfStyle, PUINT ErrorLine);
void WINAPI SetupCloseInfFile(HINF InfHandle);
BOOL WINAPI SetupFindFirstLineW(HINF InfHandle, LPCWSTR Section, LPCWSTR Key, PINFCONTEXT Context);
BOOL WINAPI SetupFindNextLine(PINFCONTEXT ContextIn, PINFCONTEXT ContextOut);
DWORD WINAPI SetupGetFieldCount(PINFCONTEXT Context);
// Field 0 is the line's key; %strkey% tokens come substituted from [Strings].
BOOL WINAPI SetupGetStringFieldW(PINFCONTEXT Context, DWORD FieldIndex, LPWSTR ReturnBuffer,
                                 DWORD ReturnBufferSize, PDWORD RequiredSize);

// Runs an install section of an INF: "<section> <mode> <path of the INF>".
// The directives carried out are DelReg (HKLM keys and values) and DelFiles;
// nothing is reported back, as on Windows.
void WINAPI InstallHinfSectionW(HWND Window, HINSTANCE ModuleHandle, LPCWSTR CommandLine,
                                INT ShowCommand);
