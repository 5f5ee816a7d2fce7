// Memory and records that the hook display driver shares with the library:
// the two circular buffers (monitor events, update rectangles), the
// frame-buffer map record, the events subscription record and the pointer
// record. Fixed layout, little-endian, 64-bit addresses on every build.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

// Head of both rings; the element array follows directly at byte 20. The
// ring is empty when Producer equals Consumer.
struct CircularBufferHeader {
    uint32_t Producer;          // written by the driver only
    uint32_t Consumer;          // written by the library only
    uint32_t CountElements;
    uint32_t CountByteElement;  // for the log only
    uint32_t Overflow;          // update ring: 1 = entries were lost
};

#define NIMBO_MONITOR_EVENT_TYPE_VIDPN_VISIBILITY 0
#define NIMBO_MONITOR_EVENT_TYPE_POWER 1

// Element of the monitor event ring, 12 bytes.
struct NIMBO_MONITOR_EVENT {
    uint32_t Type;
    union {
        uint32_t Visible;     // visibility event: non-zero = visible
        uint32_t PowerState;  // power event
    };
    uint32_t PowerAction;     // power event
};

// Element of the update-rectangle ring, 36 bytes.
struct FrameBufferUpdateEntry {
    uint32_t Flags;  // bit values 2 and 4: fetch the frame by zero-copy
    RECT RectSource;
    RECT RectDestination;
};

// Filled by the frame-buffer map request, 56 bytes. Bytes 0-15 are the
// frame-buffer description handed to the monitor instance.
struct IoctlInfoMonitorFrameBuffer {
    uint32_t Width;
    uint32_t Height;
    uint32_t FrameBufferInfo2;  // between the driver and the monitor instance
    uint32_t FrameBufferInfo3;  // between the driver and the monitor instance
    uint32_t Pitch;
    uint32_t Reserved0;
    uint64_t pFrameBuffer;
    uint64_t pCircularBufferUpdates;
    uint64_t pPointerInfo;
    uint32_t Reserved1;
    uint32_t Aero;
};

// Written by the driver on events subscription, 16 bytes.
struct EventsSubscribeInfo {
    uint32_t PointerEventsEnabled;
    uint32_t Reserved;
    uint64_t pCircularBufferMonitorEvents;
};

// The pointer record, 262180 bytes: a 12-byte position block and the shape
// block, each copied as one unit.
struct PointerInfo {
    static constexpr size_t CountBytePosition = 12;
    static constexpr size_t CountByteShape = 262168;

    int32_t X;
    int32_t Y;
    uint8_t Visible;
    uint8_t Reserved[3];
    struct {
        uint32_t ShapeWidth;
        uint32_t ShapeHeight;
        uint8_t ShapeData[CountByteShape - 8];  // between the driver and the monitor instance
    } Shape;
};

static_assert(sizeof(CircularBufferHeader) == 20);
static_assert(offsetof(CircularBufferHeader, Consumer) == 4);
static_assert(offsetof(CircularBufferHeader, CountElements) == 8);
static_assert(offsetof(CircularBufferHeader, CountByteElement) == 12);
static_assert(offsetof(CircularBufferHeader, Overflow) == 16);

static_assert(sizeof(NIMBO_MONITOR_EVENT) == 12);
static_assert(offsetof(NIMBO_MONITOR_EVENT, Visible) == 4);
static_assert(offsetof(NIMBO_MONITOR_EVENT, PowerAction) == 8);

static_assert(sizeof(FrameBufferUpdateEntry) == 36);
static_assert(offsetof(FrameBufferUpdateEntry, RectSource) == 4);
static_assert(offsetof(FrameBufferUpdateEntry, RectDestination) == 20);

static_assert(sizeof(IoctlInfoMonitorFrameBuffer) == 56);
static_assert(offsetof(IoctlInfoMonitorFrameBuffer, Height) == 4);
static_assert(offsetof(IoctlInfoMonitorFrameBuffer, Pitch) == 16);
static_assert(offsetof(IoctlInfoMonitorFrameBuffer, pFrameBuffer) == 24);
static_assert(offsetof(IoctlInfoMonitorFrameBuffer, pCircularBufferUpdates) == 32);
static_assert(offsetof(IoctlInfoMonitorFrameBuffer, pPointerInfo) == 40);
static_assert(offsetof(IoctlInfoMonitorFrameBuffer, Aero) == 52);

static_assert(sizeof(EventsSubscribeInfo) == 16);
static_assert(offsetof(EventsSubscribeInfo, pCircularBufferMonitorEvents) == 8);

static_assert(sizeof(PointerInfo) == 262180);
static_assert(offsetof(PointerInfo, Visible) == 8);
static_assert(offsetof(PointerInfo, Shape) == 12);
static_assert(offsetof(PointerInfo, Shape.ShapeHeight) == 16);
