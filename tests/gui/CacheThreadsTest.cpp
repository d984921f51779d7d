#include "gui/BitmapCache.h"
#include "gui/EditorCaches.h"
#include "gui/FontCache.h"
#include "raster/RasterMemBitmap.h"
#include "raster/RasterSysBitmap.h"
#include "tests/gui/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

// Editors on several threads share the caches: adds and finds must not race.
TEST(EditorCacheThreads, ConcurrentAddsAndFindsKeepEveryImage)
{
    BitmapCache& cache = BitmapCache::Instance();
    cache.Clear();
    constexpr int kPerThread = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&cache, t] {
            for (int i = 0; i < kPerThread; ++i) {
                const int id = 50000 + t * kPerThread + i;
                cache.Add(id, std::make_unique<RasterMemBitmap>(1 + i % 3, 1));
                EXPECT_NE(cache.Find(id), nullptr);
                cache.Find(50000 + (1 - t) * kPerThread + i); // the other thread's, present or not
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int id = 50000; id < 50000 + 2 * kPerThread; ++id) {
        ASSERT_NE(cache.Find(id), nullptr) << id;
    }
    // The first image added under an id is the one found.
    RasterBitmap* first = cache.Find(50000);
    cache.Add(50000, std::make_unique<RasterMemBitmap>(7, 7));
    EXPECT_EQ(cache.Find(50000), first);
    cache.Clear();
    EXPECT_EQ(cache.Find(50000), nullptr);
}

// Editors on four threads asking for the same styles at once all get the one
// font created first for each key.
TEST(EditorCacheThreads, EveryThreadGetsTheFirstFontOfAKey)
{
    constexpr int kThreads = 4;
    constexpr int kKeys = 6;
    // The caches empty when the last editor goes; the test looks after the
    // threads' editors are gone, so it holds them as an editor would.
    RetainEditorCaches();
    std::array<std::array<RasterCachedFont*, kKeys>, kThreads> found{};
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            GuiTestPlugin plug;
            IGraphicsHeadless graphics(&plug, 10, 10, 25);
            ++ready;
            while (ready < kThreads) {
                std::this_thread::yield();
            }
            for (int k = 0; k < kKeys; ++k) {
                ITextStyle style;
                style.size = 41 + k; // sizes no other test uses, so each is created here
                style.quality = t % 2 == 0 ? 0 : 2;
                found[size_t(t)][size_t(k)] = graphics.GetCachedFont(style);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int k = 0; k < kKeys; ++k) {
        ASSERT_NE(found[0][size_t(k)], nullptr);
        for (int t = 1; t < kThreads; ++t) {
            EXPECT_EQ(found[size_t(t)][size_t(k)], found[0][size_t(k)]) << "thread " << t << " size " << 41 + k;
        }
        ITextStyle style;
        style.size = 41 + k;
        EXPECT_EQ(FontCache::Instance().Find(style.size, 0, 0, style.font), found[0][size_t(k)]);
    }
    ReleaseEditorCaches();
}

// Two editors on two threads draw with one shared font in their own colours:
// red through the system's drawing, translucent blue through the glyph cache.
// Every pixel of red ink on white keeps green equal to blue, and of blue ink
// red equal to green, unless a draw took the other editor's colour.
TEST(EditorCacheThreads, SharedFontDrawsEachEditorsColour)
{
    auto draw = [](IRgbaColor colour, int same, int other, int& wrong, int& ink) {
        GuiTestPlugin plug;
        IGraphicsHeadless graphics(&plug, 160, 24, 25);
        graphics.CreateBackingBitmaps();
        RasterSysBitmap& back = *graphics.backBuffer;
        ITextStyle style;
        style.size = 15;
        style.colour = colour;
        for (int round = 0; round < 40; ++round) {
            for (int y = 0; y < back.Height(); ++y) {
                for (int x = 0; x < back.Width(); ++x) {
                    back.Pixels()[y * back.Stride() + x] = 0xFFFFFFFFu;
                }
            }
            // Ink over ink keeps the invariant, so a round draws many times.
            for (int draws = 0; draws < 20; ++draws) {
                IRectangle area{0, 0, 160, 24};
                graphics.MeasureText(style, "Snarlbox 12", area);
                area = IRectangle{0, 0, 160, 24};
                graphics.DrawTextInRect(style, "Snarlbox 12", area, false);
            }
            for (int y = 0; y < back.Height(); ++y) {
                for (int x = 0; x < back.Width(); ++x) {
                    RasterPixel p = back.Pixels()[y * back.Stride() + x];
                    int c[3] = {int(p & 0xFF), int((p >> 8) & 0xFF), int((p >> 16) & 0xFF)};
                    ink += (p & 0xFFFFFF) != 0xFFFFFF;
                    wrong += c[same] != c[other];
                }
            }
        }
    };
    int wrongRed = 0, inkRed = 0, wrongBlue = 0, inkBlue = 0;
    std::thread red(draw, IRgbaColor{255, 255, 0, 0}, 0, 1, std::ref(wrongRed), std::ref(inkRed));
    std::thread blue(draw, IRgbaColor{254, 0, 0, 255}, 1, 2, std::ref(wrongBlue), std::ref(inkBlue));
    red.join();
    blue.join();
    EXPECT_GT(inkRed, 1000);
    EXPECT_GT(inkBlue, 1000);
    EXPECT_EQ(wrongRed, 0);
    EXPECT_EQ(wrongBlue, 0);
}

// Pango loads the font configuration on a thread of its own ("[pango] FcInit")
// and sorts font sets on another (FcFontSetSort), handing their results over
// with GLib's locks, which ThreadSanitizer does not see; it then reports the
// copies that fontconfig and harfbuzz make of those results as races.
// Suppressed by library: our own calls into Pango stay under our locks.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libfontconfig.so\n"
           "race:libharfbuzz.so\n";
}
