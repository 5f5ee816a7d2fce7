// Real pixel content for a simulated monitor: a fixed gradient with a square
// that moves on every frame. Each step redraws only what changed and reports
// that rectangle, so the dirty rectangles are true. Pixels are 32-bit BGRA.
#pragma once

#include <cstdint>

#include "platform/win32.h"

class SimFramePattern {
public:
    SimFramePattern(uint32_t Width, uint32_t Height);

    // Draws the next frame into pPixels, which must hold the previous frame
    // of this pattern (the first step draws everything). Returns the
    // rectangle that changed.
    RECT Step(uint8_t* pPixels, uint32_t Pitch);
    uint64_t FrameCountGet() const { return m_FrameCount; }
    // Where the square of the last drawn frame lies (empty before the first).
    RECT SquareGet() const { return m_Square; }

    // The pixel value of the pattern at (X, Y) of the last drawn frame.
    uint32_t PixelGet(uint32_t X, uint32_t Y) const;
    static uint32_t BackgroundPixel(uint32_t X, uint32_t Y, uint32_t Width, uint32_t Height);
    // Whether a picture of this pattern's size shows frame Frame: its square's
    // corners and centre hold that frame's colour. Square colours repeat
    // every 256 frames, so a caller that searches recent frames newest first
    // finds the one shown. Needs no drawn frame (a host-side copy of the
    // pattern identifies what the driver's copy presented).
    bool FrameIsShown(uint64_t Frame, const uint8_t* pPixels, uint32_t Pitch) const;

private:
    RECT PrivateSquareAt(uint64_t Frame) const;
    uint32_t PrivateSquarePixel(uint64_t Frame) const;
    void PrivateFill(uint8_t* pPixels, uint32_t Pitch, const RECT& Area, uint64_t Frame) const;

    const uint32_t m_Width;
    const uint32_t m_Height;
    const uint32_t m_SquareSize;
    uint64_t m_FrameCount = 0;
    RECT m_Square{0, 0, 0, 0};
};
