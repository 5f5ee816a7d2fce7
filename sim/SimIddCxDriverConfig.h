// How a simulated indirect display driver is set up.
#pragma once

#include <cstdint>

#include "platform/win32.h"

struct SimIddCxDriverConfig {
    uint32_t MonitorCount = 3;  // also written to the registry
    LUID AdapterLuid{0x0000ADA0, 0};        // the indirect display adapter
    LUID RenderAdapterLuid{0x0000D3D0, 0};  // where swap chains render unless told otherwise
    bool bSwapchainAssignOnPlug = true;     // Windows assigns a swap chain to a new monitor
    bool bRegistryWrite = true;
};
