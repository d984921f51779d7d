#include "gui/FontCache.h"
#include "gui/ITextControl.h"
#include "raster/RasterSysBitmap.h"
#include "tests/gui/GuiTestSupport.h"

#include <gtest/gtest.h>

TEST(EditorText, MeasureCentresTheTextAndFontsAreShared)
{
    GuiTestPlugin plug;
    IGraphicsHeadless graphics(&plug, 200, 40, 25);
    graphics.CreateBackingBitmaps();
    ITextStyle style;
    IRectangle area{10, 0, 110, 20};
    ASSERT_TRUE(graphics.MeasureText(style, "Snarl", area));
    const int w = area.right - area.left;
    EXPECT_GT(w, 0);
    EXPECT_GT(area.bottom, 0);
    EXPECT_EQ(area.left, 60 - w / 2);

    // Quality is not part of the key: both styles get the first font.
    ITextStyle a;
    ITextStyle b;
    b.quality = 2;
    RasterCachedFont* first = graphics.GetCachedFont(a);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(graphics.GetCachedFont(b), first);
    EXPECT_EQ(b.cachedFont, first);
    b.size = 20;
    EXPECT_NE(graphics.GetCachedFont(b), first);

    EXPECT_TRUE(graphics.DrawTextInRect(style, "", area, false));
    EXPECT_TRUE(graphics.DrawTextInRect(style, nullptr, area, false));
}

TEST(EditorText, TextControlDrawsInkIntoItsArea)
{
    GuiTestPlugin plug;
    IGraphicsHeadless graphics(&plug, 120, 30, 25);
    graphics.CreateBackingBitmaps();
    RasterBitmap& back = *graphics.backBuffer;
    for (int y = 0; y < back.Height(); ++y) {
        for (int x = 0; x < back.Width(); ++x) {
            back.Pixels()[y * back.Stride() + x] = 0xFFFFFFFFu;
        }
    }
    ITextStyle style;
    style.size = 16;
    graphics.AddControl(std::make_unique<ITextControl>(&plug, IRectangle{0, 0, 120, 30}, style, "Wet %"));
    IRectangle area;
    ASSERT_TRUE(graphics.GatherDirtyArea(area));
    graphics.PaintDirtyControls(area);
    int dark = 0;
    for (int y = 0; y < back.Height(); ++y) {
        for (int x = 0; x < back.Width(); ++x) {
            dark += (back.Pixels()[y * back.Stride() + x] & 0xFF) < 128;
        }
    }
    EXPECT_GT(dark, 10);
}

// Font configuration keeps its caches for the life of the process; they are
// not leaks of the editor.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
