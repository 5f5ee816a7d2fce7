// Machine API, device installation part (platform/machine.h).
#include "DeviceTree.h"
#include "FileSystem.h"
#include "InfStore.h"
#include "SetupMachineState.h"
#include "platform/machine.h"

std::vector<MachineDevice> MachineDevices() {
    std::vector<MachineDevice> devices;
    DeviceTree& tree = DeviceTree::Instance();
    for (const DeviceNode& node : tree.Snapshot()) {
        devices.push_back({node.InstanceId, node.ClassGuid, node.Registered, {}, node.DriverInfName, node.Status,
                           node.Problem});
        auto found = node.RegistryProperties.find(SPDRP_HARDWAREID);
        if (found == node.RegistryProperties.end())
            continue;
        size_t count = found->second.Data.size() / sizeof(WCHAR);
        const auto* pChars = reinterpret_cast<const WCHAR*>(found->second.Data.data());
        std::wstring current;
        for (size_t i = 0; i < count; ++i) {
            if (pChars[i] != L'\0') {
                current += pChars[i];
            } else if (!current.empty()) {
                devices.back().HardwareIds.push_back(current);
                current.clear();
            } else {
                break;
            }
        }
        if (!current.empty())
            devices.back().HardwareIds.push_back(current);
    }
    return devices;
}

std::vector<std::wstring> MachineInfStoreNames() { return InfStore::PackageNames(); }

unsigned MachineDeviceTreeReenumerations() { return DeviceTree::Instance().Reenumerations(); }

void MachineSetupReset() {
    DeviceTree::Instance().Reset();
    MessageBoxReset();
    VersionInfoReset();
    FileSystem::ModulePathSet(std::wstring());
}
