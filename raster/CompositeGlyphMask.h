#pragma once

#include "raster/RasterPixel.h"

#include <cstdint>

class RasterBitmap;

// Composites a w x h glyph mask (rows stride bytes apart) with its top-left
// at (x, y), which must lie inside the bitmap, in the blend operation op
// (the low byte of a blend mode word, up to BlendModeHsvAdjust). kind: 0
// anti-aliased coverage, 1 monochrome, 2 shadow or outline (255 text, other
// non-zero outline). fast: alpha exactly 1.0 in copy mode. A: the weight of
// the font's alpha (256 full). Any thread on its own bitmap; real-time safe.
void CompositeGlyphMask(int op, RasterBitmap& bitmap, int x, int y, int w, int h, const uint8_t* mask, int stride,
                        int kind, bool fast, int A, RasterPixel text, RasterPixel outline);
