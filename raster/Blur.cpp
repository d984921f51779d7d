#include "raster/Blur.h"

#include "raster/BitmapLayout.h"
#include "raster/TextScratch.h"
#include "raster/RasterSysBitmap.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>

namespace {

inline RasterPixel Half(RasterPixel x) { return (x >> 1) & 0x7F7F7F7Fu; }
inline RasterPixel Quarter(RasterPixel x) { return (x >> 2) & 0x3F3F3F3Fu; }
inline RasterPixel Eighth(RasterPixel x) { return (x >> 3) & 0x1F1F1F1Fu; }

// One row. centre/left come from the saved copy of this row; right is not yet
// changed; above is null for the top row (and the bottom row, whose single
// vertical neighbour is passed as below).
void BlurRow(RasterPixel* row, const RasterPixel* saved, const RasterPixel* above, const RasterPixel* below,
             int width)
{
    int last = width - 1;
    if (above == nullptr) {
        row[0] = Quarter(below[0]) + Quarter(saved[1]) + Half(saved[0]);
        for (int x = 1; x < last; ++x) {
            row[x] = Eighth(saved[x + 1]) + Quarter(below[x]) + Half(saved[x]) + Eighth(saved[x - 1]);
        }
        row[last] = Quarter(below[last]) + Half(saved[last]) + Quarter(saved[last - 1]);
        return;
    }
    row[0] = Eighth(above[0]) + Eighth(below[0]) + Quarter(saved[1]) + Half(saved[0]);
    for (int x = 1; x < last; ++x) {
        row[x] = Eighth(below[x]) + Eighth(above[x]) + Eighth(saved[x + 1]) + Half(saved[x]) +
                 Eighth(saved[x - 1]);
    }
    row[last] = Eighth(above[last]) + Eighth(below[last]) + Half(saved[last]) + Quarter(saved[last - 1]);
}

} // namespace

void BlurBitmapArea(RasterBitmap& bitmap, int width, int height)
{
    width = std::min(width, bitmap.Width());
    height = std::min(height, bitmap.Height());
    if (width < 2 || height < 2 || bitmap.Pixels() == nullptr || bitmap.Stride() < width) {
        return;
    }
    RasterPixel onStack[2 * 1024];
    std::unique_ptr<RasterPixel[]> onHeap;
    RasterPixel* lines = onStack;
    if (width > 1024) {
        onHeap.reset(new (std::nothrow) RasterPixel[size_t(width) * 2]);
        lines = onHeap.get();
    }
    const BitmapLayout layout = BitmapLayout::Of(bitmap);
    auto rowAt = [&](int r) { return layout.Row(r); };
    if (lines == nullptr) {
        // No room for saved rows: a three-pixel window keeps the current row's
        // old values, and the row above is read as it is now (already blurred).
        RasterPixel window[3];
        for (int r = 0; r < height; ++r) {
            RasterPixel* row = rowAt(r);
            const RasterPixel* above = r > 0 ? rowAt(r - 1) : nullptr;
            const RasterPixel* below = r + 1 < height ? rowAt(r + 1) : above;
            bool edge = r == 0 || r + 1 == height;
            window[1] = row[0];
            for (int x = 0; x < width; ++x) {
                window[0] = window[1];
                window[1] = row[x];
                window[2] = x + 1 < width ? row[x + 1] : 0;
                RasterPixel left = x > 0 ? window[0] : 0;
                if (x == 0) {
                    row[0] = edge ? Quarter(below[0]) + Quarter(window[2]) + Half(window[1])
                                  : Eighth(above[0]) + Eighth(below[0]) + Quarter(window[2]) + Half(window[1]);
                } else if (x + 1 == width) {
                    row[x] = edge ? Quarter(below[x]) + Half(window[1]) + Quarter(left)
                                  : Eighth(above[x]) + Eighth(below[x]) + Half(window[1]) + Quarter(left);
                } else {
                    row[x] = edge ? Eighth(window[2]) + Quarter(below[x]) + Half(window[1]) + Eighth(left)
                                  : Eighth(below[x]) + Eighth(above[x]) + Eighth(window[2]) + Half(window[1]) +
                                        Eighth(left);
                }
            }
        }
        return;
    }
    for (int r = 0; r < height; ++r) {
        RasterPixel* row = rowAt(r);
        RasterPixel* saved = lines + size_t(r % 2) * size_t(width);
        std::copy(row, row + width, saved);
        if (r == 0) {
            BlurRow(row, saved, nullptr, rowAt(1), width);
        } else if (r + 1 == height) {
            BlurRow(row, saved, nullptr, rowAt(r - 1), width);
        } else {
            BlurRow(row, saved, lines + size_t((r - 1) % 2) * size_t(width), rowAt(r + 1), width);
        }
    }
}

void BlurBitmap(int width, int height)
{
    std::lock_guard<std::recursive_mutex> hold(TextLock());
    BlurBitmapArea(GlyphScratchBitmap(), width, height);
}
