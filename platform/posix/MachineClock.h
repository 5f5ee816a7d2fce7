// The simulated machine's clock. Every timeout, Sleep, timer due time, tick
// count and performance counter of the platform reads it. Tests may run it
// faster than real time (MachineClockScaleSet) so that waits of seconds pass in
// milliseconds; at the default scale 1 it runs at the speed of the system's
// monotonic clock.
//
// Machine time counts 100 ns units (the unit of waitable timer due times and
// of the performance counter); it starts near the system's uptime and never
// goes backwards, also when the scale changes.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

class MachineClock {
public:
    using RealTimePoint = std::chrono::steady_clock::time_point;

    static constexpr int64_t kTicksPerMillisecond = 10000;
    static constexpr int64_t kTicksPerSecond = 10000000;

    static MachineClock& Instance();

    int64_t Now() const;
    // The real instant at which machine time reaches MachineTime (rounded up,
    // so that a wait that ends then never ends early in machine time).
    RealTimePoint RealTimeAt(int64_t MachineTime) const;

    // Factor > 0 (and finite); others are ignored. Returns whether it changed
    // the scale. Waiters must be told (WaitEngine::ClockChanged).
    bool ScaleSet(double Factor);
    double ScaleGet() const;

private:
    MachineClock();
    int64_t PrivateNowLocked(RealTimePoint RealNow) const;

    mutable std::mutex m_Mutex;
    RealTimePoint m_RealBase;
    int64_t m_MachineBase;
    double m_Scale = 1.0;
};
