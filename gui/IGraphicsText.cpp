// Text drawing and the editor's fonts.
#include "gui/FontCache.h"
#include "gui/IGraphics.h"
#include "gui/MeasuredTextRect.h"
#include "platform/SystemFont.h"
#include "platform/TextDraw.h"
#include "raster/RasterCachedFont.h"
#include "raster/RasterSysBitmap.h"
#include "raster/TextScratch.h"

#include <mutex>

namespace {

// The cached font owns the system font and may hand plain text to the system.
constexpr int kEditorFontFlags = FontOwnsHandle | FontDirectDrawing;

int FontQuality(int32_t quality)
{
    switch (quality) {
    case 0:
        return 0;
    case 2:
        return 4;
    case 3:
        return 5;
    default:
        return 3;
    }
}

} // namespace

RasterCachedFont* IGraphics::GetCachedFont(ITextStyle& style)
{
    // Finding and adding under the text lock: editors on two threads asking
    // for the same style get the one font created first.
    std::lock_guard<std::recursive_mutex> hold(TextLock());
    FontCache& cache = FontCache::Instance();
    style.font[sizeof style.font - 1] = '\0';
    // Text is drawn in device pixels: the font is the style's size times the scale.
    const int32_t size = style.size * scale;
    if (RasterCachedFont* found = cache.Find(size, style.orientation, style.style, style.font)) {
        style.cachedFont = found;
        return found;
    }
    std::unique_ptr<SystemFont> system =
        SystemFont::Create(style.font, size, style.style == ITextStyle::Bold ? 700 : 400,
                           style.style == ITextStyle::Italic, style.orientation * 10, FontQuality(style.quality));
    if (system == nullptr) {
        return nullptr;
    }
    auto font = std::make_unique<RasterCachedFont>();
    font->AttachSystemFont(system.release(), kEditorFontFlags);
    style.cachedFont = cache.Add(size, style.orientation, style.style, style.font, std::move(font));
    return style.cachedFont;
}

bool IGraphics::DrawTextInRect(ITextStyle& style, const char* text, IRectangle& r, bool measureOnly)
{
    if (text == nullptr || text[0] == '\0') {
        return true;
    }
    RasterCachedFont* font = style.cachedFont != nullptr ? style.cachedFont : GetCachedFont(style);
    if (font == nullptr) {
        return false;
    }
    int format = style.colour.alpha == 255 ? TextNoClip : (TextUseColourAlpha | TextNoClip);
    if (style.align == ITextStyle::AlignCentre) {
        format |= TextCenter;
    } else if (style.align == ITextStyle::AlignRight) {
        format |= TextRight;
    }
    // The font is shared: its colour must still be ours when it draws.
    std::lock_guard<std::recursive_mutex> hold(TextLock());
    font->SetForegroundColor(style.colour.ToPixel());
    if (!measureOnly) {
        RasterRect area{r.left * scale, r.top * scale, r.right * scale, r.bottom * scale};
        font->RenderText(backBuffer.get(), text, -1, &area, format);
        return true;
    }
    RasterRect measured{};
    font->RenderText(backBuffer.get(), text, -1, &measured, format | TextCalcRect);
    // Back in editor pixels, the part pixel counted whole.
    r = PlaceMeasuredText(r, style.align, (measured.right + scale - 1) / scale, (measured.bottom + scale - 1) / scale);
    return true;
}
