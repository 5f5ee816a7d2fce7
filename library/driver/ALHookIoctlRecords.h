// Records that the library builds for the hook display driver's requests.
// Fixed layout, little-endian, 64-bit handles and addresses on every build.
// Bytes the driver does not read are zero, so the driver always gets
// deterministic input.
#pragma once

#include <cstddef>
#include <cstdint>

// Unplug request (output buffer), 12 bytes.
struct IoctlInfo {
    uint32_t AdapterIndex;
    uint32_t MonitorIndex;
    uint32_t Reserved;
};

// Events subscribe and unsubscribe requests (input buffer), 40 bytes.
struct IoctlInfoEventsIn {
    uint32_t AdapterIndex;
    uint32_t MonitorIndex;
    uint64_t Reserved;
    uint64_t hEventMonitor;
    uint64_t hEventPointerPositionChanged;
    uint64_t hEventPointerShapeChanged;
};

// Unsubscribe request (output buffer), 16 bytes: the event ring's address at
// the offset where the subscription record returned it.
struct IoctlInfoEventsOut {
    uint64_t Reserved;
    uint64_t pCircularBufferMonitorEvents;
};

// Frame-buffer map and unmap requests (input buffer), 24 bytes.
struct IoctlInfoFrameBufferIn {
    uint32_t AdapterIndex;
    uint32_t MonitorIndex;
    uint64_t Reserved;
    uint64_t hEventFramebufferChanged;
};

// Zero-copy update request (input buffer), 12 bytes.
struct IoctlInfoZeroCopyIn {
    uint32_t AdapterIndex;
    uint32_t MonitorIndex;
    uint32_t Reserved;
};

// Zero-copy update request (output buffer, written by the driver), 32 bytes.
struct IoctlInfoZeroCopyOut {
    uint64_t pFrameBufferZeroCopy;
    uint32_t Pitch;
    uint32_t Padding0;
    uint64_t pFrameBufferAuxiliaryZeroCopy;
    uint32_t FrameBufferAuxiliaryPitch;
    uint32_t Padding1;
};

// Zero-copy unmap request (input buffer), 32 bytes.
struct IoctlInfoZeroCopyUnmapIn {
    uint32_t AdapterIndex;
    uint32_t MonitorIndex;
    uint64_t Reserved0;
    uint64_t pFrameBufferAuxiliaryZeroCopy;
    uint64_t Reserved1;
};

static_assert(sizeof(IoctlInfo) == 12);
static_assert(offsetof(IoctlInfo, MonitorIndex) == 4);

static_assert(sizeof(IoctlInfoEventsIn) == 40);
static_assert(offsetof(IoctlInfoEventsIn, MonitorIndex) == 4);
static_assert(offsetof(IoctlInfoEventsIn, hEventMonitor) == 16);
static_assert(offsetof(IoctlInfoEventsIn, hEventPointerPositionChanged) == 24);
static_assert(offsetof(IoctlInfoEventsIn, hEventPointerShapeChanged) == 32);

static_assert(sizeof(IoctlInfoEventsOut) == 16);
static_assert(offsetof(IoctlInfoEventsOut, pCircularBufferMonitorEvents) == 8);

static_assert(sizeof(IoctlInfoFrameBufferIn) == 24);
static_assert(offsetof(IoctlInfoFrameBufferIn, MonitorIndex) == 4);
static_assert(offsetof(IoctlInfoFrameBufferIn, Reserved) == 8);
static_assert(offsetof(IoctlInfoFrameBufferIn, hEventFramebufferChanged) == 16);

static_assert(sizeof(IoctlInfoZeroCopyIn) == 12);
static_assert(offsetof(IoctlInfoZeroCopyIn, MonitorIndex) == 4);

static_assert(sizeof(IoctlInfoZeroCopyOut) == 32);
static_assert(offsetof(IoctlInfoZeroCopyOut, Pitch) == 8);
static_assert(offsetof(IoctlInfoZeroCopyOut, pFrameBufferAuxiliaryZeroCopy) == 16);
static_assert(offsetof(IoctlInfoZeroCopyOut, FrameBufferAuxiliaryPitch) == 24);

static_assert(sizeof(IoctlInfoZeroCopyUnmapIn) == 32);
static_assert(offsetof(IoctlInfoZeroCopyUnmapIn, MonitorIndex) == 4);
static_assert(offsetof(IoctlInfoZeroCopyUnmapIn, pFrameBufferAuxiliaryZeroCopy) == 16);
