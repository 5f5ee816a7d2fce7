// A handle-named reference to a resource a driver shares (a frame texture,
// for instance). Closing the handle drops the reference.
#pragma once

#include <memory>

#include "KernelObject.h"
#include "machine_device.h"

class DeviceSharedResourceObject : public KernelObject {
public:
    explicit DeviceSharedResourceObject(std::shared_ptr<MachineSharedResource> pResource)
        : m_pResource(std::move(pResource)) {}

    const char* KindName() const override { return "SharedResource"; }
    const std::shared_ptr<MachineSharedResource>& ResourceGet() const { return m_pResource; }

private:
    const std::shared_ptr<MachineSharedResource> m_pResource;
};
