#include "DemoFrameImage.h"

#include <algorithm>
#include <cstring>

RECT DemoFrameImage::RectClip(const RECT& Area, uint32_t Width, uint32_t Height) {
    const LONG Right = static_cast<LONG>(std::min<uint32_t>(Width, 0x7FFFFFFF));
    const LONG Bottom = static_cast<LONG>(std::min<uint32_t>(Height, 0x7FFFFFFF));
    RECT Clipped{std::max<LONG>(Area.left, 0), std::max<LONG>(Area.top, 0), std::min(Area.right, Right),
                 std::min(Area.bottom, Bottom)};
    if (Clipped.left >= Clipped.right || Clipped.top >= Clipped.bottom)
        return RECT{0, 0, 0, 0};
    return Clipped;
}

RECT DemoFrameImage::RectCopy(const uint8_t* pFrame, uint32_t Pitch, uint32_t Width, uint32_t Height,
                              const RECT& Area) {
    const RECT Clipped = RectClip(Area, Width, Height);
    std::lock_guard<std::mutex> Lock(m_Mutex);
    if (Width != m_Width || Height != m_Height) {
        m_Pixels.assign(static_cast<size_t>(Width) * Height * BytesPerPixel, 0);
        m_Width = Width;
        m_Height = Height;
    }
    const size_t RowBytes = static_cast<size_t>(Clipped.right - Clipped.left) * BytesPerPixel;
    const size_t ImagePitch = static_cast<size_t>(m_Width) * BytesPerPixel;
    for (LONG Y = Clipped.top; Y < Clipped.bottom; ++Y) {
        const size_t Column = static_cast<size_t>(Clipped.left) * BytesPerPixel;
        std::memcpy(m_Pixels.data() + static_cast<size_t>(Y) * ImagePitch + Column,
                    pFrame + static_cast<size_t>(Y) * Pitch + Column, RowBytes);
    }
    return Clipped;
}
