#pragma once

class RasterBitmap;

// Blurs the top-left width x height area of the shared glyph scratch bitmap
// in place (centre 1/2, neighbours 1/8 or 1/4 at the edges). UI thread only,
// never while text renders; allocates only for areas wider than 1024 pixels.
void BlurBitmap(int width, int height);

// The same blur on any bitmap (the scratch bitmap's worker).
void BlurBitmapArea(RasterBitmap& bitmap, int width, int height);
