// The host's own copy of one monitor's picture, 32-bit BGRA, rows packed.
// The monitor instance copies each update rectangle into it on the
// frame-buffer thread; the host reads it (the PNG) once the monitor stopped.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/win32.h"

class DemoFrameImage {
public:
    static constexpr uint32_t BytesPerPixel = 4;

    // Area clipped to a Width x Height frame; empty (all 0) when nothing of
    // it lies inside.
    static RECT RectClip(const RECT& Area, uint32_t Width, uint32_t Height);

    // Copies Area (clipped to the frame) of the frame at pFrame, Pitch bytes
    // per row, into the image. A frame of another size than the image's
    // starts a new, black image first. Returns the clipped area.
    RECT RectCopy(const uint8_t* pFrame, uint32_t Pitch, uint32_t Width, uint32_t Height, const RECT& Area);

    // Visitor(pPixels, Width, Height, Pitch) under the image's lock; pPixels
    // is null while no frame was received.
    template <typename Visitor>
    void PixelsVisit(Visitor&& Visit) const {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        Visit(m_Pixels.empty() ? nullptr : m_Pixels.data(), m_Width, m_Height, m_Width * BytesPerPixel);
    }

private:
    mutable std::mutex m_Mutex;
    std::vector<uint8_t> m_Pixels;
    uint32_t m_Width = 0;
    uint32_t m_Height = 0;
};
