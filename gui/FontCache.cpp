#include "gui/FontCache.h"

#include "raster/RasterCachedFont.h"
#include "raster/TextScratch.h"

#include <cstring>

FontCache& FontCache::Instance()
{
    static FontCache cache;
    return cache;
}

RasterCachedFont* FontCache::Find(int32_t size, int32_t orientation, int32_t style, const char* face)
{
    std::lock_guard<std::mutex> guard(lock);
    for (const Entry& entry : entries) {
        if (entry.size == size && entry.orientation == orientation && entry.style == style &&
            std::strncmp(entry.face, face, sizeof entry.face) == 0) {
            return entry.font.get();
        }
    }
    return nullptr;
}

RasterCachedFont* FontCache::Add(int32_t size, int32_t orientation, int32_t style, const char* face,
                                 std::unique_ptr<RasterCachedFont> font)
{
    std::lock_guard<std::mutex> guard(lock);
    Entry entry{size, orientation, style, {}, std::move(font)};
    std::strncpy(entry.face, face, sizeof entry.face - 1);
    entries.push_back(std::move(entry));
    return entries.back().font.get();
}

void FontCache::Clear()
{
    // Under the text lock too (taken first, as the graphics context does), so
    // no editor is drawing with a font while it goes.
    std::lock_guard<std::recursive_mutex> text(TextLock());
    std::lock_guard<std::mutex> guard(lock);
    entries.clear();
}

FontCache::~FontCache() { Clear(); }
