// Text drawing and the editor's fonts.
#include "gui/FontCache.h"
#include "gui/IGraphics.h"
#include "gui/MeasuredTextRect.h"

#if __has_include("raster/RasterCachedFont.h") && __has_include("platform/SystemFont.h")
#define SNARLBOX_HAVE_FONTS 1
#include "platform/SystemFont.h"
#include "raster/RasterCachedFont.h"
#include "raster/RasterSysBitmap.h"
#endif

RasterCachedFont* IGraphics::GetCachedFont(ITextStyle& style)
{
    FontCache& cache = FontCache::Instance();
    style.font[sizeof style.font - 1] = '\0';
    if (RasterCachedFont* found = cache.Find(style.size, style.orientation, style.style, style.font)) {
        style.cachedFont = found;
        return found;
    }
#ifdef SNARLBOX_HAVE_FONTS
#error "font code to be wired"
#else
    return nullptr;
#endif
}

bool IGraphics::DrawTextInRect(const ITextStyle& style, const char* text, IRectangle& r, bool measureOnly)
{
    if (text == nullptr || text[0] == '\0') {
        return true;
    }
    ITextStyle lookup = style;
    RasterCachedFont* font = style.cachedFont != nullptr ? style.cachedFont : GetCachedFont(lookup);
    if (font == nullptr) {
        return false;
    }
#ifdef SNARLBOX_HAVE_FONTS
#error "font code to be wired"
#else
    (void)r;
    (void)measureOnly;
    return false;
#endif
}
