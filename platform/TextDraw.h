#pragma once
#include "raster/RasterRect.h"

class DeviceContext;

// Text drawing flags, the values the font code passes.
constexpr int TextCenter = 0x001;
constexpr int TextRight = 0x002;
constexpr int TextVCenter = 0x004;
constexpr int TextBottom = 0x008;
constexpr int TextSingleLine = 0x020;
constexpr int TextNoClip = 0x100;
constexpr int TextNoPrefix = 0x800; // accepted; '&' is never special here
constexpr int TextCalcRect = 0x400;

// Draws or measures text with the device context's selected font, text
// colour and background mode (opaque fills the text's cell with the
// background colour) inside rect. Lines break at line feeds unless
// TextSingleLine; the block is aligned in rect and each line within the
// block. TextCalcRect only sets rect.right and rect.bottom. Returns the text
// height in pixels, 0 without a context or font.
// Cairo's surface is premultiplied while our bitmaps are straight alpha; the
// text is drawn over opaque pixels (back buffer, glyph scratch), where the two agree.
// On the thread that uses the device context; with fonts that threads share,
// only under the text lock of the raster code (raster/TextScratch.h).

// Bytes in the system code page (Latin-1); length -1 runs to the NUL.
int DrawTextA(DeviceContext* dc, const char* text, int length, RasterRect* rect, int format);
// UTF-16 text; length -1 runs to the NUL.
int DrawTextW(DeviceContext* dc, const char16_t* text, int length, RasterRect* rect, int format);
// UTF-8 text of length bytes (the common worker).
int DrawTextUtf8(DeviceContext* dc, const char* text, int length, RasterRect* rect, int format);
