#include "api/ALMonitorSettings.h"

#include "support/ALUtilRegistry.h"

namespace {
constexpr const wchar_t* kAssignmentKeyRoot = L"Software\\quillark\\Nimbo\\Enum";
constexpr const wchar_t* kHookServiceKey = L"System\\CurrentControlSet\\Services\\vantorHookKmode";
constexpr const wchar_t* kIddCxServiceKey =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\WUDF\\Services\\vantorDisplayUmode";
constexpr uint32_t kMonitorCountDefault = 3;
}  // namespace

std::wstring ALMonitorSettings::PrivateInstanceKeyPath(const std::wstring& InstanceId) {
    return std::wstring(kAssignmentKeyRoot) + L"\\" + InstanceId;
}

uint32_t ALMonitorSettings::MonitorCountRead(int ApiType) {
    DWORD MonitorCount = 0;
    DWORD Size = sizeof(MonitorCount);
    if (!ALUtilRegistryValueGet(HKEY_LOCAL_MACHINE, ApiType == 0 ? kHookServiceKey : kIddCxServiceKey,
                                L"MonitorCount", reinterpret_cast<BYTE*>(&MonitorCount), &Size))
        return kMonitorCountDefault;
    return MonitorCount;
}

uint32_t ALMonitorSettings::MenuItemReadFromRegistry(const std::wstring& InstanceId) {
    const std::wstring KeyPath = PrivateInstanceKeyPath(InstanceId);
    DWORD MonitorIndex = 0;
    DWORD Size = sizeof(MonitorIndex);
    if (!ALUtilRegistryValueGet(HKEY_LOCAL_MACHINE, KeyPath.c_str(), L"MonitorAssignment",
                                reinterpret_cast<BYTE*>(&MonitorIndex), &Size))
        return 0;
    return MonitorIndex;
}

bool ALMonitorSettings::MenuItemSaveToRegistry(const std::wstring& InstanceId, int MonitorIndex) {
    const std::wstring KeyPath = PrivateInstanceKeyPath(InstanceId);
    const uint32_t Value = static_cast<uint32_t>(MonitorIndex);
    const BYTE Bytes[4] = {static_cast<BYTE>(Value), static_cast<BYTE>(Value >> 8), static_cast<BYTE>(Value >> 16),
                           static_cast<BYTE>(Value >> 24)};
    return ZKLUtilRegistryValueSet(HKEY_LOCAL_MACHINE, KeyPath.c_str(), L"MonitorAssignment", REG_BINARY, Bytes,
                                   sizeof(Bytes));
}

void ALMonitorSettings::DisplayConfigurationReset() {
    ZKLUtilRegistryKeyDelete(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers",
                             L"Connectivity");
    ZKLUtilRegistryKeyDelete(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers",
                             L"Configuration");
    ZKLUtilRegistryKeyDelete(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\class\\", L"Enum");
}
