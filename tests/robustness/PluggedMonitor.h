// One plugged monitor as a robustness test knows it.
#pragma once

#include <cstdint>
#include <memory>

#include "CountingMonitorInstance.h"
#include "MonitorTally.h"

// The instance belongs to its frame-buffer thread once the plug succeeded.
struct PluggedMonitor {
    CountingMonitorInstance* pInstance = nullptr;
    std::shared_ptr<MonitorTally> pTally;
    uint32_t Index = 0;
    bool bPlugged = false;
};
