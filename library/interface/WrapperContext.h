#pragma once

#include "platform/win32.h"

class INimboApi;
class INimboApiDisplayMonitorInstance;

// What stands behind the six exports: the high-level API object once an
// Initialize export has run, and the monitor instance of the last plug. One
// per process, made at the first export call and never destroyed. The
// operations are the exports' bodies; the fields are plain pointers written
// without a lock, so the host calls one export at a time.
class WrapperContext {
public:
    WrapperContext() = default;
    WrapperContext(const WrapperContext&) = delete;
    WrapperContext& operator=(const WrapperContext&) = delete;

    // The process's context, made on the first call (concurrent first callers
    // wait for the one creation); null only when that allocation failed.
    static WrapperContext* InstanceGet();

    // 0 when the driver's control device was opened, else 1.
    int DriverInitialize(LPCWSTR DeviceControlName, int ApiType);
    // Always 0. Before an Initialize export these do nothing.
    int MonitorPlug(int First, int Second);
    int MonitorUnplug();
    int ApiUninitialize();
    // The first monitor's video present target id, or 0.
    int DisplayIdGet();

    INimboApi* pApiHighLevel = nullptr;
    // Once plugged the instance belongs to its frame-buffer thread, which
    // deletes it; the address is kept for comparison only, never called.
    INimboApiDisplayMonitorInstance* pDisplayMonitorInstance = nullptr;

private:
    void PrivatePlugAbandon();
};
