#pragma once

#include "hook/ALThreadBase.h"

class INimboApiDisplayMonitorInstance;

// The interface through which the high-level API and the thread list start,
// stop, query and delete a per-monitor frame-buffer thread without knowing
// which driver path it serves.
class ALThreadFrameBufferBase : public ALThreadBase {
public:
    ~ALThreadFrameBufferBase() override = default;

    using ALThreadBase::Start;
    // Records the index and instance, plugs the monitor, starts the thread.
    // From a true return on the thread owns pHardware.
    virtual bool Start(INimboApiDisplayMonitorInstance* pHardware, INT32 MonitorIndex) = 0;
    virtual void RequestExit(bool bUnplug) = 0;
    virtual INimboApiDisplayMonitorInstance* HardwareGet() = 0;
    virtual INT32 AdapterIndexGet() = 0;
    virtual INT32 MonitorIndexGet() = 0;
    virtual UINT32 VideoPresentTargetIdGet() = 0;
    virtual LUID AdapterLuidGet();
};
