// Machine API, device part: a frame texture a driver shares by handle (see
// machine_device.h).
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "MachineSharedResource.h"
#include "win32_base.h"

// A texture in CPU memory shared by handle, as a display driver hands out a
// frame. Readers and writers of the pixels hold Lock.
class MachineSharedTexture : public MachineSharedResource {
public:
    LUID AdapterLuid{};  // the adapter the texture lives on
    UINT Width = 0;
    UINT Height = 0;
    UINT Format = 0;     // a DXGI_FORMAT value
    UINT Pitch = 0;      // bytes per row of Pixels
    std::mutex Lock;
    std::vector<uint8_t> Pixels;
};
