#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class RasterBitmap;

// The process-wide store of decoded editor images, shared by all editors and
// kept until the program ends. Any thread: every call takes the cache's lock.
class BitmapCache {
public:
    static BitmapCache& Instance();

    // The first image added under id, or null.
    RasterBitmap* Find(int32_t id);
    // Takes ownership; a later add under the same id is kept but never found.
    RasterBitmap* Add(int32_t id, std::unique_ptr<RasterBitmap> image);
    // Deletes every image (program end, or a test that wants a clean cache).
    void Clear();

    ~BitmapCache();

private:
    BitmapCache() = default;

    struct Entry {
        int32_t id;
        std::unique_ptr<RasterBitmap> image;
    };
    std::mutex lock;
    std::vector<Entry> entries;
};
