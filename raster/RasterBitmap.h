#pragma once

#include "raster/RasterPixel.h"

class DeviceContext;

// The abstract 32-bit bitmap every raster operation works on. Row r starts at
// Pixels() + r * Stride(), or at Pixels() + (Height() - 1 - r) * Stride() when
// IsBottomUp(). Callers re-read all five properties for every operation, since
// SetSize may move the pixels. A bitmap is used by one thread at a time
// (normally the UI thread); nothing here is real-time safe.
class RasterBitmap {
public:
    virtual ~RasterBitmap();

    // First pixel of memory, null when the bitmap has none.
    virtual RasterPixel* Pixels() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Pixels from one row to the next, never less than Width().
    virtual int Stride() const = 0;
    virtual bool IsBottomUp() const;
    // Returns true when the size changed. Pixel contents are undefined afterwards.
    virtual bool SetSize(int width, int height) = 0;
    // The drawing context text code draws through, or null.
    virtual ::DeviceContext* DeviceContext();
    // Reserved; always 0.
    virtual void* QueryExtension(int id, void* argument);

    RasterBitmap() = default;
    RasterBitmap(const RasterBitmap&) = delete;
    RasterBitmap& operator=(const RasterBitmap&) = delete;
};
