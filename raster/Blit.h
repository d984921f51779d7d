#pragma once

#include "raster/BlendMode.h"
#include "raster/RasterPixel.h"
#include "raster/RasterRect.h"

class RasterBitmap;

// Copies or composites srcRect of src (whole source when null; right and
// bottom exclusive) onto dest with its top-left at (dstX, dstY), weighted by
// alpha (1.0 opaque) and blended by the mode word (BlendMode.h). Clips to
// both bitmaps and honours bottom-up bitmaps; anything with nothing to draw
// (null bitmaps, alpha 0, empty clip, unknown mode) does nothing.
// Caller's thread (the UI thread for the editor); no locks, no allocation.
void BlitBitmap(RasterBitmap* dest, const RasterBitmap* src, int dstX, int dstY,
                const RasterRect* srcRect, float alpha, int mode);
