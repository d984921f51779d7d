#pragma once
#include "raster/RasterFont.h"

#include <cstdint>
#include <vector>

// Font flags of AttachSystemFont.
constexpr int FontVertical = 0x001;
constexpr int FontCounterClockwise = 0x002;
constexpr int FontFixedCache = 0x004;
constexpr int FontBlur = 0x010;
constexpr int FontInvert = 0x020;
constexpr int FontMonochrome = 0x040;
constexpr int FontShadow = 0x080;
constexpr int FontOutline = 0x100;
constexpr int FontOwnsHandle = 0x200;
constexpr int FontDirectDrawing = 0x400;

// Own format bits of RenderText, next to the TextDraw.h flags.
constexpr int TextUseColourAlpha = 0x40000000;
constexpr int TextNeverDirect = int(0x80000000u);

// One cached character. mask: 0 not rendered, -1 rendered empty, n > 0 the
// mask starts at byte n - 1 of the mask store.
struct GlyphRecord {
    int mask = 0;
    int width = 0;
    int height = 0;
    int advance = 0;
    int code = 0;
};

// A font that lets the system render each character once into the shared
// glyph scratch bitmap, keeps its coverage as an 8-bit mask and composites
// the cached masks afterwards. Fonts are shared by every editor of the
// process, on any thread: each operation takes the text lock (TextScratch.h),
// and a caller that sets a colour and then draws holds it across both.
// Never on the audio thread; nothing here is real-time safe.
class RasterCachedFont : public RasterFont {
public:
    RasterCachedFont() = default;
    ~RasterCachedFont() override;

    void AttachSystemFont(::SystemFont* font, int flags) override;
    RasterPixel SetForegroundColor(RasterPixel colour) override;
    RasterPixel SetBackgroundColor(RasterPixel colour) override;
    RasterPixel SetOutlineColor(RasterPixel colour) override;
    int SetBackgroundMode(int mode) override;
    void SetBlend(int mode, float alpha) override;
    int RenderText(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect, int format) override;
    RasterPixel ForegroundColor() const override;
    ::SystemFont* SystemFont() const override;
    int LineHeight() const override;

    // The record of a code, null when absent. The pointer lives until the
    // next rendering, so only a thread that has the font to itself (or holds
    // the text lock) may keep it.
    const GlyphRecord* FindGlyph(int code) const;
    // Renders one glyph into the cache; true when its record holds a
    // rendering (possibly empty).
    bool RenderGlyph(int code);
    // Composites a cached glyph with its top-left at (x, y) inside clip
    // (which must lie inside the bitmap); true when something was drawn.
    bool DrawGlyph(RasterBitmap* bitmap, int code, int x, int y, const RasterRect& clip);
    // The mask bytes of a record with a mask; lives as FindGlyph's pointer does.
    const uint8_t* MaskOf(const GlyphRecord& glyph) const { return masks.data() + (glyph.mask - 1); }
    int Flags() const { return flags; }

private:
    // The helpers below run with the text lock held.
    GlyphRecord* FindRecord(int code);
    const GlyphRecord* GlyphWithMask(int code);
    bool DrawMask(RasterBitmap& bitmap, const GlyphRecord& glyph, int x, int y, const RasterRect& clip);
    // Lays the text out from the pen at (x0, y0) and calls visit(glyph, x, y)
    // with the pen before each glyph; the pen moves up instead of down along
    // vertical text when upward.
    template <class Visit>
    void WalkText(const char* text, int length, int format, int x0, int y0, bool upward, Visit&& visit);
    int Measure(const char* text, int length, int format, int& maxX, int& maxY);
    int RenderDirect(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect, int format);
    int RenderGlyphs(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect, int format);
    void ResetCache();

    RasterPixel textColour = 0;
    RasterPixel backgroundColour = 0xFFFFFFFF;
    RasterPixel outlineColour = 0xFFFFFFFF;
    int backgroundMode = 1;
    int blendMode = 0;
    float alpha = 1.0f;
    int flags = 0;
    int lineHeight = 0;
    int extraLineSpacing = 0;
    GlyphRecord ascii[128];
    std::vector<GlyphRecord> extended; // sorted by code
    std::vector<uint8_t> masks;        // all masks back to back
    ::SystemFont* systemFont = nullptr; // owned with FontOwnsHandle
};
