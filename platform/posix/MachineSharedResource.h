// Machine API, device part: what a driver shares by handle (see
// machine_device.h).
#pragma once

// A resource a driver shares by handle. The object lives while the driver or
// any handle keeps it.
class MachineSharedResource {
public:
    virtual ~MachineSharedResource() = default;
};
