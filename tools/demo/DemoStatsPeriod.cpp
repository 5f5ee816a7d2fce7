#include "DemoStatsPeriod.h"

void DemoStatsPeriod::FrameAdd(double ChangedShare) {
    ++Frames;
    ChangedShareSum += ChangedShare;
}

void DemoStatsPeriod::Merge(const DemoStatsPeriod& Other) {
    Frames += Other.Frames;
    ChangedShareSum += Other.ChangedShareSum;
    Latency.Merge(Other.Latency);
}

void DemoStatsPeriod::Clear() {
    Frames = 0;
    ChangedShareSum = 0;
    Latency.Clear();
}

double DemoStatsPeriod::ChangedShareMeanGet() const {
    return Frames == 0 ? 0 : ChangedShareSum / static_cast<double>(Frames);
}
