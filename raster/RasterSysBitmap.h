#pragma once

#include "raster/RasterBitmap.h"

#include <memory>

// A bitmap whose pixels a cairo image surface wraps, so the system's text
// drawing can paint into it through its own device context (the editor's back
// buffer and the text code's scratch surfaces). Keeps its pixel memory whenever
// a new size fits inside it, so Stride() stays the allocated width.
// UI thread only (the device context is not shared between threads).
class RasterSysBitmap : public RasterBitmap {
public:
    explicit RasterSysBitmap(int width = 0, int height = 0);
    ~RasterSysBitmap() override;

    RasterPixel* Pixels() const override { return pixels; }
    int Width() const override { return width; }
    int Height() const override { return height; }
    int Stride() const override { return allocatedWidth; }
    // True when the size changed and the bitmap is usable at it; a zero
    // dimension releases the pixels and returns false; a failed allocation
    // leaves 0x0 without pixels and returns true.
    bool SetSize(int width, int height) override;
    ::DeviceContext* DeviceContext() override { return deviceContext.get(); }

private:
    struct AlignedDelete {
        void operator()(RasterPixel* p) const;
    };

    void ReleasePixels();

    int width = 0;
    int height = 0;
    std::unique_ptr<::DeviceContext> deviceContext;
    RasterPixel* pixels = nullptr;
    int allocatedWidth = 0;  // multiple of 4, the stride
    int allocatedHeight = 0;
    std::unique_ptr<RasterPixel, AlignedDelete> pixelMemory; // wrapped by the context's surface
};
