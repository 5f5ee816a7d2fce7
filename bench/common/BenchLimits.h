// The limits the pipeline's figures are compared with, measured in the same
// run on the same machine: copying one frame with memcpy, and waking a thread
// that waits on an event from another thread (the pipeline's signalling).
#pragma once

#include <cstddef>

class BenchLimits {
public:
    // Median seconds of one memcpy of Bytes: hot, the same two buffers again
    // and again (in the cache when they fit), or cold, rotating through
    // enough buffers to leave the last-level cache, as the pipeline's
    // textures do.
    static double FrameMemcpySeconds(size_t Bytes, bool bCold);
    // Median seconds of one cross-thread wake-up: half an event ping-pong
    // round trip.
    static double WakeUpSeconds();
};
