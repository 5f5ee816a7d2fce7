#include "MachineClock.h"

#include <cmath>

MachineClock& MachineClock::Instance() {
    static MachineClock* s_pClock = new MachineClock;  // used until process exit
    return *s_pClock;
}

MachineClock::MachineClock() : m_RealBase(std::chrono::steady_clock::now()) {
    m_MachineBase = std::chrono::duration_cast<std::chrono::nanoseconds>(m_RealBase.time_since_epoch()).count() / 100;
}

int64_t MachineClock::PrivateNowLocked(RealTimePoint RealNow) const {
    const double RealNanoseconds = static_cast<double>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(RealNow - m_RealBase).count());
    return m_MachineBase + static_cast<int64_t>(RealNanoseconds * m_Scale / 100.0);
}

int64_t MachineClock::Now() const {
    const RealTimePoint RealNow = std::chrono::steady_clock::now();
    std::lock_guard Lock(m_Mutex);
    return PrivateNowLocked(RealNow);
}

MachineClock::RealTimePoint MachineClock::RealTimeAt(int64_t MachineTime) const {
    std::lock_guard Lock(m_Mutex);
    if (MachineTime <= m_MachineBase)
        return m_RealBase;
    const double RealNanoseconds = std::ceil(static_cast<double>(MachineTime - m_MachineBase) * 100.0 / m_Scale);
    // Far-away instants are capped (a year of real time): the waiter simply
    // wakes then and waits again.
    constexpr double kCapNanoseconds = 365.0 * 24 * 3600 * 1e9;
    const double Capped = RealNanoseconds < kCapNanoseconds ? RealNanoseconds : kCapNanoseconds;
    return m_RealBase + std::chrono::nanoseconds(static_cast<int64_t>(Capped));
}

bool MachineClock::ScaleSet(double Factor) {
    if (!(Factor > 0.0) || !std::isfinite(Factor))
        return false;
    const RealTimePoint RealNow = std::chrono::steady_clock::now();
    std::lock_guard Lock(m_Mutex);
    m_MachineBase = PrivateNowLocked(RealNow);
    m_RealBase = RealNow;
    m_Scale = Factor;
    return true;
}

double MachineClock::ScaleGet() const {
    std::lock_guard Lock(m_Mutex);
    return m_Scale;
}
