#include "gui/FontCache.h"
#include "gui/ITextControl.h"
#include "platform/TextDraw.h"
#include "raster/RasterCachedFont.h"
#include "raster/RasterSysBitmap.h"
#include "tests/gui/GuiTestSupport.h"

#include <gtest/gtest.h>

TEST(EditorText, MeasuredTextIsPlacedByTheStyleAlignment)
{
    GuiTestPlugin plug;
    IGraphicsHeadless graphics(&plug, 200, 40, 25);
    graphics.CreateBackingBitmaps();
    ITextStyle style;
    // The text's own size, measured through the font rather than the editor.
    RasterCachedFont* font = graphics.GetCachedFont(style);
    ASSERT_NE(font, nullptr);
    RasterRect own{};
    font->RenderText(nullptr, "Snarl", -1, &own, TextCalcRect | TextNoClip);
    const int w = own.right, h = own.bottom;
    ASSERT_GT(w, 10);
    ASSERT_GT(h, 5);

    // Centred in (10, 0, 110, 20): the middle is 60.
    IRectangle area{10, 0, 110, 20};
    ASSERT_TRUE(graphics.MeasureText(style, "Snarl", area));
    EXPECT_EQ(area, (IRectangle{60 - w / 2, 0, 60 - w / 2 + w, h}));
    style.align = ITextStyle::AlignRight;
    area = IRectangle{10, 3, 110, 20};
    ASSERT_TRUE(graphics.MeasureText(style, "Snarl", area));
    EXPECT_EQ(area, (IRectangle{110 - w, 3, 110, 3 + h}));
    style.align = ITextStyle::AlignLeft;
    area = IRectangle{10, 3, 110, 20};
    ASSERT_TRUE(graphics.MeasureText(style, "Snarl", area));
    EXPECT_EQ(area, (IRectangle{10, 3, 10 + w, 3 + h}));

    EXPECT_TRUE(graphics.DrawTextInRect(style, "", area, false));
    EXPECT_TRUE(graphics.DrawTextInRect(style, nullptr, area, false));
}

TEST(EditorText, StylesKeepTheirFontAndShareItByKey)
{
    GuiTestPlugin plug;
    IGraphicsHeadless graphics(&plug, 200, 40, 25);
    graphics.CreateBackingBitmaps();
    // Drawing finds the font once and keeps it in the style.
    ITextStyle style;
    ASSERT_EQ(style.cachedFont, nullptr);
    IRectangle area{0, 0, 200, 40};
    ASSERT_TRUE(graphics.DrawTextInRect(style, "Drive", area, false));
    RasterCachedFont* kept = style.cachedFont;
    ASSERT_NE(kept, nullptr);
    ITextStyle measured;
    ASSERT_TRUE(graphics.MeasureText(measured, "Drive", area));
    EXPECT_EQ(measured.cachedFont, kept);
    // A kept font is used as it is: a style holding a larger font measures taller.
    ITextStyle large;
    large.size = 30;
    RasterCachedFont* big = graphics.GetCachedFont(large);
    ASSERT_NE(big, kept);
    ITextStyle holder;
    holder.cachedFont = big;
    IRectangle small{0, 0, 200, 40}, tall{0, 0, 200, 40};
    graphics.MeasureText(measured, "Drive", small);
    graphics.MeasureText(holder, "Drive", tall);
    EXPECT_GT(tall.bottom, small.bottom);

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
