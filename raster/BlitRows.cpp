#include "raster/BlitRows.h"

#include "raster/BlendFormulas.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(SNARLBOX_ROWS_AVX2)
#include <immintrin.h>
#endif

// ---- scalar rows: the references the vector rows must match ----

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

// m = 0 leaves the pixel; the colour's alpha byte is 255.
static inline RasterPixel CoverageCopyPixel(RasterPixel d, RasterPixel c, int m)
{
    if (m == 0) {
        return d;
    }
    int a = 255 - m;
    return PackChannels(ChannelOf(c, 0) + (ChannelOf(d, 0) - ChannelOf(c, 0)) * a / 256,
                        ChannelOf(c, 1) + (ChannelOf(d, 1) - ChannelOf(c, 1)) * a / 256,
                        ChannelOf(c, 2) + (ChannelOf(d, 2) - ChannelOf(c, 2)) * a / 256,
                        255 + (ChannelOf(d, 3) - 255) * a / 256);
}

void CoverageCopyRowScalar(RasterPixel* dst, RasterPixel colour, const uint8_t* coverage, int count)
{
    for (int i = 0; i < count; ++i) {
        dst[i] = CoverageCopyPixel(dst[i], colour, coverage[i]);
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
// ---- four pixels at a time ----

// s + (d - s) * a / 256 on every byte of four pixels, a (0-256) per pixel in
// both 16-bit halves of its lane. Truncation toward zero of (d - s) * a / 256
// is sign(d - s) * (|d - s| * a >> 8): |d - s| is unpacked into the high byte
// of 16-bit lanes, so one unsigned high multiply by a gives the shifted
// product; the sign is put back per byte. a = 256 reproduces d exactly.
static inline __m128i MixTowardSource4(__m128i d, __m128i s, __m128i a)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i up = _mm_subs_epu8(d, s);
    __m128i difference = _mm_or_si128(up, _mm_subs_epu8(s, d));
    __m128i below = _mm_cmpeq_epi8(up, zero); // d <= s: subtract
    __m128i lo = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, difference), _mm_unpacklo_epi32(a, a));
    __m128i hi = _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, difference), _mm_unpackhi_epi32(a, a));
    __m128i step = _mm_packus_epi16(lo, hi);
    return _mm_add_epi8(s, _mm_sub_epi8(_mm_xor_si128(step, below), below));
}

// a = 255 - v per 32-bit lane, 256 where v = 0 (untouched pixels, saving a select),
// repeated in both 16-bit halves.
static inline __m128i ComplementWeights4(__m128i v)
{
    __m128i a = _mm_sub_epi32(_mm_set1_epi32(255), v);
    a = _mm_sub_epi32(a, _mm_cmpeq_epi32(v, _mm_setzero_si128()));
    return _mm_or_si128(a, _mm_slli_epi32(a, 16));
}

// Blue, green and red toward the source by 255 - sa, alpha min(255, dA + sa).
static inline __m128i CopySourceAlphaOpaque4(__m128i d, __m128i s)
{
    const __m128i alphaMask = _mm_set1_epi32(int(0xFF000000u));
    __m128i colour = MixTowardSource4(d, s, ComplementWeights4(_mm_srli_epi32(s, 24)));
    __m128i alpha = _mm_adds_epu8(d, s);
    return _mm_or_si128(_mm_andnot_si128(alphaMask, colour), _mm_and_si128(alphaMask, alpha));
}

void CopySourceAlphaOpaqueRowSse2(RasterPixel* dst, const RasterPixel* src, int count)
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
    CopySourceAlphaOpaqueRowScalar(dst + i, src + i, count - i);
}

void AddSaturatedRowSse2(RasterPixel* dst, const RasterPixel* src, int count)
{
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        auto* d = reinterpret_cast<__m128i*>(dst + i);
        auto* s = reinterpret_cast<const __m128i*>(src + i);
        __m128i d0 = _mm_adds_epu8(_mm_loadu_si128(d), _mm_loadu_si128(s));
        __m128i d1 = _mm_adds_epu8(_mm_loadu_si128(d + 1), _mm_loadu_si128(s + 1));
        __m128i d2 = _mm_adds_epu8(_mm_loadu_si128(d + 2), _mm_loadu_si128(s + 2));
        __m128i d3 = _mm_adds_epu8(_mm_loadu_si128(d + 3), _mm_loadu_si128(s + 3));
        _mm_storeu_si128(d, d0);
        _mm_storeu_si128(d + 1, d1);
        _mm_storeu_si128(d + 2, d2);
        _mm_storeu_si128(d + 3, d3);
    }
    for (; i + 4 <= count; i += 4) {
        auto* d = reinterpret_cast<__m128i*>(dst + i);
        _mm_storeu_si128(d, _mm_adds_epu8(_mm_loadu_si128(d), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i))));
    }
    AddScaledRowScalar(dst + i, src + i, count - i, 256);
}

// s * |k| >> 8 is the magnitude of s * k / 256 truncated toward zero; it is
// added or, for a negative weight, subtracted with byte saturation.
void AddScaledRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    if (k == 256) {
        AddSaturatedRow(dst, src, count);
        return;
    }
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
        __m128i lo = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, s), weight);
        __m128i hi = _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, s), weight);
        __m128i step = _mm_packus_epi16(lo, hi);
        d = k < 0 ? _mm_subs_epu8(d, step) : _mm_adds_epu8(d, step);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), d);
    }
    AddScaledRowScalar(dst + i, src + i, count - i, k);
}

// One glyph row; source is the colour with alpha 255 in every lane.
static inline void CoverageCopyRow4(RasterPixel* dst, __m128i source, const uint8_t* coverage, int count)
{
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        uint32_t four;
        std::memcpy(&four, coverage + i, 4);
        if (four == 0) {
            continue; // most of a glyph cell is empty
        }
        if (four == 0xFFFFFFFFu) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), source);
            continue;
        }
        __m128i m = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(four)), zero), zero);
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), MixTowardSource4(d, source, ComplementWeights4(m)));
    }
    // Glyph rows are short: the last one to three pixels take the same vector
    // step, gathered and scattered lane by lane (no partial stack copies).
    int n = count - i;
    if (n <= 0) {
        return;
    }
    int m1 = n > 1 ? coverage[i + 1] : 0, m2 = n > 2 ? coverage[i + 2] : 0;
    if ((coverage[i] | m1 | m2) == 0) {
        return;
    }
    __m128i m = _mm_setr_epi32(coverage[i], m1, m2, 0);
    __m128i d = _mm_setr_epi32(int(dst[i]), n > 1 ? int(dst[i + 1]) : 0, n > 2 ? int(dst[i + 2]) : 0, 0);
    __m128i r = MixTowardSource4(d, source, ComplementWeights4(m));
    dst[i] = RasterPixel(_mm_cvtsi128_si32(r));
    if (n > 1) {
        dst[i + 1] = RasterPixel(_mm_cvtsi128_si32(_mm_srli_si128(r, 4)));
    }
    if (n > 2) {
        dst[i + 2] = RasterPixel(_mm_cvtsi128_si32(_mm_srli_si128(r, 8)));
    }
}

void CoverageCopyRow(RasterPixel* dst, RasterPixel colour, const uint8_t* coverage, int count)
{
    CoverageCopyRow4(dst, _mm_set1_epi32(int(colour | 0xFF000000u)), coverage, count);
}

void CoverageCopyRows(RasterPixel* dst, ptrdiff_t dstStep, RasterPixel colour, const uint8_t* coverage,
                      ptrdiff_t coverageStride, int width, int height)
{
    const __m128i source = _mm_set1_epi32(int(colour | 0xFF000000u));
    for (int row = 0; row < height; ++row, dst += dstStep, coverage += coverageStride) {
        CoverageCopyRow4(dst, source, coverage, width);
    }
}
#else
void AddScaledRow(RasterPixel* dst, const RasterPixel* src, int count, int k)
{
    AddScaledRowScalar(dst, src, count, k);
}

void CoverageCopyRow(RasterPixel* dst, RasterPixel colour, const uint8_t* coverage, int count)
{
    CoverageCopyRowScalar(dst, colour, coverage, count);
}

void CoverageCopyRows(RasterPixel* dst, ptrdiff_t dstStep, RasterPixel colour, const uint8_t* coverage,
                      ptrdiff_t coverageStride, int width, int height)
{
    for (int row = 0; row < height; ++row, dst += dstStep, coverage += coverageStride) {
        CoverageCopyRowScalar(dst, colour, coverage, width);
    }
}
#endif

#if defined(SNARLBOX_ROWS_AVX2)
// ---- eight pixels at a time, where the processor has AVX2 ----
// The 256-bit unpacks and packs work within each 128-bit half, so the
// four-pixel arithmetic carries over lane for lane.

#define SNARLBOX_AVX2 __attribute__((target("avx2")))

SNARLBOX_AVX2 static inline __m256i MixTowardSource8(__m256i d, __m256i s, __m256i a)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i up = _mm256_subs_epu8(d, s);
    __m256i difference = _mm256_or_si256(up, _mm256_subs_epu8(s, d));
    __m256i below = _mm256_cmpeq_epi8(up, zero);
    __m256i lo = _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, difference), _mm256_unpacklo_epi32(a, a));
    __m256i hi = _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, difference), _mm256_unpackhi_epi32(a, a));
    __m256i step = _mm256_packus_epi16(lo, hi);
    return _mm256_add_epi8(s, _mm256_sub_epi8(_mm256_xor_si256(step, below), below));
}

SNARLBOX_AVX2 static inline __m256i CopySourceAlphaOpaque8(__m256i d, __m256i s)
{
    const __m256i alphaMask = _mm256_set1_epi32(int(0xFF000000u));
    __m256i v = _mm256_srli_epi32(s, 24);
    __m256i a = _mm256_sub_epi32(_mm256_set1_epi32(255), v);
    a = _mm256_sub_epi32(a, _mm256_cmpeq_epi32(v, _mm256_setzero_si256()));
    a = _mm256_or_si256(a, _mm256_slli_epi32(a, 16));
    __m256i colour = MixTowardSource8(d, s, a);
    __m256i alpha = _mm256_adds_epu8(d, s);
    return _mm256_blendv_epi8(colour, alpha, alphaMask);
}

// Lanes below n set: the mask of a row shorter than eight pixels, so
// nothing beyond the row is read or written.
SNARLBOX_AVX2 static inline __m256i FirstLanes(int n)
{
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(n), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

// Rows of eight or more pixels end with the row's last eight, worked out
// from their values before the row is touched and stored after it: where
// that overlaps pixels already done, it writes what they already hold.
// Shorter rows go under a lane mask.

SNARLBOX_AVX2 void CopySourceAlphaOpaqueRowAvx2(RasterPixel* dst, const RasterPixel* src, int count)
{
    const __m256i alphaMask = _mm256_set1_epi32(int(0xFF000000u));
    __m256i last = _mm256_setzero_si256();
    if (count >= 8 && count % 8 != 0) {
        last = CopySourceAlphaOpaque8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + count - 8)),
                                      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + count - 8)));
    }
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        __m256i sa = _mm256_and_si256(s, alphaMask);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, alphaMask)) == -1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), s);
            continue;
        }
        if (_mm256_testz_si256(sa, sa)) {
            continue;
        }
        __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), CopySourceAlphaOpaque8(d, s));
    }
    if (i < count && count >= 8) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + count - 8), last);
    } else if (i < count) {
        const __m256i mask = FirstLanes(count - i);
        auto* d = reinterpret_cast<int*>(dst + i);
        // Lanes beyond the row load as 0: alpha 0, which leaves them alone.
        __m256i s = _mm256_maskload_epi32(reinterpret_cast<const int*>(src + i), mask);
        _mm256_maskstore_epi32(d, mask, CopySourceAlphaOpaque8(_mm256_maskload_epi32(d, mask), s));
    }
}

SNARLBOX_AVX2 void AddSaturatedRowAvx2(RasterPixel* dst, const RasterPixel* src, int count)
{
    __m256i last = _mm256_setzero_si256();
    if (count >= 8 && count % 8 != 0) {
        last = _mm256_adds_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + count - 8)),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + count - 8)));
    }
    int i = 0;
    for (; i + 32 <= count; i += 32) {
        auto* d = reinterpret_cast<__m256i*>(dst + i);
        auto* s = reinterpret_cast<const __m256i*>(src + i);
        __m256i d0 = _mm256_adds_epu8(_mm256_loadu_si256(d), _mm256_loadu_si256(s));
        __m256i d1 = _mm256_adds_epu8(_mm256_loadu_si256(d + 1), _mm256_loadu_si256(s + 1));
        __m256i d2 = _mm256_adds_epu8(_mm256_loadu_si256(d + 2), _mm256_loadu_si256(s + 2));
        __m256i d3 = _mm256_adds_epu8(_mm256_loadu_si256(d + 3), _mm256_loadu_si256(s + 3));
        _mm256_storeu_si256(d, d0);
        _mm256_storeu_si256(d + 1, d1);
        _mm256_storeu_si256(d + 2, d2);
        _mm256_storeu_si256(d + 3, d3);
    }
    for (; i + 8 <= count; i += 8) {
        auto* d = reinterpret_cast<__m256i*>(dst + i);
        _mm256_storeu_si256(
            d, _mm256_adds_epu8(_mm256_loadu_si256(d), _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i))));
    }
    if (i < count && count >= 8) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + count - 8), last);
    } else if (i < count) {
        const __m256i mask = FirstLanes(count - i);
        auto* d = reinterpret_cast<int*>(dst + i);
        __m256i sum = _mm256_adds_epu8(_mm256_maskload_epi32(d, mask),
                                       _mm256_maskload_epi32(reinterpret_cast<const int*>(src + i), mask));
        _mm256_maskstore_epi32(d, mask, sum);
    }
}

bool RowsHaveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2") != 0;
    return have;
}
#else
bool RowsHaveAvx2() { return false; }
#endif

// ---- the rows the blits call: the widest the processor has ----

PixelRowFunction CopySourceAlphaOpaqueRowFunction()
{
#if defined(SNARLBOX_ROWS_AVX2)
    if (RowsHaveAvx2()) {
        return CopySourceAlphaOpaqueRowAvx2;
    }
#endif
#if defined(__SSE2__)
    return CopySourceAlphaOpaqueRowSse2;
#else
    return CopySourceAlphaOpaqueRowScalar;
#endif
}

PixelRowFunction AddSaturatedRowFunction()
{
#if defined(SNARLBOX_ROWS_AVX2)
    if (RowsHaveAvx2()) {
        return AddSaturatedRowAvx2;
    }
#endif
#if defined(__SSE2__)
    return AddSaturatedRowSse2;
#else
    return [](RasterPixel* dst, const RasterPixel* src, int count) { AddScaledRowScalar(dst, src, count, 256); };
#endif
}

void CopySourceAlphaOpaqueRow(RasterPixel* dst, const RasterPixel* src, int count)
{
    CopySourceAlphaOpaqueRowFunction()(dst, src, count);
}

void AddSaturatedRow(RasterPixel* dst, const RasterPixel* src, int count) { AddSaturatedRowFunction()(dst, src, count); }
