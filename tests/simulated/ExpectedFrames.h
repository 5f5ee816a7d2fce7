// The pictures the simulated indirect display driver draws, computed beside it.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "sim/SimFramePattern.h"

class ExpectedFrames {
public:
    ExpectedFrames(uint32_t Width, uint32_t Height)
        : m_Width(Width), m_Height(Height), m_Pattern(Width, Height), m_Pixels(size_t(Width) * Height * 4) {}
    // Draws the next frame; returns its changed rectangle.
    RECT Next() { return m_Pattern.Step(m_Pixels.data(), m_Width * 4); }
    uint32_t At(uint32_t X, uint32_t Y) const {
        uint32_t Value;
        std::memcpy(&Value, &m_Pixels[(size_t(Y) * m_Width + X) * 4], 4);
        return Value;
    }
    std::vector<uint8_t> Snapshot() const { return m_Pixels; }
    // The current frame as pixels, row by row.
    std::vector<uint32_t> Picture() const {
        std::vector<uint32_t> Result(size_t(m_Width) * m_Height);
        std::memcpy(Result.data(), m_Pixels.data(), m_Pixels.size());
        return Result;
    }
    static uint32_t At(const std::vector<uint8_t>& Pixels, uint32_t Width, uint32_t X, uint32_t Y) {
        uint32_t Value;
        std::memcpy(&Value, &Pixels[(size_t(Y) * Width + X) * 4], 4);
        return Value;
    }

private:
    uint32_t m_Width;
    uint32_t m_Height;
    SimFramePattern m_Pattern;
    std::vector<uint8_t> m_Pixels;
};
