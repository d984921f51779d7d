#pragma once

#include <cstdint>

class RasterBitmap;

// An image cut into frameCount equal frames; the image is shared, never owned.
// Sizes are editor pixels. A strip loaded by the editor names its resource:
// the editor then draws the resource's image at its current scale, and image
// is the one it was loaded with, valid only while that scale is shown.
struct IBitmapStrip {
    RasterBitmap* image = nullptr;
    int32_t width = 0;  // whole image
    int32_t height = 0; // whole image
    int32_t frameCount = 1;
    bool framesHorizontal = false;
    int32_t resourceId = -1; // -1: image itself, at scale 1
};
