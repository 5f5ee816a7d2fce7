// What the host keeps of one monitor. The monitor instance belongs to the
// library's frame-buffer thread and is deleted when the thread ends; the
// picture and the statistics it fills live on here for the PNG and the
// summary.
#pragma once

#include <cstdint>
#include <memory>

#include "DemoFrameImage.h"
#include "DemoMonitorStats.h"
#include "DemoPresentationClock.h"

struct DemoMonitorRecord {
    uint32_t Ordinal = 0;  // in plug order; names the PNG
    DemoFrameImage Image;
    DemoMonitorStats Stats;
    std::shared_ptr<DemoPresentationClock> pClock;  // null when presentation times are unknown
};
