#include "DemoPresentationLog.h"

void DemoPresentationLog::PatternSizeSet(uint32_t Width, uint32_t Height) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_pPattern = std::make_unique<SimFramePattern>(Width, Height);
    m_Width = Width;
    m_Height = Height;
}

void DemoPresentationLog::PresentBegin(uint64_t Frame) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_bPresenting = true;
    m_PresentingFrame = Frame;
}

void DemoPresentationLog::PresentEnd(uint64_t Frame, bool bTaken, int64_t PublishTicks) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    if (bTaken) {
        if (m_FramesPresented == 0)
            m_FirstFrame = Frame;
        m_PublishTicks[Frame % Window] = PublishTicks;
        m_NextFrame = Frame + 1;
        ++m_FramesPresented;
    }
    m_bPresenting = false;
    m_Ended.notify_all();
}

uint64_t DemoPresentationLog::FramesPresentedGet() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_FramesPresented;
}

bool DemoPresentationLog::PresentationTicksFind(const uint8_t* pPixels, uint32_t Width, uint32_t Height,
                                                uint32_t Pitch, int64_t* pTicks) {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    if (m_pPattern == nullptr || Width != m_Width || Height != m_Height)
        return false;
    // The frame being presented right now may already have been delivered.
    if (m_bPresenting && m_pPattern->FrameIsShown(m_PresentingFrame, pPixels, Pitch))
        m_Ended.wait(Lock, [&] { return !m_bPresenting; });
    if (m_FramesPresented == 0)
        return false;
    // Newest first: the first frame whose square the picture shows is the
    // one it pictures.
    const uint64_t Oldest = m_NextFrame - m_FirstFrame > Window ? m_NextFrame - Window : m_FirstFrame;
    for (uint64_t Frame = m_NextFrame; Frame-- > Oldest;) {
        if (m_pPattern->FrameIsShown(Frame, pPixels, Pitch)) {
            *pTicks = m_PublishTicks[Frame % Window];
            return *pTicks != 0;
        }
    }
    return false;
}
