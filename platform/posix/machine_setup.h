// Machine API, device installation part: the C:\ drive, the program's own
// path, the reported Windows version, recorded message boxes, the device tree
// and the INF store.
#pragma once

#include <string>
#include <vector>

#include "win32_base.h"

// Host directory that "C:\" maps to (default: $NIMBO_MACHINE_ROOT, else
// /tmp/nimbo-machine). Setting it creates the directory and the folders a
// fresh Windows has: Windows\INF, Windows\System32\drivers, Users\Public.
void MachineSetupRootSet(const std::string& hostDirectory);
std::string MachineSetupRootGet();
// Host path of a Windows path as the platform resolves it; empty when the
// path cannot be mapped (no drive C: or Z:).
std::string MachineHostPath(const std::wstring& windowsPath);

// What GetModuleFileNameW(NULL) reports; empty restores the default (the
// executable's host path under "Z:\").
void MachineModuleFileNameSet(const std::wstring& windowsPath);

// The version VerifyVersionInfoW compares with (default 10.0.19045, SP 0).
void MachineWindowsVersionSet(DWORD dwMajor, DWORD dwMinor, DWORD dwBuild, WORD wServicePackMajor);

struct MachineMessageBox {
    std::wstring Text;
    std::wstring Caption;
    UINT Type;
};
// Every MessageBoxW call since the last reset, in order.
std::vector<MachineMessageBox> MachineMessageBoxes();

struct MachineDevice {
    std::wstring InstanceId;     // "ROOT\DISPLAY\0000"
    GUID ClassGuid;
    bool Registered;             // false: an element of a set, not yet a device node
    std::vector<std::wstring> HardwareIds;
    std::wstring DriverInfName;  // "oem0.inf" when a package is installed on it
    DWORD Status;                // DN_* bits
    DWORD Problem;               // CM_PROB_* code, 0 when none
};
// Every node of the device tree except its root, in creation order.
std::vector<MachineDevice> MachineDevices();
// Names of the packages in the INF store ("oem0.inf", ...), in name order.
std::vector<std::wstring> MachineInfStoreNames();
// Number of successful CM_Reenumerate_DevNode calls since the last reset.
unsigned MachineDeviceTreeReenumerations();

// Forgets devices, message boxes and re-enumerations and restores the
// default version and module path. Files under the root are left as they are.
void MachineSetupReset();
