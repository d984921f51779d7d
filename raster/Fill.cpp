#include "raster/Fill.h"

#include "raster/BitmapLayout.h"
#include "raster/BlendFormulas.h"
#include "raster/RasterBitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

template <int (*Formula)(int, int, int)>
void FillChannels(RasterPixel* row, int count, int cb, int cg, int cr, int ca, int k)
{
    for (int i = 0; i < count; ++i) {
        RasterPixel d = row[i];
        row[i] = PackChannels(Formula(cb, ChannelOf(d, 0), k), Formula(cg, ChannelOf(d, 1), k),
                              Formula(cr, ChannelOf(d, 2), k), Formula(ca, ChannelOf(d, 3), k));
    }
}

} // namespace

void FillRectangle(RasterBitmap* dest, int x, int y, int width, int height, RasterPixel colour, float alpha,
                   int mode)
{
    if (dest == nullptr) {
        return;
    }
    if ((mode & BlendUseSourceAlpha) != 0) {
        alpha = alpha * (float(colour >> 24) / 255.0f);
    }
    int64_t left = x, top = y, w64 = width, h64 = height;
    if (left < 0) {
        w64 += left;
        left = 0;
    }
    if (top < 0) {
        h64 += top;
        top = 0;
    }
    if (left + w64 > dest->Width()) {
        w64 = dest->Width() - left;
    }
    if (top + h64 > dest->Height()) {
        h64 = dest->Height() - top;
    }
    if (alpha == 0.0f || dest->Pixels() == nullptr || w64 < 1 || h64 < 1 || dest->Stride() < 1) {
        return;
    }
    int count = int(w64), rows = int(h64);
    const BitmapLayout layout = BitmapLayout::Of(*dest);
    const ptrdiff_t step = layout.Step();
    RasterPixel* row = layout.Row(int(top)) + left;
    int k = WeightFromAlpha(alpha);
    // A weight of 0 (alpha below 1/256) draws nothing in any mode; HSV adjust
    // would otherwise rewrite every pixel.
    if (k == 0) {
        return;
    }
    int op = mode & 0xFF;
    int cb = ChannelOf(colour, 0), cg = ChannelOf(colour, 1), cr = ChannelOf(colour, 2);
    // The weight itself is the source value of the alpha channel.
    int ca = k;

    if (op == BlendModeCopy) {
        if (k < 0) {
            return;
        }
        const RasterPixel half = (colour >> 1) & 0x7F7F7F7Fu;
        const RasterPixel quarter = (colour >> 2) & 0x3F3F3F3Fu;
        for (int r = 0; r < rows; ++r, row += step) {
            RasterPixel* p = row;
            switch (k) {
            case 256:
                std::fill(p, p + count, colour);
                break;
            case 128:
                for (int i = 0; i < count; ++i) {
                    p[i] = half + ((p[i] >> 1) & 0x7F7F7F7Fu);
                }
                break;
            case 64:
                for (int i = 0; i < count; ++i) {
                    p[i] = ((p[i] >> 1) & 0x7F7F7F7Fu) + quarter + ((p[i] >> 2) & 0x3F3F3F3Fu);
                }
                break;
            case 192:
                for (int i = 0; i < count; ++i) {
                    p[i] = quarter + ((p[i] >> 2) & 0x3F3F3F3Fu) + half;
                }
                break;
            default:
                FillChannels<MixToward>(p, count, cb, cg, cr, ca, k);
                break;
            }
        }
        return;
    }
    if (op > BlendModeHsvAdjust) {
        return;
    }
    for (int r = 0; r < rows; ++r, row += step) {
        switch (op) {
        case BlendModeAdd: FillChannels<AddScaled>(row, count, cb, cg, cr, ca, k); break;
        case BlendModeDodge: FillChannels<DodgeDivide>(row, count, cb, cg, cr, ca, k); break;
        case BlendModeMultiply: FillChannels<MultiplyScaled>(row, count, cb, cg, cr, ca, k); break;
        case BlendModeOverlay: FillChannels<OverlayQuadratic>(row, count, cb, cg, cr, ca, k); break;
        default:
            for (int i = 0; i < count; ++i) {
                row[i] = HsvAdjust(row[i], cr, cg, cb, k, k);
            }
            break;
        }
    }
}

void ClearBitmap(RasterBitmap* bitmap)
{
    if (bitmap == nullptr) {
        return;
    }
    const BitmapLayout layout = BitmapLayout::Of(*bitmap);
    if (layout.pixels == nullptr || layout.width <= 0 || layout.height <= 0 || layout.stride <= 0) {
        return;
    }
    const ptrdiff_t step = layout.Step();
    RasterPixel* row = layout.Row(0);
    for (int r = 0; r < layout.height; ++r, row += step) {
        std::fill(row, row + layout.width, RasterPixel(0));
    }
}
