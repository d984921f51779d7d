#pragma once

class RasterBitmap;

// Blurs the top-left width x height area of the shared glyph scratch bitmap
// in place (centre 1/2, neighbours 1/8 or 1/4 at the edges), under the text
// lock. Any thread but the audio thread; allocates only for areas wider than
// 1024 pixels.
void BlurBitmap(int width, int height);

// The same blur on any bitmap (the scratch bitmap's worker). Caller's thread, no
// locks: the bitmap is the caller's alone.
void BlurBitmapArea(RasterBitmap& bitmap, int width, int height);
