#include "FramePump.h"

FramePump::FramePump(std::function<bool()> Present, std::shared_ptr<MonitorTally> pTally)
    : m_Present(std::move(Present)), m_pTally(std::move(pTally)), m_Thread([this] { PrivateRun(); }) {}

FramePump::~FramePump() { Stop(); }

void FramePump::Stop() {
    m_bStop = true;
    if (m_Thread.joinable())
        m_Thread.join();
}

void FramePump::PrivateRun() {
    while (!m_bStop && !m_pTally->IsDeleted()) {
        const uint64_t Before = m_pTally->CountOf(MonitorTally::Kind::FrameBufferUpdate);
        const bool bDelivered =
            m_Present() && m_pTally->WaitForCountUnlessDeleted(MonitorTally::Kind::FrameBufferUpdate, Before + 1);
        if (m_pTally->IsDeleted())
            return;  // unplugged meanwhile: the frame had nowhere to go
        if (!bDelivered) {
            ++m_Failures;
            return;
        }
        ++m_Delivered;
    }
}
