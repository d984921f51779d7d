#pragma once

#include "raster/RasterPixel.h"

#include <cstddef>
#include <cstdint>

// Row kernels of the hottest compositing steps. Each has a scalar reference
// and vector forms that give identical bytes; the plain name picks the widest
// form the processor has. Any thread, real-time safe.

// The source-alpha copy at full weight, the editor's common case:
// d' = s + (d - s) * (255 - sa) / 256 for blue, green and red, alpha
// min(255, dA + sa), pixels with sa = 0 untouched.
void CopySourceAlphaOpaqueRowScalar(RasterPixel* dst, const RasterPixel* src, int count);
void CopySourceAlphaOpaqueRow(RasterPixel* dst, const RasterPixel* src, int count);

// Add: every channel d' = clamp(d + s * k / 256). Vector for |k| <= 256,
// where the product scales unsigned and saturating byte arithmetic clamps.
void AddScaledRowScalar(RasterPixel* dst, const RasterPixel* src, int count, int k);
void AddScaledRow(RasterPixel* dst, const RasterPixel* src, int count, int k);
// The same at k = 256, d' = clamp(d + s): the saturating add itself.
void AddSaturatedRow(RasterPixel* dst, const RasterPixel* src, int count);

// A glyph's copy at full weight: every channel d' = c + (d - c) * (255 - m) / 256
// for the coverage byte m of each pixel (the weight m + 1), where c is the
// colour with alpha 255; pixels with m = 0 untouched, m = 255 become c.
void CoverageCopyRowScalar(RasterPixel* dst, RasterPixel colour, const uint8_t* coverage, int count);
void CoverageCopyRow(RasterPixel* dst, RasterPixel colour, const uint8_t* coverage, int count);
// The same over a whole glyph cell: height rows, dstStep and coverageStride
// apart (in pixels and bytes).
void CoverageCopyRows(RasterPixel* dst, ptrdiff_t dstStep, RasterPixel colour, const uint8_t* coverage,
                      ptrdiff_t coverageStride, int width, int height);

// The vector forms one by one, so tests can hold each to its reference.
#if defined(__SSE2__)
void CopySourceAlphaOpaqueRowSse2(RasterPixel* dst, const RasterPixel* src, int count);
void AddSaturatedRowSse2(RasterPixel* dst, const RasterPixel* src, int count);
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define SNARLBOX_ROWS_AVX2 1
// Only where RowsHaveAvx2().
void CopySourceAlphaOpaqueRowAvx2(RasterPixel* dst, const RasterPixel* src, int count);
void AddSaturatedRowAvx2(RasterPixel* dst, const RasterPixel* src, int count);
#endif
// Whether this processor runs the AVX2 forms (checked once).
bool RowsHaveAvx2();

// The widest form of a row, picked once, for callers that run it row after row.
using PixelRowFunction = void (*)(RasterPixel* dst, const RasterPixel* src, int count);
PixelRowFunction CopySourceAlphaOpaqueRowFunction();
PixelRowFunction AddSaturatedRowFunction();
