#pragma once

#include "raster/RasterPixel.h"

#include <cstdint>

// Per-channel compositing arithmetic shared by the blits, the fills and the
// glyph compositing. s is the source value, d the destination value (0-255),
// k the integer weight (256 = opaque). All divisions truncate toward zero, as
// C++ integer division does. Pure functions, any thread, real-time safe.

inline int ClampByte(int x) { return x < 0 ? 0 : (x > 255 ? 255 : x); }

// Byte c of a pixel (0 blue, 1 green, 2 red, 3 alpha).
inline int ChannelOf(RasterPixel p, int c) { return int((p >> (8 * c)) & 0xFF); }

inline RasterPixel PackChannels(int b, int g, int r, int a)
{
    return RasterPixel(b & 0xFF) | (RasterPixel(g & 0xFF) << 8) | (RasterPixel(r & 0xFF) << 16) |
           (RasterPixel(a & 0xFF) << 24);
}

// Opacity to weight: alpha * 256 truncated. NaN draws nothing, and the weight
// is held within +-65536 so no formula overflows; every weight beyond that
// already saturates add and the positive side of dodge.
inline int WeightFromAlpha(float alpha)
{
    double w = double(alpha) * 256.0;
    if (!(w == w)) {
        return 0;
    }
    if (w > 65536.0) {
        return 65536;
    }
    if (w < -65536.0) {
        return -65536;
    }
    return int(w);
}

// The products are 64-bit: a fill's alpha channel takes the weight itself as
// its source value, so s and k may both reach 65536.

// d' = s + (d - s) * (256 - k) / 256, low 8 bits
inline int MixToward(int s, int d, int k) { return int((s + int64_t(d - s) * (256 - k) / 256) & 0xFF); }

// d' = clamp(d + s * k / 256)
inline int AddScaled(int s, int d, int k)
{
    int64_t v = d + int64_t(s) * k / 256;
    return v < 0 ? 0 : (v > 255 ? 255 : int(v));
}

// t = s * k / 256; d' = clamp(t > 254 ? d * 256 : d * 256 / (256 - t))
inline int DodgeDivide(int s, int d, int k)
{
    int64_t t = int64_t(s) * k / 256;
    int64_t v = t > 254 ? int64_t(d) * 256 : int64_t(d) * 256 / (256 - t);
    return v < 0 ? 0 : (v > 255 ? 255 : int(v));
}

// d' = (s * k + (256 - k) * 256) * d / 65536, low 8 bits
inline int MultiplyScaled(int s, int d, int k)
{
    int64_t factor = int64_t(s) * k + int64_t(256 - k) * 256;
    return int(factor * d / 65536) & 0xFF;
}

// t = s * k + (256 - k) * 128; d' = clamp(((32768 - t) * d / 256 + t) * d / 32768)
inline int OverlayQuadratic(int s, int d, int k)
{
    int64_t t = int64_t(s) * k + int64_t(256 - k) * 128;
    int64_t v = ((32768 - t) * d / 256 + t) * d / 32768;
    return v < 0 ? 0 : (v > 255 ? 255 : int(v));
}

// T[0] = 0, T[i] = 65536 / i - 1: the reciprocal table of the HSV conversion.
struct HsvDivisionTable {
    uint16_t t[256];
    constexpr HsvDivisionTable() : t()
    {
        for (int i = 1; i < 256; ++i) {
            t[i] = uint16_t(65536 / i - 1);
        }
    }
};
inline constexpr HsvDivisionTable hsvDivision{};

// Shifts the hue, saturation and value of dst's R, G, B by the source shifts
// sR, sG, sB (128 = unchanged) with weight k; alphaByte becomes the alpha.
// Hue runs 0-383 (red 0, green 128, blue 256).
inline RasterPixel HsvAdjust(RasterPixel dst, int sR, int sG, int sB, int k, int alphaByte)
{
    const uint16_t* T = hsvDivision.t;
    int R = ChannelOf(dst, 2), G = ChannelOf(dst, 1), B = ChannelOf(dst, 0);
    int hi = R > G ? R : G;
    hi = hi > B ? hi : B;
    int lo = R < G ? R : G;
    lo = lo < B ? lo : B;
    int V = hi, delta = hi - lo;
    int base, n;
    if (R < G) {
        if (B < G) {
            base = 128, n = B - R;
        } else {
            base = 256, n = R - G;
        }
    } else if (B < R) {
        if (G < B) {
            base = 383, n = G - B;
        } else {
            base = 0, n = G - B;
        }
    } else {
        base = 256, n = R - G;
    }
    int hue = base + n * (T[delta] + 1) / 1024 + k * (sR / 2 + sR - 192) / 256;
    if (hue < 0) {
        hue += 384;
    } else if (hue >= 384) {
        hue -= 384;
    }
    if (hue < 0 || hue >= 384) {
        // Only weights far beyond opaque get here; wrap fully to stay in the table.
        hue %= 384;
        hue += hue < 0 ? 384 : 0;
    }
    int S = ClampByte(delta * T[V] / 256 + k * (sG - 128) / 128);
    int v = ClampByte(V + k * (sB - 128) / 128);
    int m = v * (256 - S) / 256;
    int i = hue / 64;
    int up = v * (16384 - (64 * (i + 1) - hue) * S) / 16384;
    int down = v * (16384 - (hue - 64 * i) * S) / 16384;
    int r, g, b;
    switch (i) {
    case 0: r = v, g = up, b = m; break;
    case 1: r = down, g = v, b = m; break;
    case 2: r = m, g = v, b = up; break;
    case 3: r = m, g = down, b = v; break;
    case 4: r = up, g = m, b = v; break;
    default: r = v, g = m, b = down; break;
    }
    return PackChannels(b, g, r, alphaByte);
}
