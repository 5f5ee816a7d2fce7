// One monitor of Width x Height on the simulated hook driver, mapped, with
// its frame-buffer thread and the benchmark's monitor instance; logging off.
#pragma once

#include <memory>

#include "HookTimingInstance.h"
#include "driver/ALDeviceControlHook.h"
#include "hook/ALThreadFrameBufferHook.h"
#include "sim/SimHookDriver.h"

class HookPipeline {
public:
    HookPipeline(UINT32 Width, UINT32 Height);
    ~HookPipeline();
    HookPipeline(const HookPipeline&) = delete;
    HookPipeline& operator=(const HookPipeline&) = delete;

    bool IsStarted() const { return m_bStarted; }
    SimHookDriver& Driver() { return *m_pDriver; }
    HookTimingInstance& Instance() { return *m_pInstance; }

private:
    std::shared_ptr<SimHookDriver> m_pDriver;
    ALDeviceControlHook m_Device;
    HookTimingInstance* m_pInstance = nullptr;  // the thread's once started
    std::unique_ptr<ALThreadFrameBufferHook> m_pThread;
    bool m_bStarted = false;
};
