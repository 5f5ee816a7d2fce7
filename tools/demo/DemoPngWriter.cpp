#include "DemoPngWriter.h"

#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"

bool DemoPngWriter::Write(const DemoFrameImage& Image, const std::string& Path) {
    bool bWritten = false;
    Image.PixelsVisit([&](const uint8_t* pPixels, uint32_t Width, uint32_t Height, uint32_t Pitch) {
        if (pPixels == nullptr || Width == 0 || Height == 0)
            return;
        // BGRA (alpha unused by the display) to RGB.
        std::vector<uint8_t> Rgb(static_cast<size_t>(Width) * Height * 3);
        for (uint32_t Y = 0; Y < Height; ++Y) {
            const uint8_t* pSource = pPixels + static_cast<size_t>(Y) * Pitch;
            uint8_t* pTarget = Rgb.data() + static_cast<size_t>(Y) * Width * 3;
            for (uint32_t X = 0; X < Width; ++X, pSource += 4, pTarget += 3) {
                pTarget[0] = pSource[2];
                pTarget[1] = pSource[1];
                pTarget[2] = pSource[0];
            }
        }
        bWritten = stbi_write_png(Path.c_str(), static_cast<int>(Width), static_cast<int>(Height), 3, Rgb.data(),
                                  static_cast<int>(Width * 3)) != 0;
    });
    return bWritten;
}
