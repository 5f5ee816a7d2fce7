// One mode entry of a monitor description as the simulated drivers read it:
// width, height, a value they ignore, refresh rate.
#pragma once

#include <cstdint>

struct SimMonitorMode {
    uint32_t Width;
    uint32_t Height;
    uint32_t Value2;
    uint32_t RefreshRate;
};
