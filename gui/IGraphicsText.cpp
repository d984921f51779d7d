// Text drawing and the editor's fonts.
#include "gui/FontCache.h"
#include "gui/IGraphics.h"
#include "gui/MeasuredTextRect.h"


RasterCachedFont* IGraphics::GetCachedFont(ITextStyle& style)
{
    FontCache& cache = FontCache::Instance();
    style.font[sizeof style.font - 1] = '\0';
    if (RasterCachedFont* found = cache.Find(style.size, style.orientation, style.style, style.font)) {
        style.cachedFont = found;
        return found;
    }
    // No system font creator is linked in yet: text cannot be drawn.
    return nullptr;
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
    (void)r;
    (void)measureOnly;
    return false;
}
