// The monitor description a plug request carries: adapter index, monitor
// index, two reserved u32, the mode count N and N mode entries of four u32.
// The simulated drivers take a mode's first value as the width, the second
// as the height and the fourth as the refresh rate.
#pragma once

#include <cstdint>
#include <vector>

#include "SimMonitorMode.h"
#include "platform/win32.h"

class SimMonitorDescription {
public:
    static constexpr uint32_t CountByteHeader = 20;
    static constexpr uint32_t CountByteMode = 16;
    static constexpr uint32_t ExtentMaximum = 16384;

    // ERROR_INSUFFICIENT_BUFFER when the record is shorter than its header
    // and modes; ERROR_INVALID_PARAMETER without a mode or with a first mode
    // of zero or oversized extent.
    static DWORD Parse(const uint8_t* pRecord, DWORD CountByteRecord, SimMonitorDescription* pDescription);

    uint32_t AdapterIndex = 0;
    uint32_t MonitorIndex = 0;
    std::vector<SimMonitorMode> Modes;
    std::vector<uint8_t> Record;  // as received

    uint32_t WidthGet() const { return Modes.empty() ? 0 : Modes[0].Width; }
    uint32_t HeightGet() const { return Modes.empty() ? 0 : Modes[0].Height; }
};
