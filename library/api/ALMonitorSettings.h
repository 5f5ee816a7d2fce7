#pragma once

#include <cstdint>
#include <string>

// The monitor settings the high-level API keeps in the registry under
// HKEY_LOCAL_MACHINE: the allowed monitor count per driver (read only), the
// monitor index an instance id had last, and Windows' stored display
// configuration (deleted on request). Reads fall back to defaults.
class ALMonitorSettings {
public:
    // "MonitorCount" under the driver's service key; 3 when unreadable.
    static uint32_t MonitorCountRead(int ApiType);
    // "MonitorAssignment" of the instance id; 0 when unreadable.
    static uint32_t MenuItemReadFromRegistry(const std::wstring& InstanceId);
    static bool MenuItemSaveToRegistry(const std::wstring& InstanceId, int MonitorIndex);
    static void DisplayConfigurationReset();

private:
    static std::wstring PrivateInstanceKeyPath(const std::wstring& InstanceId);
};
