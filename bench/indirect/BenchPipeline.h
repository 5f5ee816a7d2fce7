// One virtual monitor on the simulated indirect display driver, end to end:
// a fresh machine with logging off, the driver installed, the library's
// control object open, a frame-buffer thread plugged and its swap chain
// assigned, and the benchmark's monitor instance receiving the frames.
#pragma once

#include <memory>

#include "BenchMonitorInstance.h"
#include "driver/ALDeviceControlIddCx.h"
#include "indirect/ALThreadFrameBufferIddCxApi.h"
#include "sim/SimIddCxDriver.h"

class BenchPipeline {
public:
    BenchPipeline(UINT32 Width, UINT32 Height);
    ~BenchPipeline();
    BenchPipeline(const BenchPipeline&) = delete;
    BenchPipeline& operator=(const BenchPipeline&) = delete;

    bool ReadyIs() const { return m_bReady; }
    // Presents one frame and waits until FrameBufferUpdate began for it;
    // returns the seconds from the driver making it available to that start.
    double FrameLatency();
    SimIddCxDriver& DriverGet() { return *m_pDriver; }
    BenchMonitorInstance& InstanceGet() { return *m_pInstance; }

private:
    std::shared_ptr<SimIddCxDriver> m_pDriver;
    ALDeviceControlIddCx m_DeviceControl;
    std::unique_ptr<ALThreadFrameBufferIddCxApi> m_pThread;
    BenchMonitorInstance* m_pInstance = nullptr;  // the thread's once started
    bool m_bReady = false;
    double m_TicksPerSecond = 1;
};
