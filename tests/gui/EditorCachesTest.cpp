// The image cache lives as long as some editor does: editors opened and
// closed many times in one process leave no images behind, and an editor
// that stays keeps its images when another goes.

#include "gui/BitmapCache.h"
#include "raster/RasterMemBitmap.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/ReferenceEditor.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
bool SamePixels(const RasterBitmap& a, const RasterBitmap& b)
{
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            if (PixelAt(a, x, y) != PixelAt(b, x, y)) {
                return false;
            }
        }
    }
    return a.Width() == b.Width() && a.Height() == b.Height();
}
} // namespace

TEST(EditorCaches, TheLastEditorToGoEmptiesTheCacheAndTheOthersKeepTheirImages)
{
    BitmapCache::Instance().Clear();
    auto first = std::make_unique<ReferenceEditor>();
    RasterBitmap* knob = BitmapCache::Instance().Find(101);
    ASSERT_NE(knob, nullptr);
    RasterMemBitmap painted(kEditorWidth, kEditorHeight);
    const RasterBitmap& screen = first->Screen();
    for (int y = 0; y < screen.Height(); ++y) {
        for (int x = 0; x < screen.Width(); ++x) {
            painted.Pixels()[y * painted.Stride() + x] = PixelAt(screen, x, y);
        }
    }

    {
        ReferenceEditor second;
        EXPECT_EQ(BitmapCache::Instance().Find(101), knob) << "the second editor shares the images";
    }
    ASSERT_EQ(BitmapCache::Instance().Find(101), knob) << "the first editor still draws from them";
    first->graphics->OpenHeadless(); // everything drawn again
    first->Paint();
    EXPECT_TRUE(SamePixels(first->Screen(), painted));

    first.reset();
    EXPECT_EQ(BitmapCache::Instance().Find(101), nullptr);
    EXPECT_EQ(BitmapCache::Instance().Find(102), nullptr);
    EXPECT_EQ(BitmapCache::Instance().Find(103), nullptr);

    // Opened again: the images come back and look the same.
    ReferenceEditor again;
    EXPECT_NE(BitmapCache::Instance().Find(101), nullptr);
    EXPECT_TRUE(SamePixels(again.Screen(), painted));
}
