// When each frame of one simulated monitor was presented, and which frame a
// picture shows. The presenter's thread notes each presentation; the
// monitor instance (on the frame-buffer thread) asks for the picture it
// holds. Frames are told apart by the simulated pattern: the moving square's
// place and colour, unique among the last 256 frames.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "DemoPresentationClock.h"
#include "sim/SimFramePattern.h"

class DemoPresentationLog : public DemoPresentationClock {
public:
    // The pattern's size, known once the driver has the monitor.
    void PatternSizeSet(uint32_t Width, uint32_t Height);
    // Around one presentation attempt of the pattern's frame number Frame.
    // The frame is noted before the driver makes it available, so that a
    // delivery overtaking PresentEnd waits for its time instead of missing
    // its frame.
    void PresentBegin(uint64_t Frame);
    // bTaken: the driver drew and took the frame; PublishTicks: when it was
    // made available, 0 when it was not announced.
    void PresentEnd(uint64_t Frame, bool bTaken, int64_t PublishTicks);
    uint64_t FramesPresentedGet() const;

    bool PresentationTicksFind(const uint8_t* pPixels, uint32_t Width, uint32_t Height, uint32_t Pitch,
                               int64_t* pTicks) override;

private:
    static constexpr uint64_t Window = 256;

    mutable std::mutex m_Mutex;
    std::condition_variable m_Ended;
    std::unique_ptr<SimFramePattern> m_pPattern;
    uint32_t m_Width = 0;
    uint32_t m_Height = 0;
    uint64_t m_FramesPresented = 0;
    uint64_t m_FirstFrame = 0;  // frames before it were drawn by someone else
    uint64_t m_NextFrame = 0;   // one past the newest presented
    bool m_bPresenting = false;
    uint64_t m_PresentingFrame = 0;
    std::array<int64_t, Window> m_PublishTicks{};
};
