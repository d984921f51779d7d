#pragma once

#include "raster/RasterPixel.h"

#include <cstdint>

// Row kernels of the source-alpha copy at full weight, the editor's common
// case: d' = s + (d - s) * (255 - sa) / 256 for blue, green and red, alpha
// min(255, dA + sa), pixels with sa = 0 untouched. The scalar one is the
// reference; the vector one gives identical bytes. Any thread, real-time safe.
void CopySourceAlphaOpaqueRowScalar(RasterPixel* dst, const RasterPixel* src, int count);
void CopySourceAlphaOpaqueRow(RasterPixel* dst, const RasterPixel* src, int count);

// Add: every channel d' = clamp(d + s * k / 256). Vector for |k| <= 256,
// where the product scales unsigned and saturating byte arithmetic clamps.
void AddScaledRowScalar(RasterPixel* dst, const RasterPixel* src, int count, int k);
void AddScaledRow(RasterPixel* dst, const RasterPixel* src, int count, int k);

// A glyph's copy at full weight: every channel d' = c + (d - c) * (255 - m) / 256
// for the coverage byte m of each pixel (the weight m + 1), where c is the
// colour with alpha 255; pixels with m = 0 untouched, m = 255 become c.
// Any thread, real-time safe.
void CoverageCopyRowScalar(RasterPixel* dst, RasterPixel colour, const uint8_t* coverage, int count);
void CoverageCopyRow(RasterPixel* dst, RasterPixel colour, const uint8_t* coverage, int count);
