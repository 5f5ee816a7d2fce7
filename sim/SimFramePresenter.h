// Presents frames of one monitor of the simulated indirect display driver
// from a thread of its own: at a chosen rate (frames per second on the
// machine clock, so a sped-up clock speeds it up too) or, with rate 0, as
// fast as the driver takes them. For the demo, the benchmarks and tests;
// single frames on demand are the driver's FramePresent.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "SimIddCxDriver.h"

class SimFramePresenter {
public:
    SimFramePresenter(std::shared_ptr<SimIddCxDriver> pDriver, uint32_t MonitorIndex, double FramesPerSecond);
    ~SimFramePresenter();
    SimFramePresenter(const SimFramePresenter&) = delete;
    SimFramePresenter& operator=(const SimFramePresenter&) = delete;

    // False when already running.
    bool Start();
    // Returns once the thread has presented its last frame.
    void Stop();

    // Frames the driver took (presentations without a swap chain do not count).
    uint64_t FramesPresentedGet() const { return m_FramesPresented.load(); }
    // Waits until Count frames were presented, or RealMilliseconds passed.
    bool FramesPresentedAwait(uint64_t Count, uint32_t RealMilliseconds);

private:
    void PrivateRun();
    // Waits on the stop event until the machine's performance counter
    // reaches DueTicks; false when asked to stop.
    bool PrivateDueAwait(int64_t DueTicks);

    const std::shared_ptr<SimIddCxDriver> m_pDriver;
    const uint32_t m_MonitorIndex;
    const double m_FramesPerSecond;
    HANDLE m_hStop;
    std::thread m_Thread;
    std::atomic<uint64_t> m_FramesPresented{0};
    std::mutex m_Mutex;
    std::condition_variable m_Presented;
};
