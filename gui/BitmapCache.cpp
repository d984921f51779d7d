#include "gui/BitmapCache.h"

#include "raster/RasterBitmap.h"

BitmapCache& BitmapCache::Instance()
{
    static BitmapCache cache;
    return cache;
}

RasterBitmap* BitmapCache::Find(int32_t id)
{
    std::lock_guard<std::mutex> guard(lock);
    for (const Entry& entry : entries) {
        if (entry.id == id) {
            return entry.image.get();
        }
    }
    return nullptr;
}

RasterBitmap* BitmapCache::Add(int32_t id, std::unique_ptr<RasterBitmap> image)
{
    std::lock_guard<std::mutex> guard(lock);
    entries.push_back(Entry{id, std::move(image)});
    return entries.back().image.get();
}

void BitmapCache::Clear()
{
    std::lock_guard<std::mutex> guard(lock);
    entries.clear();
}

BitmapCache::~BitmapCache() { Clear(); }
