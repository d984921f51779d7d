#pragma once

#include "raster/BlendMode.h"
#include "raster/RasterPixel.h"

class RasterBitmap;

// Composites the solid colour (0xAARRGGBB) over the rectangle at (x, y) of
// dest, weighted by alpha and blended by the mode word (copy, add, dodge,
// multiply, overlay, hsv adjust; BlendUseSourceAlpha weights by the colour's
// alpha). The colour's R, G, B are the source channels; the weight itself is
// the source alpha. Clipped to the bitmap; nothing to draw does nothing.
// Caller's thread; no locks, no allocation.
void FillRectangle(RasterBitmap* dest, int x, int y, int width, int height, RasterPixel colour,
                   float alpha, int mode);

// Sets the first Width() pixels of every row to 0 (transparent black).
// Caller's thread; no locks, no allocation.
void ClearBitmap(RasterBitmap* bitmap);
