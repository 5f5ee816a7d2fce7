// I/O control codes of the two display drivers' control devices. Every code
// is device type 0x22 (FILE_DEVICE_UNKNOWN), FILE_READ_ACCESS and
// METHOD_OUT_DIRECT; only the function number differs. Functions 0x20, 0x21,
// 0x52 and 0x813 exist on both drivers with different buffers.
#pragma once

#include <cstdint>

// The code layout, apart so that ALIoctlCode can use it in its constants.
class ALIoctlCodeLayout {
public:
    static constexpr uint32_t DeviceType = 0x22;
    static constexpr uint32_t AccessRead = 1;
    static constexpr uint32_t MethodOutDirect = 2;

    static constexpr uint32_t Make(uint32_t Function) {
        return DeviceType << 16 | AccessRead << 14 | Function << 2 | MethodOutDirect;
    }
    static constexpr uint32_t FunctionGet(uint32_t Code) { return (Code >> 2) & 0xFFF; }
};

class ALIoctlCode : public ALIoctlCodeLayout {
public:
    // Both drivers.
    static constexpr uint32_t MonitorPlug = Make(0x20);
    static constexpr uint32_t MonitorUnplug = Make(0x21);
    static constexpr uint32_t MonitorPersistOnClose = Make(0x813);

    // Hook display driver.
    static constexpr uint32_t MonitorEdidSet = Make(0x22);
    static constexpr uint32_t MonitorEventsSubscribe = Make(0x50);
    static constexpr uint32_t MonitorEventUnsubscribe = Make(0x51);
    static constexpr uint32_t MonitorFrameBufferMap = Make(0x52);
    static constexpr uint32_t MonitorFrameBufferUnmap = Make(0x53);
    static constexpr uint32_t MonitorFrameBufferZeroCopyUnmap = Make(0x55);
    static constexpr uint32_t MonitorFrameBufferZeroCopyUpdate = Make(0x56);
    static constexpr uint32_t HookDriverAdapterIsActive = Make(0x80);

    // Indirect display driver (0x52 is its frame-buffer events subscription).
    static constexpr uint32_t MonitorFrameBufferEventsSubscribe = Make(0x52);
    static constexpr uint32_t ProcessApplicationHandleSet = Make(0x810);
    static constexpr uint32_t MonitorSwapchainEventsRetrieve = Make(0x811);
    static constexpr uint32_t MonitorFrameBufferDirectXAcquire = Make(0x812);
};

static_assert(ALIoctlCode::MonitorPlug == 0x00224082);
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
