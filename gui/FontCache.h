#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class RasterCachedFont;

// The process-wide store of editor fonts, keyed by size, orientation, style
// and face name (colour, alignment and quality are not part of the key), kept
// until the program ends. Any thread: every call takes the cache's lock.
class FontCache {
public:
    static FontCache& Instance();

    RasterCachedFont* Find(int32_t size, int32_t orientation, int32_t style, const char* face);
    // Takes ownership.
    RasterCachedFont* Add(int32_t size, int32_t orientation, int32_t style, const char* face,
                          std::unique_ptr<RasterCachedFont, void (*)(RasterCachedFont*)> font);
    void Clear();

    ~FontCache();

private:
    FontCache() = default;

    struct Entry {
        int32_t size;
        int32_t orientation;
        int32_t style;
        char face[32];
        std::unique_ptr<RasterCachedFont, void (*)(RasterCachedFont*)> font;
    };
    std::mutex lock;
    std::vector<Entry> entries;
};
