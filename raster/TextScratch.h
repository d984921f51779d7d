#pragma once

class RasterSysBitmap;

// The process-wide scratch bitmap glyphs are rendered into, and the bitmap
// BlurBitmap works on. Created empty on first use, destroyed at exit.
// UI thread only: text rendering and the blur share it without locking.
RasterSysBitmap& GlyphScratchBitmap();
