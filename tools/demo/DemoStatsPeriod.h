// What one or more monitors received over a stretch of time: frames, the
// summed share of the screen their update rectangles covered, and the
// latencies of the frames whose presentation time was known.
#pragma once

#include <cstdint>

#include "DemoLatencyHistogram.h"

class DemoStatsPeriod {
public:
    void FrameAdd(double ChangedShare);
    void LatencyAdd(double Microseconds) { Latency.SampleAdd(Microseconds); }
    void Merge(const DemoStatsPeriod& Other);
    void Clear();

    // Mean share of the screen one update changed (0..1); 0 without frames.
    double ChangedShareMeanGet() const;

    uint64_t Frames = 0;
    double ChangedShareSum = 0;
    DemoLatencyHistogram Latency;
};
