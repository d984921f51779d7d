#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class RasterCachedFont;

// The process-wide store of editor fonts, keyed by size, orientation, style
// and face name (colour, alignment and quality are not part of the key), kept
// until the program ends. Any thread: every call takes the cache's lock. The
// fonts it hands out are shared by editors on any thread; they guard
// themselves with the text lock (raster/TextScratch.h), which the graphics
// context holds while it finds or adds a font and while it sets a font's
// colour and draws.
class FontCache {
public:
    static FontCache& Instance();

    // The first font added under the key, or null.
    RasterCachedFont* Find(int32_t size, int32_t orientation, int32_t style, const char* face);
    // Takes ownership; returns the font.
    RasterCachedFont* Add(int32_t size, int32_t orientation, int32_t style, const char* face,
                          std::unique_ptr<RasterCachedFont> font);
    // Deletes every font (program end, or a test that wants a clean cache);
    // styles that kept one must not draw afterwards.
    void Clear();

    ~FontCache();

private:
    FontCache() = default;

    struct Entry {
        int32_t size;
        int32_t orientation;
        int32_t style;
        char face[32];
        std::unique_ptr<RasterCachedFont> font;
    };
    std::mutex lock;
    std::vector<Entry> entries;
};
