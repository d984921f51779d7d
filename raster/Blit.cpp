#include "raster/Blit.h"

#include "raster/BitmapLayout.h"
#include "raster/BlendFormulas.h"
#include "raster/BlitRows.h"
#include "raster/RasterBitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Every blend operator has this row signature: count pixels of src composited
// onto dst with the integer weight k.
using BlendRow = void (*)(RasterPixel* dst, const RasterPixel* src, int count, int k);

// all four channels: d' = s + (d - s) * (256 - k) / 256
void CopyRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    if (k <= 0) {
        return;
    }
    if (k == 256) {
        std::memmove(dst, src, size_t(count) * sizeof(RasterPixel));
        return;
    }
    for (int i = 0; i < count; ++i) {
        RasterPixel s = src[i], d = dst[i];
        dst[i] = PackChannels(MixToward(ChannelOf(s, 0), ChannelOf(d, 0), k),
                              MixToward(ChannelOf(s, 1), ChannelOf(d, 1), k),
                              MixToward(ChannelOf(s, 2), ChannelOf(d, 2), k),
                              MixToward(ChannelOf(s, 3), ChannelOf(d, 3), k));
    }
}

template <int (*Formula)(int, int, int)>
inline RasterPixel AllChannels(RasterPixel s, RasterPixel d, int k)
{
    return PackChannels(Formula(ChannelOf(s, 0), ChannelOf(d, 0), k),
                        Formula(ChannelOf(s, 1), ChannelOf(d, 1), k),
                        Formula(ChannelOf(s, 2), ChannelOf(d, 2), k),
                        Formula(ChannelOf(s, 3), ChannelOf(d, 3), k));
}

// all four channels: d' = clamp(d + s * k / 256)
void AddRow(RasterPixel* dst, const RasterPixel* src, int count, int k) { AddScaledRow(dst, src, count, k); }

// all four channels: t = s * k / 256; d' = clamp(t > 254 ? d * 256 : d * 256 / (256 - t))
void DodgeRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    for (int i = 0; i < count; ++i) {
        dst[i] = AllChannels<DodgeDivide>(src[i], dst[i], k);
    }
}

// all four channels: d' = (s * k + (256 - k) * 256) * d / 65536
void MultiplyRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    for (int i = 0; i < count; ++i) {
        dst[i] = AllChannels<MultiplyScaled>(src[i], dst[i], k);
    }
}

// all four channels: t = s * k + (256 - k) * 128; d' = clamp(((32768 - t) * d / 256 + t) * d / 32768)
void OverlayRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    for (int i = 0; i < count; ++i) {
        dst[i] = AllChannels<OverlayQuadratic>(src[i], dst[i], k);
    }
}

// d's hue, saturation and value shifted by s's R, G, B with weight k; alpha = sA
void HsvAdjustRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    for (int i = 0; i < count; ++i) {
        RasterPixel s = src[i];
        dst[i] = HsvAdjust(dst[i], ChannelOf(s, 2), ChannelOf(s, 1), ChannelOf(s, 0), k, ChannelOf(s, 3));
    }
}

// The source-alpha operators weight each pixel by l = k * (sa + 1) / 256.
inline int SourceWeight(int k, int sa) { return k * (sa + 1) / 256; }

// sa = 0: untouched; B, G, R: d' = s + (d - s) * (256 - l) / 256 (at k = 256:
// (255 - sa) in place of (256 - l)); A: min(255, dA + l) (dA + sa at k = 256)
void CopySourceAlphaRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    if (k == 256) {
        CopySourceAlphaOpaqueRow(dst, src, count);
        return;
    }
    for (int i = 0; i < count; ++i) {
        RasterPixel s = src[i], d = dst[i];
        int sa = ChannelOf(s, 3);
        if (sa == 0) {
            continue;
        }
        int l = SourceWeight(k, sa);
        int alpha = std::min(255, ChannelOf(d, 3) + l);
        dst[i] = PackChannels(MixToward(ChannelOf(s, 0), ChannelOf(d, 0), l),
                              MixToward(ChannelOf(s, 1), ChannelOf(d, 1), l),
                              MixToward(ChannelOf(s, 2), ChannelOf(d, 2), l), alpha);
    }
}

// sa = 0: untouched; all four channels: d' = clamp(d + s * l / 256)
void AddSourceAlphaRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    for (int i = 0; i < count; ++i) {
        int sa = ChannelOf(src[i], 3);
        if (sa != 0) {
            dst[i] = AllChannels<AddScaled>(src[i], dst[i], SourceWeight(k, sa));
        }
    }
}

// every pixel: the dodge formula with l
void DodgeSourceAlphaRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    for (int i = 0; i < count; ++i) {
        dst[i] = AllChannels<DodgeDivide>(src[i], dst[i], SourceWeight(k, ChannelOf(src[i], 3)));
    }
}

// sa = 0: untouched; the multiply formula with l
void MultiplySourceAlphaRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    for (int i = 0; i < count; ++i) {
        int sa = ChannelOf(src[i], 3);
        if (sa != 0) {
            dst[i] = AllChannels<MultiplyScaled>(src[i], dst[i], SourceWeight(k, sa));
        }
    }
}

// every pixel: the overlay formula with l
void OverlaySourceAlphaRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    for (int i = 0; i < count; ++i) {
        dst[i] = AllChannels<OverlayQuadratic>(src[i], dst[i], SourceWeight(k, ChannelOf(src[i], 3)));
    }
}

// every pixel: the HSV adjustment with l; alpha = sa
void HsvAdjustSourceAlphaRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    for (int i = 0; i < count; ++i) {
        RasterPixel s = src[i];
        int sa = ChannelOf(s, 3);
        dst[i] = HsvAdjust(dst[i], ChannelOf(s, 2), ChannelOf(s, 1), ChannelOf(s, 0), SourceWeight(k, sa), sa);
    }
}

// [uses source alpha][low byte of the mode word]
const BlendRow blendRows[2][6] = {
    {CopyRow, AddRow, DodgeRow, MultiplyRow, OverlayRow, HsvAdjustRow},
    {CopySourceAlphaRow, AddSourceAlphaRow, DodgeSourceAlphaRow, MultiplySourceAlphaRow,
     OverlaySourceAlphaRow, HsvAdjustSourceAlphaRow},
};

// d' = ((s >> 1) & 0x7F7F7F7F) + ((d >> 1) & 0x7F7F7F7F): the per-byte average rounding down
void HalfRow(RasterPixel* dst, const RasterPixel* src, int count)
{
    for (int i = 0; i < count; ++i) {
        dst[i] = ((src[i] >> 1) & 0x7F7F7F7Fu) + ((dst[i] >> 1) & 0x7F7F7F7Fu);
    }
}

// destination byte (mode >> 2) & 3 = source byte mode & 3
void ChannelCopyRow(RasterPixel* dst, const RasterPixel* src, int count, int mode)
{
    int from = 8 * (mode & 3), to = 8 * ((mode >> 2) & 3);
    RasterPixel keep = ~(RasterPixel(0xFF) << to);
    for (int i = 0; i < count; ++i) {
        dst[i] = (dst[i] & keep) | (((src[i] >> from) & 0xFF) << to);
    }
}

} // namespace

void BlitBitmap(RasterBitmap* dest, const RasterBitmap* src, int dstX, int dstY, const RasterRect* srcRect,
                float alpha, int mode)
{
    if (dest == nullptr || src == nullptr || alpha == 0.0f) {
        return;
    }
    // Each bitmap's properties are read once: they are virtual calls.
    const BitmapLayout dl = BitmapLayout::Of(*dest), sl = BitmapLayout::Of(*src);
    // 64-bit so extreme coordinates cannot wrap around.
    int64_t left = 0, top = 0, right = sl.width, bottom = sl.height;
    int64_t x = dstX, y = dstY;
    if (srcRect != nullptr) {
        left = srcRect->left;
        top = srcRect->top;
        right = std::min<int64_t>(srcRect->right, right);
        bottom = std::min<int64_t>(srcRect->bottom, bottom);
        if (left < 0) {
            x -= left;
            left = 0;
        }
        if (top < 0) {
            y -= top;
            top = 0;
        }
    }
    if (x < 0) {
        left -= x;
        x = 0;
    }
    if (y < 0) {
        top -= y;
        y = 0;
    }
    if (right - left + x > dl.width) {
        right = dl.width + left - x;
    }
    if (bottom - top + y > dl.height) {
        bottom = dl.height + top - y;
    }
    if (left >= right || top >= bottom || !dl.HasPixels() || !sl.HasPixels()) {
        return;
    }
    int width = int(right - left), height = int(bottom - top);
    const ptrdiff_t srcStep = sl.Step(), dstStep = dl.Step();
    const RasterPixel* s = sl.Row(int(top)) + left;
    RasterPixel* d = dl.Row(int(y)) + x;

    int op = mode & 0xFF;
    bool sourceAlpha = (mode & BlendUseSourceAlpha) != 0;
    if (op >= BlendModeChannelCopy) {
        for (int r = 0; r < height; ++r, s += srcStep, d += dstStep) {
            ChannelCopyRow(d, s, width, op);
        }
        return;
    }
    if (op == BlendModeCopy && !sourceAlpha && (alpha == 1.0f || alpha == 0.5f)) {
        for (int r = 0; r < height; ++r, s += srcStep, d += dstStep) {
            if (alpha == 1.0f) {
                std::memmove(d, s, size_t(width) * sizeof(RasterPixel));
            } else {
                HalfRow(d, s, width);
            }
        }
        return;
    }
    int w = WeightFromAlpha(alpha);
    if (w == 0 || op > BlendModeHsvAdjust) {
        return;
    }
    // The editor's images and the plain add at full weight: the row function
    // is picked once for the whole blit.
    PixelRowFunction fullWeight = nullptr;
    if (w == 256 && op == BlendModeCopy && sourceAlpha) {
        fullWeight = CopySourceAlphaOpaqueRowFunction();
    } else if (w == 256 && op == BlendModeAdd && !sourceAlpha) {
        fullWeight = AddSaturatedRowFunction();
    }
    if (fullWeight != nullptr) {
        for (int r = 0; r < height; ++r, s += srcStep, d += dstStep) {
            fullWeight(d, s, width);
        }
        return;
    }
    BlendRow row = blendRows[sourceAlpha ? 1 : 0][op];
    for (int r = 0; r < height; ++r, s += srcStep, d += dstStep) {
        row(d, s, width, w);
    }
}
