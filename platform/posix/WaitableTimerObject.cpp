#include "WaitableTimerObject.h"

#include <mutex>

#include "KernelLock.h"
#include "WaitEngine.h"

WaitableTimerObject::WaitableTimerObject(bool bManualReset) : m_bManualReset(bManualReset) {}

void WaitableTimerObject::Arm(int64_t DueTime, int64_t Period) {
    std::lock_guard Lock(KernelLock::Mutex());
    m_bSignalled = false;
    m_bArmed = true;
    m_DueTime = DueTime;
    m_Period = Period;
    WaitEngine::Instance().ObjectDueTimeChanged(*this);
}

void WaitableTimerObject::Cancel() {
    std::lock_guard Lock(KernelLock::Mutex());
    m_bArmed = false;
    WaitEngine::Instance().ObjectDueTimeChanged(*this);
}

bool WaitableTimerObject::SignalledIs(int64_t Now) {
    PrivateRefresh(Now);
    return m_bSignalled;
}

void WaitableTimerObject::WaitSatisfy() {
    if (!m_bManualReset)
        m_bSignalled = false;
}

std::optional<int64_t> WaitableTimerObject::DueTimeGet() const {
    if (!m_bArmed)
        return std::nullopt;
    return m_DueTime;
}

void WaitableTimerObject::PrivateRefresh(int64_t Now) {
    if (!m_bArmed || Now < m_DueTime)
        return;
    m_bSignalled = true;
    if (m_Period == 0) {
        m_bArmed = false;
        return;
    }
    // Periods that passed unobserved fold into one signal.
    m_DueTime += m_Period * ((Now - m_DueTime) / m_Period + 1);
}
