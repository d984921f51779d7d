// The image cache lives as long as some editor does: editors opened and
// closed many times in one process leave no images behind, and an editor
// that stays keeps its images when another goes.

#include "effect/DistortionEffect.h"
#include "effect/EditorLayout.h"
#include "gui/BitmapCache.h"
#include "gui/IGraphicsHeadless.h"
#include "raster/RasterMemBitmap.h"
#include "tests/gui/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
// The effect with its editor laid out, attached and painted once.
struct EffectWithEditor {
    DistortionEffect effect{nullptr, nullptr, false};
    IGraphicsHeadless* graphics = nullptr;

    EffectWithEditor()
    {
        auto editor = std::make_unique<IGraphicsHeadless>(&effect, kEditorWidth, kEditorHeight, kEditorFrameRate);
        graphics = editor.get();
        BuildDistortionEditor(*graphics, &effect);
        effect.AttachEditor(std::move(editor));
        Paint();
    }
    void Paint()
    {
        graphics->OpenHeadless();
        IRectangle area;
        graphics->GatherDirtyArea(area);
        graphics->PaintDirtyControls(area);
    }
};

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
    auto first = std::make_unique<EffectWithEditor>();
    RasterBitmap* knob = BitmapCache::Instance().Find(101);
    ASSERT_NE(knob, nullptr);
    RasterMemBitmap painted(kEditorWidth, kEditorHeight);
    const RasterBitmap& screen = first->graphics->Screen();
    for (int y = 0; y < screen.Height(); ++y) {
        for (int x = 0; x < screen.Width(); ++x) {
            painted.Pixels()[y * painted.Stride() + x] = PixelAt(screen, x, y);
        }
    }

    {
        EffectWithEditor second;
        EXPECT_EQ(BitmapCache::Instance().Find(101), knob) << "the second editor shares the images";
    }
    ASSERT_EQ(BitmapCache::Instance().Find(101), knob) << "the first editor still draws from them";
    first->Paint();
    EXPECT_TRUE(SamePixels(first->graphics->Screen(), painted));

    first.reset();
    EXPECT_EQ(BitmapCache::Instance().Find(101), nullptr);
    EXPECT_EQ(BitmapCache::Instance().Find(102), nullptr);
    EXPECT_EQ(BitmapCache::Instance().Find(103), nullptr);

    // Opened again: the images come back and look the same.
    EffectWithEditor again;
    EXPECT_NE(BitmapCache::Instance().Find(101), nullptr);
    EXPECT_TRUE(SamePixels(again.graphics->Screen(), painted));
}
