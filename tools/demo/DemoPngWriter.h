// Writes a monitor's picture as an 8-bit RGB PNG (stb_image_write).
#pragma once

#include <string>

#include "DemoFrameImage.h"

class DemoPngWriter {
public:
    // False when the image holds no frame or the file could not be written.
    static bool Write(const DemoFrameImage& Image, const std::string& Path);
};
