#pragma once

#include "raster/RasterBitmap.h"

#include <cstddef>

// A bitmap's memory as one operation sees it, read once through the virtual
// properties, and where its image rows lie: row r at pixels + r * stride, or
// counted from the last memory row when the bitmap is bottom-up. Any thread;
// plain reads, real-time safe.
struct BitmapLayout {
    RasterPixel* pixels = nullptr;
    int width = 0;  // pixels
    int height = 0; // pixels
    int stride = 0; // pixels from one memory row to the next
    bool bottomUp = false;

    static BitmapLayout Of(const RasterBitmap& bitmap)
    {
        return BitmapLayout{bitmap.Pixels(), bitmap.Width(), bitmap.Height(), bitmap.Stride(), bitmap.IsBottomUp()};
    }

    // Pixels to draw on: memory, a size, and rows no narrower than the width.
    bool HasPixels() const { return pixels != nullptr && width > 0 && height > 0 && stride >= width; }

    // The memory row of image row r (which must lie inside the bitmap).
    RasterPixel* Row(int r) const
    {
        return pixels + (bottomUp ? ptrdiff_t(height - 1 - r) : ptrdiff_t(r)) * ptrdiff_t(stride);
    }

    // The step, in pixels, from image row r to image row r + 1.
    ptrdiff_t Step() const { return bottomUp ? -ptrdiff_t(stride) : ptrdiff_t(stride); }
};
