// Presents frames of one simulated monitor from a thread of its own: at a
// chosen rate (frames per second on the machine clock, so a sped-up clock
// speeds it up too) or, with rate 0, as fast as the driver takes them. For
// the demo, the benchmarks and tests; single frames on demand are the
// drivers' FramePresent.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "SimIddCxDriver.h"

class SimFramePresenter {
public:
    // One presentation step; false when the driver took no frame (no swap
    // chain, no monitor). Runs on the presenter's thread.
    using PresentStep = std::function<bool()>;

    // Frames of one monitor of the simulated indirect display driver.
    SimFramePresenter(std::shared_ptr<SimIddCxDriver> pDriver, uint32_t MonitorIndex, double FramesPerSecond);
    // Any driver: the step presents one frame (and may note what it did).
    SimFramePresenter(PresentStep Present, double FramesPerSecond);
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

    const PresentStep m_Present;
    const double m_FramesPerSecond;
    HANDLE m_hStop;
    std::thread m_Thread;
    std::atomic<uint64_t> m_FramesPresented{0};
    std::mutex m_Mutex;
    std::condition_variable m_Presented;
};
