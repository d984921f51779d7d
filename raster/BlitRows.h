#pragma once

#include "raster/RasterPixel.h"

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
