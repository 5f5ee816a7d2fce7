// Configuration manager (CfgMgr32) of the simulated platform: locating device
// nodes of the machine's device tree and re-enumerating it.
#pragma once

#include "win32_base.h"

typedef DWORD DEVINST;
typedef DEVINST* PDEVINST;
typedef DEVINST DEVNODE;
typedef DWORD CONFIGRET;
typedef WCHAR* DEVINSTID_W;

#define CR_SUCCESS 0x00000000
#define CR_OUT_OF_MEMORY 0x00000002
#define CR_INVALID_POINTER 0x00000003
#define CR_INVALID_FLAG 0x00000004
#define CR_INVALID_DEVNODE 0x00000005
#define CR_INVALID_DEVINST CR_INVALID_DEVNODE
#define CR_NO_SUCH_DEVNODE 0x0000000D
#define CR_NO_SUCH_DEVINST CR_NO_SUCH_DEVNODE
#define CR_FAILURE 0x00000013

#define CM_LOCATE_DEVNODE_NORMAL 0x00000000
#define CM_LOCATE_DEVNODE_PHANTOM 0x00000001

#define CM_REENUMERATE_NORMAL 0x00000000
#define CM_REENUMERATE_SYNCHRONOUS 0x00000001

// Device node status bits and the problem code of a device without a driver.
#define DN_ROOT_ENUMERATED 0x00000001
#define DN_DRIVER_LOADED 0x00000002
#define DN_STARTED 0x00000008
#define DN_HAS_PROBLEM 0x00000400
#define CM_PROB_FAILED_INSTALL 0x0000001C

// pDeviceID null or empty: the root of the device tree.
CONFIGRET WINAPI CM_Locate_DevNodeW(PDEVINST pdnDevInst, DEVINSTID_W pDeviceID, ULONG ulFlags);
// Looks for drivers for the devices below dnDevInst, as Plug and Play does
// after a hardware change: devices without a driver get the best package of
// the INF store that names their ids.
CONFIGRET WINAPI CM_Reenumerate_DevNode(DEVINST dnDevInst, ULONG ulFlags);
