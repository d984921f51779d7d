#include "raster/CompositeGlyphMask.h"

#include "raster/BitmapLayout.h"
#include "raster/BlendFormulas.h"
#include "raster/BlendMode.h"
#include "raster/BlitRows.h"
#include "raster/RasterBitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

template <int op>
inline RasterPixel Composite(RasterPixel d, RasterPixel s, int k)
{
    int sb = ChannelOf(s, 0), sg = ChannelOf(s, 1), sr = ChannelOf(s, 2);
    int db = ChannelOf(d, 0), dg = ChannelOf(d, 1), dr = ChannelOf(d, 2), da = ChannelOf(d, 3);
    switch (op) {
    case BlendModeCopy:
        if (k == 256) {
            return (s & 0x00FFFFFFu) | 0xFF000000u;
        }
        return PackChannels(MixToward(sb, db, k), MixToward(sg, dg, k), MixToward(sr, dr, k), MixToward(255, da, k));
    case BlendModeAdd:
        return PackChannels(AddScaled(sb, db, k), AddScaled(sg, dg, k), AddScaled(sr, dr, k), AddScaled(255, da, k));
    case BlendModeDodge:
        return PackChannels(DodgeDivide(sb, db, k), DodgeDivide(sg, dg, k), DodgeDivide(sr, dr, k),
                            DodgeDivide(255, da, k));
    case BlendModeMultiply:
        return PackChannels(MultiplyScaled(sb, db, k), MultiplyScaled(sg, dg, k), MultiplyScaled(sr, dr, k),
                            MultiplyScaled(255, da, k));
    case BlendModeOverlay:
        return PackChannels(OverlayQuadratic(sb, db, k), OverlayQuadratic(sg, dg, k), OverlayQuadratic(sr, dr, k),
                            OverlayQuadratic(255, da, k));
    default:
        return HsvAdjust(d, sr, sg, sb, k, 255);
    }
}

// The mask loop of one blend operation, so the choice is made once per glyph.
// kind: 0 anti-aliased, 1 monochrome, 2 shadow or outline. fast: alpha
// exactly 1.0 in copy mode (monochrome and marked masks store the colours).
using MaskLoop = void (*)(RasterBitmap& bitmap, int x, int y, int w, int h, const uint8_t* mask, int stride,
                          int kind, bool fast, int A, RasterPixel text, RasterPixel outline);

template <int op>
void CompositeMask(RasterBitmap& bitmap, int x, int y, int w, int h, const uint8_t* mask, int stride, int kind,
                   bool fast, int A, RasterPixel text, RasterPixel outline)
{
    int flat = std::min(A, 256);
    // Row addresses once per glyph: the bitmap's properties are virtual calls.
    const BitmapLayout layout = BitmapLayout::Of(bitmap);
    RasterPixel* first = layout.Row(y) + x;
    const ptrdiff_t step = layout.Step();
    if (op == BlendModeCopy && kind == 0 && A == 256) {
        // Plain text at full alpha, the editor's every label: vector rows.
        CoverageCopyRows(first, step, text, mask, stride, w, h);
        return;
    }
    for (int row = 0; row < h; ++row) {
        RasterPixel* d = first + row * step;
        const uint8_t* m = mask + ptrdiff_t(row) * stride;
        for (int col = 0; col < w; ++col) {
            // Most of a glyph cell is empty: step over eight empty bytes at once.
            uint64_t eight;
            while (col + 8 <= w && (std::memcpy(&eight, m + col, 8), eight == 0)) {
                col += 8;
            }
            if (col >= w) {
                break;
            }
            int v = m[col];
            if (v == 0) {
                continue;
            }
            if (kind == 2) {
                RasterPixel colour = v == 255 ? text : outline;
                d[col] = fast ? colour : Composite<op>(d[col], colour, flat);
            } else if (kind == 1) {
                d[col] = fast ? text : Composite<op>(d[col], text, flat);
            } else {
                int k = A == 256 ? v + 1 : std::min(A * v / 256, 256);
                d[col] = Composite<op>(d[col], text, k);
            }
        }
    }
}

// By the low byte of the blend mode word.
const MaskLoop maskLoops[6] = {CompositeMask<BlendModeCopy>,     CompositeMask<BlendModeAdd>,
                               CompositeMask<BlendModeDodge>,    CompositeMask<BlendModeMultiply>,
                               CompositeMask<BlendModeOverlay>,  CompositeMask<BlendModeHsvAdjust>};

} // namespace

void CompositeGlyphMask(int op, RasterBitmap& bitmap, int x, int y, int w, int h, const uint8_t* mask, int stride,
                        int kind, bool fast, int A, RasterPixel text, RasterPixel outline)
{
    if (op >= 0 && op <= BlendModeHsvAdjust) {
        maskLoops[op](bitmap, x, y, w, h, mask, stride, kind, fast, A, text, outline);
    }
}
