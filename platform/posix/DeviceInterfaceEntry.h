// One device interface of a node of the simulated device tree.
#pragma once

#include <cstdint>
#include <string>

#include "platform/setupapi.h"

struct DeviceInterfaceEntry {
    uint64_t Id;  // what SP_DEVICE_INTERFACE_DATA::Reserved carries
    DEVINST DevInst;
    GUID ClassGuid;
    std::wstring SymbolicLink;
};
