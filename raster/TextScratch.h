#pragma once

#include <mutex>

class RasterSysBitmap;

// The process-wide state of the text code: the scratch bitmap glyphs are
// rendered into (also the bitmap BlurBitmap works on), the scratch bitmap the
// direct path draws through, and the lock that guards them together with the
// state of every font. Fonts are shared by editors on any thread, so every
// font operation takes the lock; a caller that needs several operations to
// stay together (set a colour, then draw) holds it across them. Recursive, so
// a holder may call those operations. Any thread; never the audio thread.
std::recursive_mutex& TextLock();

// Created empty on first use, destroyed at exit. Callers hold TextLock().
RasterSysBitmap& GlyphScratchBitmap();
RasterSysBitmap& DirectScratchBitmap();
