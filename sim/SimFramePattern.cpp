#include "SimFramePattern.h"

#include <algorithm>
#include <cstring>

namespace {

bool Inside(const RECT& Area, LONG X, LONG Y) {
    return X >= Area.left && X < Area.right && Y >= Area.top && Y < Area.bottom;
}

RECT Union(const RECT& A, const RECT& B) {
    return RECT{std::min(A.left, B.left), std::min(A.top, B.top), std::max(A.right, B.right),
                std::max(A.bottom, B.bottom)};
}

}  // namespace

SimFramePattern::SimFramePattern(uint32_t Width, uint32_t Height)
    : m_Width(Width), m_Height(Height), m_SquareSize(std::max<uint32_t>(1, std::min(Width, Height) / 8)) {}

uint32_t SimFramePattern::BackgroundPixel(uint32_t X, uint32_t Y, uint32_t Width, uint32_t Height) {
    const uint32_t Blue = Width > 1 ? X * 255 / (Width - 1) : 0;
    const uint32_t Green = Height > 1 ? Y * 255 / (Height - 1) : 0;
    return 0xFF000000u | 0x40u << 16 | Green << 8 | Blue;
}

RECT SimFramePattern::PrivateSquareAt(uint64_t Frame) const {
    // Moves right by half its size per frame, one row of squares lower on
    // each pass across the frame.
    const uint64_t Step = std::max<uint32_t>(1, m_SquareSize / 2);
    const uint64_t Travel = m_Width > m_SquareSize ? m_Width - m_SquareSize + 1 : 1;
    const uint64_t Distance = Frame * Step;
    const uint64_t Rows = m_Height > m_SquareSize ? (m_Height - m_SquareSize) / m_SquareSize + 1 : 1;
    const LONG Left = static_cast<LONG>(Distance % Travel);
    const LONG Top = static_cast<LONG>((Distance / Travel) % Rows * m_SquareSize);
    return RECT{Left, Top, static_cast<LONG>(std::min<uint64_t>(m_Width, Left + m_SquareSize)),
                static_cast<LONG>(std::min<uint64_t>(m_Height, Top + m_SquareSize))};
}

uint32_t SimFramePattern::PrivateSquarePixel(uint64_t Frame) const {
    const uint32_t Red = static_cast<uint32_t>(Frame * 37 % 256);
    return 0xFF000000u | Red << 16 | 0xFFu << 8 | 0xFFu;
}

uint32_t SimFramePattern::PixelGet(uint32_t X, uint32_t Y) const {
    if (m_FrameCount > 0 && Inside(m_Square, static_cast<LONG>(X), static_cast<LONG>(Y)))
        return PrivateSquarePixel(m_FrameCount - 1);
    return BackgroundPixel(X, Y, m_Width, m_Height);
}

bool SimFramePattern::FrameIsShown(uint64_t Frame, const uint8_t* pPixels, uint32_t Pitch) const {
    const RECT Square = PrivateSquareAt(Frame);
    const uint32_t Expected = PrivateSquarePixel(Frame);
    const LONG Points[3][2] = {{Square.left, Square.top},
                               {(Square.left + Square.right) / 2, (Square.top + Square.bottom) / 2},
                               {Square.right - 1, Square.bottom - 1}};
    for (const auto& Point : Points) {
        uint32_t Pixel;
        std::memcpy(&Pixel, pPixels + static_cast<size_t>(Point[1]) * Pitch + static_cast<size_t>(Point[0]) * 4,
                    sizeof(Pixel));
        if (Pixel != Expected)
            return false;
    }
    return true;
}

void SimFramePattern::PrivateFill(uint8_t* pPixels, uint32_t Pitch, const RECT& Area, uint64_t Frame) const {
    const RECT Square = PrivateSquareAt(Frame);
    const uint32_t SquarePixel = PrivateSquarePixel(Frame);
    for (LONG Y = Area.top; Y < Area.bottom; ++Y) {
        auto* pRow = reinterpret_cast<uint32_t*>(pPixels + static_cast<size_t>(Y) * Pitch);
        for (LONG X = Area.left; X < Area.right; ++X)
            pRow[X] = Inside(Square, X, Y) ? SquarePixel
                                           : BackgroundPixel(static_cast<uint32_t>(X), static_cast<uint32_t>(Y),
                                                             m_Width, m_Height);
    }
}

RECT SimFramePattern::Step(uint8_t* pPixels, uint32_t Pitch) {
    const uint64_t Frame = m_FrameCount;
    const RECT Square = PrivateSquareAt(Frame);
    RECT Changed = m_FrameCount == 0 ? RECT{0, 0, static_cast<LONG>(m_Width), static_cast<LONG>(m_Height)}
                                     : Union(m_Square, Square);
    PrivateFill(pPixels, Pitch, Changed, Frame);
    m_Square = Square;
    ++m_FrameCount;
    return Changed;
}
