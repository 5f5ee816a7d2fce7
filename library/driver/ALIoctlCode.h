// I/O control codes of the two display drivers' control devices. Every code
// is device type 0x22 (FILE_DEVICE_UNKNOWN), FILE_READ_ACCESS and
// METHOD_OUT_DIRECT; only the function number differs. Functions 0x20, 0x21,
// 0x52 and 0x813 exist on both drivers with different buffers.
#pragma once

#include <cstdint>

class ALIoctlCode {
public:
    static constexpr uint32_t DeviceType = 0x22;
    static constexpr uint32_t AccessRead = 1;
    static constexpr uint32_t MethodOutDirect = 2;
    // Everything but the function number (bits 2-13).
    static constexpr uint32_t Base = DeviceType << 16 | AccessRead << 14 | MethodOutDirect;

    static constexpr uint32_t Make(uint32_t Function) { return Base | Function << 2; }
    static constexpr uint32_t FunctionGet(uint32_t Code) { return (Code >> 2) & 0xFFF; }

    // Both drivers.
    static constexpr uint32_t MonitorPlug = Base | 0x20 << 2;
    static constexpr uint32_t MonitorUnplug = Base | 0x21 << 2;
    static constexpr uint32_t MonitorPersistOnClose = Base | 0x813 << 2;

    // Hook display driver.
    static constexpr uint32_t MonitorEdidSet = Base | 0x22 << 2;
    static constexpr uint32_t MonitorEventsSubscribe = Base | 0x50 << 2;
    static constexpr uint32_t MonitorEventUnsubscribe = Base | 0x51 << 2;
    static constexpr uint32_t MonitorFrameBufferMap = Base | 0x52 << 2;
    static constexpr uint32_t MonitorFrameBufferUnmap = Base | 0x53 << 2;
    static constexpr uint32_t MonitorFrameBufferZeroCopyUnmap = Base | 0x55 << 2;
    static constexpr uint32_t MonitorFrameBufferZeroCopyUpdate = Base | 0x56 << 2;
    static constexpr uint32_t HookDriverAdapterIsActive = Base | 0x80 << 2;

    // Indirect display driver (0x52 is its frame-buffer events subscription).
    static constexpr uint32_t MonitorFrameBufferEventsSubscribe = Base | 0x52 << 2;
    static constexpr uint32_t ProcessApplicationHandleSet = Base | 0x810 << 2;
    static constexpr uint32_t MonitorSwapchainEventsRetrieve = Base | 0x811 << 2;
    static constexpr uint32_t MonitorFrameBufferDirectXAcquire = Base | 0x812 << 2;
};

static_assert(ALIoctlCode::MonitorPlug == 0x00224082);
static_assert(ALIoctlCode::Make(0x20) == ALIoctlCode::MonitorPlug && ALIoctlCode::FunctionGet(0x0022604E) == 0x813);
static_assert(ALIoctlCode::MonitorUnplug == 0x00224086);
static_assert(ALIoctlCode::MonitorEdidSet == 0x0022408A);
static_assert(ALIoctlCode::MonitorEventsSubscribe == 0x00224142);
static_assert(ALIoctlCode::MonitorEventUnsubscribe == 0x00224146);
static_assert(ALIoctlCode::MonitorFrameBufferMap == 0x0022414A);
static_assert(ALIoctlCode::MonitorFrameBufferUnmap == 0x0022414E);
static_assert(ALIoctlCode::MonitorFrameBufferZeroCopyUnmap == 0x00224156);
static_assert(ALIoctlCode::MonitorFrameBufferZeroCopyUpdate == 0x0022415A);
static_assert(ALIoctlCode::HookDriverAdapterIsActive == 0x00224202);
static_assert(ALIoctlCode::MonitorPersistOnClose == 0x0022604E);
static_assert(ALIoctlCode::MonitorFrameBufferEventsSubscribe == 0x0022414A);
static_assert(ALIoctlCode::ProcessApplicationHandleSet == 0x00226042);
static_assert(ALIoctlCode::MonitorSwapchainEventsRetrieve == 0x00226046);
static_assert(ALIoctlCode::MonitorFrameBufferDirectXAcquire == 0x0022604A);
