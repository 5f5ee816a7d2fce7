// Device interfaces and unified-property overrides of the simulated device
// tree's nodes, beside the nodes' registry properties. An interface is named
// by its symbolic link; entries of removed nodes are never reported (node
// numbers are never reused).
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "DeviceInterfaceEntry.h"
#include "platform/setupapi.h"

class DeviceInterfaceTable {
public:
    static DeviceInterfaceTable& Instance();

    // Empty when no present node has that instance id.
    std::wstring Add(const std::wstring& InstanceId, const GUID& ClassGuid);
    bool Remove(const std::wstring& SymbolicLink);
    // Interfaces of present nodes, oldest first; pClassGuid null: every class.
    std::vector<DeviceInterfaceEntry> List(const GUID* pClassGuid) const;
    bool Find(uint64_t Id, DeviceInterfaceEntry* pEntry) const;

    bool PropertySet(const std::wstring& InstanceId, const DEVPROPKEY& Key, DEVPROPTYPE Type,
                     const std::vector<BYTE>& Value);
    // An override for the node; false when there is none.
    bool PropertyGet(DEVINST DevInst, const DEVPROPKEY& Key, DEVPROPTYPE* pType, std::vector<BYTE>* pValue) const;
    void Clear();

private:
    struct PropertyEntry {
        DEVINST DevInst;
        DEVPROPKEY Key;
        DEVPROPTYPE Type;
        std::vector<BYTE> Value;
    };

    DeviceInterfaceTable() = default;
    static bool PrivatePresent(DEVINST DevInst);

    mutable std::mutex m_Mutex;
    uint64_t m_NextId = 1;
    std::vector<DeviceInterfaceEntry> m_Interfaces;
    std::vector<PropertyEntry> m_Properties;
};

// The elements of a device information set (SetupApiDeviceInfo.cpp); false
// for a handle that names no set.
bool DeviceInfoSetElementsGet(HDEVINFO hSet, std::vector<DEVINST>* pElements);
