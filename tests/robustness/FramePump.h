// Keeps frames flowing on one monitor from a thread of its own while the
// test does other things: presents a frame, waits until the instance has
// received an update after it, and presents the next one, until stopped or
// until the library deleted the instance (the monitor was unplugged, perhaps
// with a frame under way). No pacing by time: the library's delivery paces it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "MonitorTally.h"

class FramePump {
public:
    // Present makes the driver take one frame; false when it took none.
    FramePump(std::function<bool()> Present, std::shared_ptr<MonitorTally> pTally);
    ~FramePump();
    FramePump(const FramePump&) = delete;
    FramePump& operator=(const FramePump&) = delete;

    // Returns after the frame under way has arrived (or its instance went).
    void Stop();
    uint64_t FramesDeliveredGet() const { return m_Delivered.load(); }
    // Frames the driver refused or the instance never received while it lived.
    uint64_t FailuresGet() const { return m_Failures.load(); }

private:
    void PrivateRun();

    const std::function<bool()> m_Present;
    const std::shared_ptr<MonitorTally> m_pTally;
    std::atomic<bool> m_bStop{false};
    std::atomic<uint64_t> m_Delivered{0};
    std::atomic<uint64_t> m_Failures{0};
    std::thread m_Thread;
};
