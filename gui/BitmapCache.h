#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class RasterBitmap;

// The process-wide store of decoded editor images, shared by all editors.
// Images an editor draws with are counted as used; an image whose last user
// lets go is deleted, so a process holds only the scales its editors show.
// Any thread: every call takes the cache's lock.
class BitmapCache {
public:
    static BitmapCache& Instance();

    // The first image added under id, or null.
    RasterBitmap* Find(int32_t id);
    // Takes ownership; a later add under the same id is kept but never found.
    RasterBitmap* Add(int32_t id, std::unique_ptr<RasterBitmap> image);
    // The image under id, counted as used once more; null when absent.
    RasterBitmap* Use(int32_t id);
    // One user of the image under id lets go; the last deletes it.
    void Unuse(int32_t id);
    // Deletes every image (program end, or a test that wants a clean cache).
    void Clear();

    ~BitmapCache();

private:
    BitmapCache() = default;

    struct Entry {
        int32_t id;
        std::unique_ptr<RasterBitmap> image;
        int users = 0;
    };
    std::mutex lock;
    std::vector<Entry> entries;
};
