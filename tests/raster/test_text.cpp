#include "FontTestSupport.h"

#include "raster/RasterSysBitmap.h"
#include "raster/TextScratch.h"

#include <string>

#include <gtest/gtest.h>

namespace {

RasterRect Measure(RasterCachedFont& font, const char* text, int length = -1, int format = 0)
{
    RasterRect r{5, 7, 5, 7};
    font.RenderText(nullptr, text, length, &r, format | TextCalcRect);
    r.right -= 5, r.bottom -= 7, r.left = r.top = 0;
    return r;
}

// Leftmost column with a non-black pixel in rows [y0, y1), or -1.
int LeftmostInk(const RasterBitmap& b, int y0, int y1)
{
    for (int x = 0; x < b.Width(); ++x) {
        for (int y = y0; y < y1; ++y) {
            if ((PixelAt(b, x, y) & 0xFFFFFF) != 0) {
                return x;
            }
        }
    }
    return -1;
}

} // namespace

TEST(RasterText, GlyphPathMeasuresLinesAndLengths)
{
    auto font = MakeFont(0);
    RasterRect ab = Measure(*font, "ab"), cd = Measure(*font, "cd"), abcd = Measure(*font, "ab cd");
    int glyphHeight = font->FindGlyph('a')->height;
    RasterRect two = Measure(*font, "ab\ncd");
    EXPECT_EQ(two.right, std::max(ab.right, cd.right));
    EXPECT_EQ(two.bottom, font->LineHeight() + glyphHeight);
    RasterRect r{0, 0, 0, 0};
    EXPECT_EQ(font->RenderText(nullptr, "ab\r\ncd", -1, &r, TextCalcRect), two.bottom);
    EXPECT_EQ(r.right, two.right);
    RasterRect one = Measure(*font, "ab\ncd", -1, TextSingleLine);
    EXPECT_EQ(one.right, abcd.right);
    EXPECT_EQ(one.bottom, glyphHeight);
    RasterRect part = Measure(*font, "abc", 2);
    EXPECT_EQ(part.right, ab.right);
    // Without a bitmap and without measuring nothing happens.
    EXPECT_EQ(font->RenderText(nullptr, "ab", -1, &r, 0), 0);
}

TEST(RasterText, Utf8DecodingChoosesTheGlyphs)
{
    auto font = MakeFont(0);
    EXPECT_EQ(Measure(*font, "\xF0\x9F\x98\x80").right, Measure(*font, " ").right);
    int e = Measure(*font, "\xC3\xA9").right;
    ASSERT_NE(font->FindGlyph(0xE9), nullptr);
    EXPECT_EQ(e, font->FindGlyph(0xE9)->advance);
    EXPECT_GT(e, 0);
    int a = Measure(*font, "a").right;
    EXPECT_EQ(Measure(*font, "\xE9" "a").right, e + a);
    // A sequence cut by the length decodes as its lead byte alone.
    int lead = Measure(*font, "\xC3").right;
    EXPECT_EQ(Measure(*font, "\xC3\xA9", 1).right, lead);
    int euro = Measure(*font, "\xE2\x82\xAC").right;
    EXPECT_EQ(euro, font->FindGlyph(0x20AC)->advance);
}

TEST(RasterText, CentredLinesStartAtTheSameX)
{
    auto font = MakeFont(0);
    font->SetForegroundColor(0xFFFFFFFF);
    RasterMemBitmap b(200, 60);
    FillBitmap(b, 0xFF000000);
    RasterRect r{0, 0, 200, 60};
    int lh = font->LineHeight();
    int h = font->RenderText(&b, "ab\nabcdef", -1, &r, TextCenter);
    EXPECT_EQ(h, lh + font->FindGlyph('a')->height);
    int first = LeftmostInk(b, 0, lh), second = LeftmostInk(b, lh, 2 * lh);
    EXPECT_GT(first, 50);
    EXPECT_EQ(first, second);
    int width = Measure(*font, "abcdef").right;
    EXPECT_NEAR(first, (200 - width) / 2, 3);
}

TEST(RasterText, ClipRectangleAndNoClip)
{
    auto font = MakeFont(0);
    font->SetForegroundColor(0xFFFFFFFF);
    for (int format : {0, TextNoClip}) {
        RasterMemBitmap b(60, 40);
        FillBitmap(b, 0xFF000000);
        RasterRect r{10, 10, 14, 14};
        font->RenderText(&b, "WW", -1, &r, format);
        bool outside = false, inside = false;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 60; ++x) {
                bool in = x >= 10 && x < 14 && y >= 10 && y < 14;
                bool ink = (PixelAt(b, x, y) & 0xFFFFFF) != 0;
                (in ? inside : outside) |= ink;
            }
        }
        EXPECT_TRUE(inside);
        EXPECT_EQ(outside, format == TextNoClip);
    }
    RasterMemBitmap b(20, 20);
    RasterRect off{30, 30, 40, 40};
    EXPECT_EQ(font->RenderText(&b, "W", -1, &off, 0), 0);
}

TEST(RasterText, ColourAlphaScalesTheWeight)
{
    auto font = MakeFont(FontMonochrome);
    font->SetForegroundColor(0x80FFFFFF);
    RasterMemBitmap b(40, 30);
    FillBitmap(b, 0xFF000000);
    RasterRect r{0, 0, 40, 30};
    font->RenderText(&b, "H", -1, &r, TextUseColourAlpha);
    std::vector<uint8_t> mask = MaskBytes(*font, 'H');
    const GlyphRecord g = *font->FindGlyph('H');
    // Alpha 1.0 * 128 / 255 gives the weight k = 128; a covered pixel's green
    // moves from 0 toward 255: 255 + (0 - 255) * (256 - 128) / 256 = 255 - 127 = 128.
    for (int y = 0; y < g.height; ++y) {
        for (int x = 0; x < g.width; ++x) {
            int expect = mask[y * g.width + x] ? 128 : 0;
            EXPECT_EQ(int((PixelAt(b, x, y) >> 8) & 0xFF), expect);
        }
    }
}

TEST(RasterText, DirectPathMeasuresAndDraws)
{
    auto direct = MakeFont(FontDirectDrawing);
    RasterRect r{3, 4, 3, 4};
    int h = direct->RenderText(nullptr, "Hello", -1, &r, TextCalcRect);
    EXPECT_EQ(h, r.bottom - 4);
    EXPECT_GE(r.bottom - 4, direct->LineHeight() - 2);
    EXPECT_GT(r.right - 3, 20);
    RasterRect accented{0, 0, 0, 0};
    direct->RenderText(nullptr, "\xC3\xA9t\xC3\xA9", -1, &accented, TextCalcRect);
    RasterRect latin{0, 0, 0, 0};
    direct->RenderText(nullptr, "\xE9t\xE9", -1, &latin, TextCalcRect); // as code page bytes
    EXPECT_EQ(accented.right, latin.right);

    direct->SetForegroundColor(0xFFFFFFFF);
    RasterMemBitmap mem(80, 30);
    FillBitmap(mem, 0xFF000000);
    RasterSysBitmap sys(80, 30);
    FillBitmap(sys, 0xFF000000);
    RasterRect a{0, 0, 80, 30}, c{0, 0, 80, 30};
    EXPECT_GT(direct->RenderText(&mem, "Hi", -1, &a, TextCenter), 0);
    EXPECT_GT(direct->RenderText(&sys, "Hi", -1, &c, TextCenter), 0);
    int left = LeftmostInk(mem, 0, 30);
    EXPECT_GT(left, 20);
    EXPECT_NEAR(left, LeftmostInk(sys, 0, 30), 1);
    // The own-context path reports the measured rectangle back.
    RasterRect m{2, 2, 2, 2};
    direct->RenderText(&sys, "Hello", -1, &m, TextCalcRect);
    EXPECT_EQ(m.right - 2, r.right - 3);
}

// The scratch the direct path draws through is sized to the text's cell and
// given back when large, whatever rectangles measured or drew before.
TEST(RasterText, DirectPathScratchStaysSmall)
{
    auto direct = MakeFont(FontDirectDrawing);
    auto scratchPixels = [] {
        std::lock_guard<std::recursive_mutex> hold(TextLock());
        RasterSysBitmap& scratch = DirectScratchBitmap();
        return int64_t(scratch.Stride()) * scratch.Height();
    };
    RasterRect wide{0, 0, 3000, 1}, tall{0, 0, 1, 3000};
    EXPECT_GT(direct->RenderText(nullptr, "W", -1, &wide, TextCalcRect), 0);
    EXPECT_GT(direct->RenderText(nullptr, "W", -1, &tall, TextCalcRect), 0);
    EXPECT_EQ(wide.right, tall.right); // both measured the one character
    EXPECT_LE(scratchPixels(), 256 * 256);

    direct->SetForegroundColor(0xFFFFFFFF);
    RasterMemBitmap target(200, 40);
    FillBitmap(target, 0xFF000000);
    RasterRect huge{0, 0, 3000, 3000};
    direct->RenderText(&target, "W", -1, &huge, 0);
    EXPECT_LE(scratchPixels(), 256 * 256);
    EXPECT_GE(LeftmostInk(target, 0, 40), 0);
    // A text wider than the kept size is drawn, and its scratch given back.
    std::string line(600, 'W');
    RasterRect at{0, 0, 0, 0};
    direct->RenderText(&target, line.c_str(), -1, &at, TextNoClip);
    EXPECT_LE(scratchPixels(), 256 * 256);
    EXPECT_NE(PixelAt(target, 190, 8) & 0xFFFFFF, 0u); // ink at the far end
}

TEST(RasterText, CounterClockwiseTextRunsUpFromTheBottom)
{
    auto font = MakeFont(FontVertical | FontCounterClockwise);
    font->SetForegroundColor(0xFFFFFFFF);
    RasterRect size = Measure(*font, "ab");
    EXPECT_EQ(size.bottom, font->FindGlyph('a')->height + font->FindGlyph('b')->height);
    RasterMemBitmap b(40, 60);
    FillBitmap(b, 0xFF000000);
    RasterRect r{0, 0, 40, 60};
    font->RenderText(&b, "ab", -1, &r, 0);
    int top = -1, bottom = -1;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 40; ++x) {
            if ((PixelAt(b, x, y) & 0xFFFFFF) != 0) {
                bottom = y;
                top = top < 0 ? y : top;
            }
        }
    }
    EXPECT_GE(top, 0);
    EXPECT_LT(bottom, size.bottom);
}

// Font configuration keeps its caches for the life of the process; the leak
// checker of sanitizer builds is told so here, for this test program only.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
