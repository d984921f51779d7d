#include "gui/BitmapCache.h"
#include "gui/FontCache.h"
#include "raster/RasterMemBitmap.h"

#include <gtest/gtest.h>

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

    EXPECT_EQ(FontCache::Instance().Find(12, 0, 0, "NoSuchFaceAnywhere"), nullptr);
}
