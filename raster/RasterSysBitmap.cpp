#include "raster/RasterSysBitmap.h"

#include "platform/DeviceContext.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <new>

namespace {
constexpr std::align_val_t pixelAlignment{64};
// Cairo cannot make image surfaces beyond 32767 pixels in either direction.
constexpr int maxSide = 32767;
} // namespace

void RasterSysBitmap::AlignedDelete::operator()(RasterPixel* p) const
{
    ::operator delete[](p, pixelAlignment);
}

RasterSysBitmap::RasterSysBitmap(int w, int h)
    : deviceContext(new (std::nothrow)::DeviceContext())
{
    SetSize(w, h);
}

RasterSysBitmap::~RasterSysBitmap()
{
    // The surface must let go of the pixels before they are freed.
    ReleasePixels();
}

void RasterSysBitmap::ReleasePixels()
{
    if (deviceContext) {
        deviceContext->Detach();
    }
    pixelMemory.reset();
    pixels = nullptr;
}

bool RasterSysBitmap::SetSize(int w, int h)
{
    if (!deviceContext) {
        width = 0;
        height = 0;
        pixels = nullptr;
        return false;
    }
    if (w == width && h == height) {
        return false;
    }
    width = w;
    height = h;
    if (w != 0 && h != 0 && w <= allocatedWidth && h <= allocatedHeight && pixels != nullptr) {
        return true;
    }
    allocatedWidth = w > INT_MAX - 3 ? INT_MAX : (w + 3) & ~3;
    allocatedHeight = h;
    ReleasePixels();
    if (allocatedWidth == 0 || h == 0) {
        return false;
    }
    // Negative or oversized requests fail like any allocation would.
    if (w > 0 && h > 0 && allocatedWidth <= maxSide && h <= maxSide) {
        size_t count = size_t(allocatedWidth) * size_t(h);
        auto* memory = static_cast<RasterPixel*>(
            ::operator new[](count * sizeof(RasterPixel), pixelAlignment, std::nothrow));
        if (memory != nullptr) {
            pixelMemory.reset(memory);
            std::fill(memory, memory + count, RasterPixel(0)); // fresh sections start black
            if (deviceContext->Attach(memory, allocatedWidth, h, allocatedWidth)) {
                pixels = memory;
                return true;
            }
            pixelMemory.reset();
        }
    }
    width = 0;
    height = 0;
    pixels = nullptr;
    return true;
}
