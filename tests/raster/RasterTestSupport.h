#pragma once

#include "raster/Blit.h"
#include "raster/RasterBitmap.h"

#include <cstdint>
#include <random>
#include <vector>

// A bitmap with a chosen stride and row order, so the raster operations can be
// checked on bottom-up memory and padded rows as well.
class TestBitmap : public RasterBitmap {
public:
    TestBitmap(int w, int h, int stride, bool bottomUp)
        : memory(size_t(stride) * size_t(h)), w(w), h(h), stride(stride), bottomUp(bottomUp)
    {
    }
    TestBitmap(const TestBitmap& o) : TestBitmap(o.w, o.h, o.stride, o.bottomUp) { memory = o.memory; }
    RasterPixel* Pixels() const override { return memory.empty() ? nullptr : const_cast<RasterPixel*>(memory.data()); }
    int Width() const override { return w; }
    int Height() const override { return h; }
    int Stride() const override { return stride; }
    bool IsBottomUp() const override { return bottomUp; }
    bool SetSize(int, int) override { return false; }

    // Image pixel (x, y), found independently of the code under test.
    RasterPixel& At(int x, int y) { return memory[size_t(bottomUp ? h - 1 - y : y) * size_t(stride) + size_t(x)]; }

    std::vector<RasterPixel> memory;
    int w, h, stride;
    bool bottomUp;
};

// Random pixels whose alpha is often exactly 0 or 255, as in real artwork.
inline void FillRandom(TestBitmap& b, std::mt19937& rng)
{
    for (RasterPixel& p : b.memory) {
        RasterPixel v = RasterPixel(rng());
        switch (rng() % 4) {
        case 0: v &= 0x00FFFFFFu; break;
        case 1: v |= 0xFF000000u; break;
        default: break;
        }
        p = v;
    }
}

// One source pixel blitted onto one destination pixel; returns the result.
inline RasterPixel BlitOne(RasterPixel s, RasterPixel d, float alpha, int mode)
{
    TestBitmap src(1, 1, 1, false), dest(1, 1, 1, false);
    src.At(0, 0) = s;
    dest.At(0, 0) = d;
    BlitBitmap(&dest, &src, 0, 0, nullptr, alpha, mode);
    return dest.At(0, 0);
}
