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

RasterBitmap* BitmapCache::Use(int32_t id)
{
    std::lock_guard<std::mutex> guard(lock);
    for (Entry& entry : entries) {
        if (entry.id == id) {
            ++entry.users;
            return entry.image.get();
        }
    }
    return nullptr;
}

void BitmapCache::Unuse(int32_t id)
{
    std::lock_guard<std::mutex> guard(lock);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->id == id) {
            if (it->users > 0 && --it->users == 0) {
                entries.erase(it);
            }
            return;
        }
    }
}

void BitmapCache::Clear()
{
    std::lock_guard<std::mutex> guard(lock);
    entries.clear();
}

BitmapCache::~BitmapCache() { Clear(); }
