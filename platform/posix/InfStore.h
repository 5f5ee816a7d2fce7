// The INF store of the simulated machine: the oemN.inf packages in
// "C:\Windows\INF" and their installation on devices. The directory itself
// is the store's state, so packages placed there by hand count as well.
#pragma once

#include <string>
#include <vector>

#include "win32_base.h"
#include "win32_cfgmgr.h"

class InfStore {
public:
    static std::string DirectoryHost();
    // Copies the INF into the store as oemN.inf (lowest free N); an identical
    // package already in the store keeps its name.
    static DWORD PackageAdd(const std::string& sourceHostPath, std::wstring& oemName);
    // oem*.inf names in the store, in name order.
    static std::vector<std::wstring> PackageNames();
    // ERROR_FILE_NOT_FOUND when there is no such package.
    static DWORD PackageRemove(const std::wstring& oemName);
    // Whether the package's models name one of the ids (case-insensitive).
    static bool PackageMatches(const std::wstring& oemName, const std::vector<std::wstring>& deviceIds);
    // Installs the package on every present device its models name.
    static void PackageInstallOnDevices(const std::wstring& oemName);
    // Gives each present device without a driver the first package of the
    // store that names it, as Plug and Play does when it finds a device.
    static void DriversFind();
};
