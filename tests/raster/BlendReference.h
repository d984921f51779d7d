#pragma once

// A second, independent model of the compositing rules, for comparing the
// raster code on random images. It shares nothing with raster/: pixels are
// taken apart into byte arrays, every formula is written out again from its
// definition in 64-bit arithmetic, and the HSV table is built here.

#include <algorithm>
#include <array>
#include <cstdint>

namespace blendref {

using Pixel = uint32_t;
using Bytes = std::array<int64_t, 4>; // blue, green, red, alpha

inline Bytes Split(Pixel p) { return {p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF, p >> 24}; }

// Each value keeps its low 8 bits, as a byte store does.
inline Pixel Join(const Bytes& b)
{
    return Pixel(b[0] & 0xFF) | Pixel(b[1] & 0xFF) << 8 | Pixel(b[2] & 0xFF) << 16 | Pixel(b[3] & 0xFF) << 24;
}

inline int64_t Clamp(int64_t v) { return std::min<int64_t>(255, std::max<int64_t>(0, v)); }

// Opacity to integer weight, truncated toward zero.
inline int64_t Weight(float alpha) { return int64_t(double(alpha) * 256.0); }

enum Op { Copy, Add, Dodge, Multiply, Overlay, Hsv };

// One channel: source s, destination d, weight k.
inline int64_t Channel(Op op, int64_t s, int64_t d, int64_t k)
{
    switch (op) {
    case Copy: return s + (d - s) * (256 - k) / 256;
    case Add: return Clamp(d + s * k / 256);
    case Dodge: {
        int64_t t = s * k / 256;
        return Clamp(t >= 255 ? d * 256 : d * 256 / (256 - t));
    }
    case Multiply: return (s * k + (256 - k) * 256) * d / 65536;
    case Overlay: {
        int64_t t = s * k + (256 - k) * 128;
        return Clamp(((32768 - t) * d / 256 + t) * d / 32768);
    }
    default: return d;
    }
}

// The HSV adjustment of d's red, green and blue by the shifts (128 = none);
// the alpha byte is given.
inline Pixel HsvShift(Pixel d, int64_t shiftR, int64_t shiftG, int64_t shiftB, int64_t k, int64_t alpha)
{
    static const std::array<int64_t, 256> reciprocal = [] {
        std::array<int64_t, 256> r{};
        for (int i = 1; i < 256; ++i) {
            r[size_t(i)] = 65536 / i - 1;
        }
        return r;
    }();
    Bytes c = Split(d);
    int64_t r = c[2], g = c[1], b = c[0];
    int64_t top = std::max({r, g, b});
    int64_t delta = top - std::min({r, g, b});
    int64_t base = 0, n = 0;
    if (g > r && g > b) { // green alone on top
        base = 128, n = b - r;
    } else if (r < g || !(b < r)) { // blue on top (ties with blue count as blue)
        base = 256, n = r - g;
    } else if (g < b) { // red on top, blue next
        base = 383, n = g - b;
    } else {
        base = 0, n = g - b;
    }
    int64_t hue = base + n * (reciprocal[size_t(delta)] + 1) / 1024 + k * (shiftR / 2 + shiftR - 192) / 256;
    if (hue < 0) {
        hue += 384;
    } else if (hue >= 384) {
        hue -= 384;
    }
    int64_t sat = Clamp(delta * reciprocal[size_t(top)] / 256 + k * (shiftG - 128) / 128);
    int64_t val = Clamp(top + k * (shiftB - 128) / 128);
    int64_t low = val * (256 - sat) / 256;
    int64_t sector = hue / 64;
    int64_t rising = val * (16384 - (64 * (sector + 1) - hue) * sat) / 16384;
    int64_t falling = val * (16384 - (hue - 64 * sector) * sat) / 16384;
    const int64_t rgb[6][3] = {{val, rising, low},  {falling, val, low}, {low, val, rising},
                               {low, falling, val}, {rising, low, val},  {val, low, falling}};
    const int64_t* out = rgb[sector];
    return Join({out[2], out[1], out[0], alpha});
}

// BlitBitmap on one pixel: source s over destination d.
inline Pixel Blit(Pixel s, Pixel d, float alpha, int mode)
{
    Bytes src = Split(s), dst = Split(d);
    int low = mode & 0xFF;
    bool bySourceAlpha = (mode & 0x10000) != 0;
    if (alpha == 0.0f) {
        return d;
    }
    if (low >= 0xF0) {
        dst[size_t((low >> 2) & 3)] = src[size_t(low & 3)];
        return Join(dst);
    }
    if (low == 0 && !bySourceAlpha && alpha == 1.0f) {
        return s;
    }
    if (low == 0 && !bySourceAlpha && alpha == 0.5f) {
        Bytes out;
        for (size_t i = 0; i < 4; ++i) {
            out[i] = src[i] / 2 + dst[i] / 2;
        }
        return Join(out);
    }
    int64_t w = Weight(alpha);
    if (w == 0 || low > 5) {
        return d;
    }
    Op op = Op(low);
    int64_t sa = src[3];
    if (!bySourceAlpha) {
        if (op == Hsv) {
            return HsvShift(d, src[2], src[1], src[0], w, sa);
        }
        if (op == Copy && w <= 0) {
            return d;
        }
        Bytes out;
        for (size_t i = 0; i < 4; ++i) {
            out[i] = Channel(op, src[i], dst[i], w);
        }
        return Join(out);
    }
    int64_t l = w * (sa + 1) / 256;
    if (sa == 0 && (op == Copy || op == Add || op == Multiply)) {
        return d;
    }
    Bytes out;
    switch (op) {
    case Copy:
        for (size_t i = 0; i < 3; ++i) {
            out[i] = w == 256 ? src[i] + (dst[i] - src[i]) * (255 - sa) / 256 : Channel(Copy, src[i], dst[i], l);
        }
        out[3] = std::min<int64_t>(255, dst[3] + (w == 256 ? sa : l));
        return Join(out);
    case Add:
        for (size_t i = 0; i < 3; ++i) {
            out[i] = Clamp(dst[i] + l * src[i] / 256);
        }
        out[3] = Clamp(dst[3] + sa * l / 256);
        return Join(out);
    case Hsv: return HsvShift(d, src[2], src[1], src[0], l, sa);
    default:
        for (size_t i = 0; i < 4; ++i) {
            out[i] = Channel(op, src[i], dst[i], l);
        }
        return Join(out);
    }
}

// FillRectangle on one pixel: the colour's red, green and blue and the weight
// itself as the alpha source.
inline Pixel Fill(Pixel colour, Pixel d, float alpha, int mode)
{
    if ((mode & 0x10000) != 0) {
        alpha = alpha * (float(colour >> 24) / 255.0f);
    }
    if (alpha == 0.0f) {
        return d;
    }
    int64_t w = Weight(alpha);
    int low = mode & 0xFF;
    if (w == 0 || low > 5) {
        return d;
    }
    Bytes c = Split(colour), dst = Split(d);
    if (low == Copy) {
        if (w <= 0) {
            return d;
        }
        if (w == 256) {
            return colour;
        }
        if (w == 64 || w == 128 || w == 192) {
            // Sums of halves and quarters of each byte, each rounded down.
            Bytes out;
            for (size_t i = 0; i < 4; ++i) {
                int64_t half = (w == 64 ? dst[i] : c[i]) / 2;
                int64_t quarters = w == 128 ? dst[i] / 2 : c[i] / 4 + dst[i] / 4;
                out[i] = half + quarters;
            }
            return Join(out);
        }
    }
    if (low == Hsv) {
        return HsvShift(d, c[2], c[1], c[0], w, w);
    }
    Bytes out;
    for (size_t i = 0; i < 3; ++i) {
        out[i] = Channel(Op(low), c[i], dst[i], w);
    }
    out[3] = Channel(Op(low), w, dst[3], w);
    return Join(out);
}

// One glyph pixel: mask byte m (not 0) composited with the colour at font
// alpha; kind 0 anti-aliased, 1 monochrome, 2 shadow or outline (the caller
// passes the outline colour for its pixels).
inline Pixel Glyph(Pixel colour, Pixel d, int m, float alpha, int mode, int kind)
{
    int low = mode & 0xFF;
    if (low > 5) {
        return d;
    }
    if (kind != 0 && alpha == 1.0f && low == Copy) {
        return colour;
    }
    int64_t a = Weight(alpha);
    if (a == 0 || (low == Copy && a < 0)) {
        return d;
    }
    int64_t k = kind != 0 ? std::min<int64_t>(a, 256) : (a == 256 ? m + 1 : std::min<int64_t>(a * m / 256, 256));
    Bytes c = Split(colour), dst = Split(d);
    if (low == Hsv) {
        return HsvShift(d, c[2], c[1], c[0], k, 255);
    }
    Bytes out;
    for (size_t i = 0; i < 3; ++i) {
        out[i] = Channel(Op(low), c[i], dst[i], k);
    }
    out[3] = Channel(Op(low), 255, dst[3], k);
    return Join(out);
}

} // namespace blendref
