#include "raster/BlitRows.h"

#include "raster/BlendFormulas.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// sa = 0 leaves the pixel; sa = 255 falls out of the formula as a plain copy
// with alpha 255.
static inline RasterPixel CopySourceAlphaOpaquePixel(RasterPixel d, RasterPixel s)
{
    int sa = int(s >> 24);
    if (sa == 0) {
        return d;
    }
    int a = 255 - sa;
    int b = ChannelOf(s, 0) + (ChannelOf(d, 0) - ChannelOf(s, 0)) * a / 256;
    int g = ChannelOf(s, 1) + (ChannelOf(d, 1) - ChannelOf(s, 1)) * a / 256;
    int r = ChannelOf(s, 2) + (ChannelOf(d, 2) - ChannelOf(s, 2)) * a / 256;
    int alpha = ChannelOf(d, 3) + sa;
    return PackChannels(b, g, r, alpha > 255 ? 255 : alpha);
}

void CopySourceAlphaOpaqueRowScalar(RasterPixel* dst, const RasterPixel* src, int count)
{
    for (int i = 0; i < count; ++i) {
        dst[i] = CopySourceAlphaOpaquePixel(dst[i], src[i]);
    }
}

void AddScaledRowScalar(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    for (int i = 0; i < count; ++i) {
        RasterPixel s = src[i], d = dst[i];
        dst[i] = PackChannels(AddScaled(ChannelOf(s, 0), ChannelOf(d, 0), k),
                              AddScaled(ChannelOf(s, 1), ChannelOf(d, 1), k),
                              AddScaled(ChannelOf(s, 2), ChannelOf(d, 2), k),
                              AddScaled(ChannelOf(s, 3), ChannelOf(d, 3), k));
    }
}

#if defined(__SSE2__)
// s * |k| >> 8 is the magnitude of s * k / 256 truncated toward zero; it is
// added or, for a negative weight, subtracted with byte saturation.
void AddScaledRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    if (k < -256 || k > 256) {
        AddScaledRowScalar(dst, src, count, k);
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i weight = _mm_set1_epi16(short(k < 0 ? -k : k));
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        __m128i step = s;
        if (k != 256 && k != -256) {
            __m128i lo = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, s), weight);
            __m128i hi = _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, s), weight);
            step = _mm_packus_epi16(lo, hi);
        }
        d = k < 0 ? _mm_subs_epu8(d, step) : _mm_adds_epu8(d, step);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), d);
    }
    AddScaledRowScalar(dst + i, src + i, count - i, k);
}

// Truncation toward zero of (d - s) * a / 256 is sign(d - s) * (|d - s| * a >> 8).
// |d - s| is unpacked into the high byte of 16-bit lanes, so one unsigned high
// multiply by a gives the shifted product; the sign is put back per byte.
// Pixels with sa = 0 get a = 256, which reproduces d exactly and saves a select.
static inline __m128i CopySourceAlphaOpaque4(__m128i d, __m128i s)
{
    const __m128i alphaMask = _mm_set1_epi32(int(0xFF000000u));
    const __m128i zero = _mm_setzero_si128();
    __m128i a = _mm_srli_epi32(_mm_andnot_si128(s, alphaMask), 24);
    a = _mm_sub_epi32(a, _mm_cmpeq_epi32(_mm_and_si128(s, alphaMask), zero));
    a = _mm_or_si128(a, _mm_slli_epi32(a, 16));
    __m128i up = _mm_subs_epu8(d, s);
    __m128i difference = _mm_or_si128(up, _mm_subs_epu8(s, d));
    __m128i below = _mm_cmpeq_epi8(up, zero); // d <= s: subtract
    __m128i lo = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, difference), _mm_unpacklo_epi32(a, a));
    __m128i hi = _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, difference), _mm_unpackhi_epi32(a, a));
    __m128i step = _mm_packus_epi16(lo, hi);
    __m128i colour = _mm_add_epi8(s, _mm_sub_epi8(_mm_xor_si128(step, below), below));
    __m128i alpha = _mm_adds_epu8(d, s);
    return _mm_or_si128(_mm_andnot_si128(alphaMask, colour), _mm_and_si128(alphaMask, alpha));
}

void CopySourceAlphaOpaqueRow(RasterPixel* dst, const RasterPixel* src, int count)
{
    const __m128i alphaMask = _mm_set1_epi32(int(0xFF000000u));
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        __m128i sa = _mm_and_si128(s, alphaMask);
        int opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(sa, alphaMask));
        if (opaque == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), s);
            continue;
        }
        int clear = _mm_movemask_epi8(_mm_cmpeq_epi32(sa, _mm_setzero_si128()));
        if (clear == 0xFFFF) {
            continue;
        }
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), CopySourceAlphaOpaque4(d, s));
    }
    for (; i < count; ++i) {
        dst[i] = CopySourceAlphaOpaquePixel(dst[i], src[i]);
    }
}
#else
void CopySourceAlphaOpaqueRow(RasterPixel* dst, const RasterPixel* src, int count)
{
    CopySourceAlphaOpaqueRowScalar(dst, src, count);
}

void AddScaledRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    AddScaledRowScalar(dst, src, count, k);
}
#endif
