#pragma once

#include <cstdint>

// A monitor whose thread ended without unplugging it from the driver.
struct ALListFrameBufferThreadsMonitorDescription {
    int32_t AdapterIndex;  // 0 on the indirect display path
    int32_t MonitorIndex;
};
