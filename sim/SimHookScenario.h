// Scenario steps for the simulated hook display driver that go through its
// control device, as another process would.
#pragma once

#include <cstdint>

class SimHookScenario {
public:
    // A monitor that the driver "already has": plugged by an earlier process
    // that asked the driver to keep its monitors when its handle closed, and
    // then closed it. False when a step was refused.
    static bool MonitorLeftPlugged(uint32_t AdapterIndex, uint32_t MonitorIndex, uint32_t Width, uint32_t Height);
};
