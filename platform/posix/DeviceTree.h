// The simulated machine's device tree: device nodes with an instance id, a
// setup class, registry properties, the package installed on them and their
// status. Device information sets (SetupAPI) and the configuration manager
// work on it; device interfaces belong beside the registry properties of a
// node when they are added.
//
// A node is created unregistered (an element of a device information set
// only, invisible to enumeration) and becomes a present device node when it
// is registered. DEVINST values are never reused.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/setupapi.h"

struct DeviceProperty {
    DWORD Type;
    std::vector<BYTE> Data;
};

struct DeviceNode {
    DEVINST DevInst = 0;
    std::wstring InstanceId;
    GUID ClassGuid = {};
    bool Registered = false;
    std::map<DWORD, DeviceProperty> RegistryProperties;  // SPDRP_*
    std::wstring DriverInfName;                          // oemN.inf installed on it
    DWORD Status = 0;                                    // DN_*
    DWORD Problem = 0;                                   // CM_PROB_*
};

class DeviceTree {
public:
    static DeviceTree& Instance();

    DEVINST RootDevInst() const { return kRootDevInst; }

    // "ROOT\<DEVICENAME>\nnnn" with the lowest number no node uses.
    std::wstring InstanceIdGenerate(const std::wstring& deviceName) const;
    // A new unregistered node; ERROR_DEVINST_ALREADY_EXISTS if the id is taken.
    DWORD NodeCreate(const std::wstring& instanceId, const GUID& classGuid, DEVINST& devInst);
    // Registered nodes become present devices without a driver.
    DWORD NodeRegister(DEVINST devInst);
    // Removes a node, registered or not.
    DWORD NodeRemove(DEVINST devInst);
    bool NodeGet(DEVINST devInst, DeviceNode& node) const;
    bool NodeFind(const std::wstring& instanceId, bool bIncludeUnregistered, DEVINST& devInst) const;
    // Registered nodes, in creation order.
    std::vector<DEVINST> NodesPresent() const;

    DWORD PropertySet(DEVINST devInst, DWORD property, const DeviceProperty& value);
    DWORD PropertyDelete(DEVINST devInst, DWORD property);

    // Installs (empty name: removes) a package on the node and sets its status.
    void DriverSet(DEVINST devInst, const std::wstring& infName);
    // Registered nodes on which the package is installed.
    std::vector<DEVINST> NodesUsingInf(const std::wstring& infName) const;
    // Hardware ids followed by compatible ids of a node.
    std::vector<std::wstring> DeviceIds(DEVINST devInst) const;

    void ReenumerationCount();
    unsigned Reenumerations() const;

    std::vector<DeviceNode> Snapshot() const;
    void Reset();

private:
    static constexpr DEVINST kRootDevInst = 1;

    DeviceTree() = default;

    mutable std::mutex m_Lock;
    std::map<DEVINST, DeviceNode> m_Nodes;  // without the root
    DEVINST m_NextDevInst = kRootDevInst + 1;
    unsigned m_Reenumerations = 0;
};
