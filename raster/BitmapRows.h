#pragma once

#include "raster/RasterBitmap.h"

#include <cstddef>

// Where image row r of a bitmap lies in memory: Pixels() + r * Stride(), or
// counted from the last memory row when the bitmap is bottom-up. The bitmap
// must have pixels and r must lie inside it. Any thread; pure reads of the
// bitmap, real-time safe.
inline RasterPixel* BitmapRow(const RasterBitmap& bitmap, int r)
{
    ptrdiff_t memoryRow = bitmap.IsBottomUp() ? ptrdiff_t(bitmap.Height() - 1 - r) : ptrdiff_t(r);
    return bitmap.Pixels() + memoryRow * bitmap.Stride();
}

// The step, in pixels, from image row r to image row r + 1 (negative for a
// bottom-up bitmap). Any thread; real-time safe.
inline ptrdiff_t BitmapRowStep(const RasterBitmap& bitmap)
{
    return bitmap.IsBottomUp() ? -ptrdiff_t(bitmap.Stride()) : ptrdiff_t(bitmap.Stride());
}
