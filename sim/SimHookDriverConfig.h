// How a simulated hook display driver is set up.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/win32.h"
#include <vector>

struct SimHookDriverConfig {
    std::vector<bool> AdaptersActive{true};  // one entry per adapter
    uint32_t MonitorCount = 3;               // slots per adapter, also written to the registry
    uint32_t PointerEventsEnabled = 1;
    uint32_t EventRingCountElements = 64;
    uint32_t UpdateRingCountElements = 32;
    bool bVisibilityOnPlug = true;  // a plugged monitor reports visibility as Windows brings it up
    bool bRegistryWrite = true;
    // An update the driver queues as it maps the frame buffer, as when the
    // desktop changed between plug and map.
    std::optional<RECT> UpdateOnMap;
};
