#pragma once

#include "raster/RasterBitmap.h"

#include <cstdlib>
#include <memory>

// A bitmap in ordinary heap memory (decoded images). Pixels are 64-byte
// aligned, rows are padded to a multiple of 4 pixels, and the block grows
// with 25 % head room and never shrinks, so repeated resizing rarely
// reallocates. Any thread, one at a time; allocates in SetSize.
class RasterMemBitmap : public RasterBitmap {
public:
    // Empty when both sizes are 0; otherwise SetSize(width, height).
    explicit RasterMemBitmap(int width = 0, int height = 0);
    ~RasterMemBitmap() override;

    RasterPixel* Pixels() const override;
    int Width() const override { return width; }
    int Height() const override { return height; }
    int Stride() const override { return (width + rowAlignMask) & ~rowAlignMask; }
    // An allocation failure, an empty size or a size too large to address
    // leaves a 0x0 bitmap; the call still returns true when the size differed.
    bool SetSize(int width, int height) override;

    // Usable bytes of the block (the block is 63 bytes longer for alignment).
    int Capacity() const { return capacity; }

private:
    struct FreeBlock {
        void operator()(void* p) const { std::free(p); }
    };

    std::unique_ptr<unsigned char, FreeBlock> block;
    int width = 0;
    int height = 0;
    int capacity = 0;
    int rowAlignMask = 3;
};
