#pragma once
#include "platform/SystemFont.h"
#include "platform/TextDraw.h"
#include "raster/RasterCachedFont.h"
#include "raster/RasterMemBitmap.h"

#include <memory>
#include <vector>

// A DejaVu Sans font of the given pixel height owned by the raster font.
inline std::unique_ptr<RasterCachedFont> MakeFont(int flags, int height = 16, int quality = 4)
{
    auto font = std::make_unique<RasterCachedFont>();
    font->AttachSystemFont(SystemFont::Create("DejaVu Sans", height, 400, false, 0, quality).release(),
                           flags | FontOwnsHandle);
    return font;
}

inline std::vector<uint8_t> MaskBytes(RasterCachedFont& font, int code)
{
    if (font.FindGlyph(code) == nullptr || font.FindGlyph(code)->mask == 0) {
        font.RenderGlyph(code);
    }
    const GlyphRecord* g = font.FindGlyph(code);
    if (g == nullptr || g->mask <= 0) {
        return {};
    }
    const uint8_t* m = font.MaskOf(*g);
    return std::vector<uint8_t>(m, m + size_t(g->width) * size_t(g->height));
}

inline void FillBitmap(RasterBitmap& b, RasterPixel p)
{
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) {
            b.Pixels()[y * b.Stride() + x] = p;
        }
    }
}

inline RasterPixel PixelAt(const RasterBitmap& b, int x, int y) { return b.Pixels()[y * b.Stride() + x]; }
