#include "raster/RasterMemBitmap.h"

#include <climits>
#include <cstdint>

RasterMemBitmap::RasterMemBitmap(int w, int h)
{
    if (w != 0 || h != 0) {
        SetSize(w, h);
    }
}

RasterMemBitmap::~RasterMemBitmap() = default;

RasterPixel* RasterMemBitmap::Pixels() const
{
    if (!block) {
        return nullptr;
    }
    auto address = reinterpret_cast<uintptr_t>(block.get());
    return reinterpret_cast<RasterPixel*>((address + 63) & ~uintptr_t(63));
}

bool RasterMemBitmap::SetSize(int w, int h)
{
    if (w == width && h == height) {
        return false;
    }
    width = w;
    height = h;
    // Negative sizes and sizes whose byte count does not fit an int are empty:
    // a wrapped count would hand out a block smaller than the rows.
    int64_t wide = w < 0 || h < 0 ? 0 : ((int64_t(w) + rowAlignMask) & ~int64_t(rowAlignMask)) * h * 4;
    bool tooLarge = wide > INT_MAX - 63;
    int bytes = tooLarge ? 0 : int(wide);
    if (bytes > 0) {
        if (!block) {
            capacity = bytes;
            block.reset(static_cast<unsigned char*>(std::malloc(size_t(bytes) + 63)));
        } else if (capacity < bytes) {
            int64_t grown = int64_t(bytes) + bytes / 4;
            if (grown > INT_MAX - 63) {
                grown = bytes;
            }
            capacity = int(grown);
            void* moved = std::realloc(block.get(), size_t(capacity) + 63);
            if (moved != nullptr) {
                (void)block.release();
                block.reset(static_cast<unsigned char*>(moved));
            } else {
                block.reset();
                capacity = bytes;
                block.reset(static_cast<unsigned char*>(std::malloc(size_t(bytes) + 63)));
            }
        }
    } else {
        block.reset();
        capacity = 0;
    }
    if (!block) {
        capacity = 0;
        width = 0;
        height = 0;
    }
    return true;
}
