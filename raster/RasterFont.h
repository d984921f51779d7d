#pragma once
#include "raster/RasterPixel.h"
#include "raster/RasterRect.h"

class RasterBitmap;
class SystemFont;

// A font that draws UTF-8 text into raster bitmaps with its own colours,
// blend mode and alpha. The implementations say which threads may use them;
// nothing here is real-time safe.
class RasterFont {
public:
    virtual ~RasterFont() = default;
    // Takes a system font (may be null) with the font flags (RasterCachedFont.h).
    virtual void AttachSystemFont(SystemFont* font, int flags) = 0;
    // Each setter returns the previous value.
    virtual RasterPixel SetForegroundColor(RasterPixel colour) = 0;
    virtual RasterPixel SetBackgroundColor(RasterPixel colour) = 0;
    virtual RasterPixel SetOutlineColor(RasterPixel colour) = 0;
    virtual int SetBackgroundMode(int mode) = 0;
    virtual void SetBlend(int mode, float alpha) = 0;
    // Measures (format 0x400) or draws length bytes of text (-1: to the NUL)
    // in rect; returns the text height (0 when nothing was drawn).
    virtual int RenderText(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect, int format) = 0;
    virtual RasterPixel ForegroundColor() const = 0;
    virtual ::SystemFont* SystemFont() const = 0;
    virtual int LineHeight() const = 0;

protected:
    RasterFont() = default;
    RasterFont(const RasterFont&) = delete;
    RasterFont& operator=(const RasterFont&) = delete;
};
