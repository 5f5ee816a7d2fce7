#pragma once

#include <cstddef>

#include "platform/win32.h"

// Records exchanged between a monitor instance, the library and the drivers.
// Little-endian, fixed widths, no padding.

// The first 16 bytes of the frame-buffer descriptor the driver gave the
// monitor object; the first two values are the frame's width and height.
struct FrameBufferInfo {
    UINT32 Width;
    UINT32 Height;
    UINT32 Value2;
    UINT32 Value3;
};
static_assert(sizeof(FrameBufferInfo) == 16);

// One display mode of a monitor description.
struct MonitorDescriptionMode {
    UINT32 ModeValue0;
    UINT32 ModeValue1;
    UINT32 Reserved;
    UINT32 RefreshRate;
};
static_assert(sizeof(MonitorDescriptionMode) == 16);

// Head of the monitor description handed unchanged to the driver's plug
// request; CountModes mode entries follow it directly.
struct MonitorDescriptionHeader {
    UINT32 AdapterIndex;  // written by the hook monitor object before plugging
    UINT32 MonitorIndex;  // written by both monitor objects before plugging
    UINT32 Reserved0;
    UINT32 Reserved1;
    UINT32 CountModes;
};
static_assert(sizeof(MonitorDescriptionHeader) == 20);
static_assert(offsetof(MonitorDescriptionHeader, CountModes) == 16);

constexpr UINT32 MonitorDescriptionSize(UINT32 CountModes) {
    return static_cast<UINT32>(sizeof(MonitorDescriptionHeader) + sizeof(MonitorDescriptionMode) * CountModes);
}
static_assert(MonitorDescriptionSize(1) == 36);

// Head of the optional EDID record: adapter and monitor index, written by the
// hook monitor object; the rest belongs to the driver.
struct MonitorEdidHeader {
    UINT32 AdapterIndex;
    UINT32 MonitorIndex;
};
static_assert(sizeof(MonitorEdidHeader) == 8);
