// Tells when the picture a monitor shows was presented, so that the host
// can measure the latency from presentation to delivery. Only the side that
// presents knows; against an installed driver there is none.
#pragma once

#include <cstdint>

class DemoPresentationClock {
public:
    virtual ~DemoPresentationClock() = default;
    // The performance counter when the frame pictured in pPixels (Width x
    // Height, 32-bit BGRA, Pitch bytes per row) was presented; false when it
    // is not known. Called on the monitor's frame-buffer thread.
    virtual bool PresentationTicksFind(const uint8_t* pPixels, uint32_t Width, uint32_t Height, uint32_t Pitch,
                                       int64_t* pTicks) = 0;
};
