// Records returned by the indirect display driver. Fixed layout,
// little-endian, 64-bit handles on every build.
#pragma once

#include <cstddef>
#include <cstdint>

#include "interface/NimboMonitorRecords.h"
#include "platform/win32.h"

// Output of the plug request, 24 bytes.
struct MonitorPlugInfoOut {
    uint32_t VideoPresentTargetId;
    LUID AdapterLuid;
    uint32_t Reserved;
    uint64_t hEventSwapchainChanged;
};

// Output of the frame-buffer events subscription, 24 bytes. Bytes 0-15 are
// the frame-buffer description handed to the monitor instance.
struct MonitorFrameBufferEventsInfo {
    ::FrameBufferInfo FrameBufferInfo;  // width, height; bytes 8-15 pass to the monitor instance unread
    uint64_t hEventFramebufferAvailable;
};

// Output of the DirectX acquisition, 24 bytes; valid only when the request
// returned a non-zero byte count.
struct DirectXData {
    uint64_t hResourceShared;
    RECT UpdateRectangle;
};

#define NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_ASSIGNED 0
#define NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_UNASSIGNED 1

// Output of one swap-chain event retrieval, 16 bytes.
struct MonitorSwapchainEvent {
    uint32_t EventType;
    uint32_t EventPresent;  // 0: no event delivered
    LUID RenderAdapterLuid;
};

static_assert(sizeof(MonitorPlugInfoOut) == 24);
static_assert(offsetof(MonitorPlugInfoOut, AdapterLuid) == 4);
static_assert(offsetof(MonitorPlugInfoOut, Reserved) == 12);
static_assert(offsetof(MonitorPlugInfoOut, hEventSwapchainChanged) == 16);

static_assert(sizeof(MonitorFrameBufferEventsInfo) == 24);
static_assert(offsetof(MonitorFrameBufferEventsInfo, FrameBufferInfo.Height) == 4);
static_assert(offsetof(MonitorFrameBufferEventsInfo, hEventFramebufferAvailable) == 16);

static_assert(sizeof(DirectXData) == 24);
static_assert(offsetof(DirectXData, UpdateRectangle) == 8);

static_assert(sizeof(MonitorSwapchainEvent) == 16);
static_assert(offsetof(MonitorSwapchainEvent, EventPresent) == 4);
static_assert(offsetof(MonitorSwapchainEvent, RenderAdapterLuid) == 8);
