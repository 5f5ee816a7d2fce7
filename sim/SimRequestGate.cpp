#include "SimRequestGate.h"

#include <chrono>

bool SimRequestGate::WaitUntilHeld(DWORD dwMilliseconds) {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    return m_Changed.wait_for(Lock, std::chrono::milliseconds(dwMilliseconds), [this] { return m_bHeld; });
}

bool SimRequestGate::IsHeld() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_bHeld && !m_bReleased;
}

void SimRequestGate::Release() {
    {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        m_bReleased = true;
    }
    m_Changed.notify_all();
}

void SimRequestGate::Hold() {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    m_bHeld = true;
    m_Changed.notify_all();
    m_Changed.wait(Lock, [this] { return m_bReleased; });
}
