#pragma once

#include <cstdint>

class RasterBitmap;

// An image cut into frameCount equal frames; the image is shared, never owned.
struct IBitmapStrip {
    RasterBitmap* image = nullptr;
    int32_t width = 0;  // whole image
    int32_t height = 0; // whole image
    int32_t frameCount = 1;
    bool framesHorizontal = false;
};
