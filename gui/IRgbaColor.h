#pragma once

#include <cstdint>

// Colour channels 0..255, alpha first.
struct IRgbaColor {
    int32_t alpha = 255;
    int32_t red = 0;
    int32_t green = 0;
    int32_t blue = 0;

    // 0xAARRGGBB, the raster pixel value.
    uint32_t ToPixel() const
    {
        return (static_cast<uint32_t>(alpha & 0xFF) << 24) | (static_cast<uint32_t>(red & 0xFF) << 16) |
               (static_cast<uint32_t>(green & 0xFF) << 8) | static_cast<uint32_t>(blue & 0xFF);
    }
};
