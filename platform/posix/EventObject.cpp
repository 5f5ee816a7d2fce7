#include "EventObject.h"

#include <mutex>

#include "KernelLock.h"
#include "WaitEngine.h"

EventObject::EventObject(bool bManualReset, bool bInitialState)
    : m_bManualReset(bManualReset), m_bSignalled(bInitialState) {}

void EventObject::Set() {
    std::lock_guard Lock(KernelLock::Mutex());
    m_bSignalled = true;
    WaitEngine::Instance().ObjectSignalled(*this);
}

void EventObject::Reset() {
    std::lock_guard Lock(KernelLock::Mutex());
    m_bSignalled = false;
}

bool EventObject::SignalledIs(int64_t) { return m_bSignalled; }

void EventObject::WaitSatisfy() {
    if (!m_bManualReset)
        m_bSignalled = false;
}
