#include "BlendReference.h"
#include "FontTestSupport.h"

#include "platform/DeviceContext.h"
#include "raster/RasterSysBitmap.h"
#include "raster/TextScratch.h"

#include <gtest/gtest.h>
#include <functional>
#include <random>
#include <thread>

TEST(RasterCachedFont, DefaultsAndLineHeightFromMetrics)
{
    RasterCachedFont font;
    EXPECT_EQ(font.ForegroundColor(), 0u);
    EXPECT_EQ(font.SetBackgroundColor(1), 0xFFFFFFFFu);
    EXPECT_EQ(font.SetOutlineColor(2), 0xFFFFFFFFu);
    EXPECT_EQ(font.SetBackgroundMode(2), 1);
    EXPECT_EQ(font.LineHeight(), 0);
    EXPECT_EQ(font.SystemFont(), nullptr);

    std::unique_ptr<SystemFont> system = SystemFont::Create("DejaVu Sans", 16, 400, false, 0, 4);
    ASSERT_NE(system, nullptr);
    font.AttachSystemFont(system.get(), 0);
    EXPECT_EQ(font.LineHeight(), system->LineHeight());
    EXPECT_GE(font.LineHeight(), 16);
    EXPECT_LE(font.LineHeight(), 24);
    // A null handle keeps the line height and clears the cache.
    ASSERT_TRUE(font.RenderGlyph('x'));
    font.AttachSystemFont(nullptr, 0);
    EXPECT_EQ(font.LineHeight(), system->LineHeight());
    EXPECT_EQ(font.FindGlyph('x')->mask, 0);
}

TEST(RasterCachedFont, OwnedHandleSurvivesReattachAndIsDeletedWhenReplaced)
{
    RasterCachedFont font;
    SystemFont* first = SystemFont::Create("DejaVu Sans", 12, 400, false, 0, 4).release();
    font.AttachSystemFont(first, FontOwnsHandle);
    font.AttachSystemFont(first, FontOwnsHandle); // same handle: not deleted
    EXPECT_EQ(font.SystemFont(), first);
    EXPECT_GT(first->LineHeight(), 0); // still alive (ASan would report otherwise)
    // A missing face falls back to a usable font; replacing deletes the first.
    font.AttachSystemFont(SystemFont::Create("Verdana", 20, 700, true, 0, 4).release(), FontOwnsHandle);
    EXPECT_GT(font.LineHeight(), first == nullptr ? 0 : 12);
}

TEST(RasterCachedFont, FixedCacheRendersAsciiOnly)
{
    auto font = MakeFont(FontFixedCache);
    for (int c = 0; c < 128; ++c) {
        EXPECT_NE(font->FindGlyph(c)->mask, 0) << c;
    }
    EXPECT_FALSE(font->RenderGlyph(0xE9));
    EXPECT_EQ(font->FindGlyph(0xE9), nullptr);
    RasterMemBitmap b(40, 40);
    FillBitmap(b, 0xFF000000);
    RasterRect r{0, 0, 40, 40};
    EXPECT_EQ(font->RenderText(&b, "\xC3\xA9", -1, &r, 0), 0);
}

TEST(RasterCachedFont, CapitalsGetTwoExtraColumns)
{
    auto font = MakeFont(0);
    ASSERT_TRUE(font->RenderGlyph('A'));
    ASSERT_TRUE(font->RenderGlyph('a'));
    const GlyphRecord A = *font->FindGlyph('A');
    const GlyphRecord a = *font->FindGlyph('a');
    EXPECT_GT(A.advance, 0);
    EXPECT_EQ(A.width, A.advance + 2);
    EXPECT_EQ(a.width, a.advance);
    EXPECT_EQ(A.height, a.height);
    RasterRect r;
    font->RenderText(nullptr, "a", -1, &r, TextCalcRect);
    EXPECT_EQ(r.right, a.advance);
    // Code 0 and the extended table (sorted, found again after more additions).
    EXPECT_TRUE(font->RenderGlyph(0x4E2D));
    EXPECT_TRUE(font->RenderGlyph(0xE9));
    EXPECT_TRUE(font->RenderGlyph(0x100));
    EXPECT_EQ(font->FindGlyph(0x4E2D)->code, 0x4E2D);
    EXPECT_EQ(font->FindGlyph(0xE9)->code, 0xE9);
    EXPECT_EQ(font->FindGlyph(0x101), nullptr);
}

// Post-processing against plain references built from the anti-aliased mask.
TEST(RasterCachedFont, MaskPostProcessingMatchesReferences)
{
    auto plain = MakeFont(0, 24);
    const char* codes = "AgW@%";
    for (const char* c = codes; *c != 0; ++c) {
        std::vector<uint8_t> aa = MaskBytes(*plain, *c);
        const GlyphRecord g = *plain->FindGlyph(*c);
        int w = g.width, h = g.height;
        ASSERT_FALSE(aa.empty());

        auto inverted = MakeFont(FontInvert, 24);
        std::vector<uint8_t> inv = MaskBytes(*inverted, *c);
        auto mono = MakeFont(FontMonochrome, 24);
        std::vector<uint8_t> mo = MaskBytes(*mono, *c);
        std::vector<uint8_t> ref(aa.size());
        for (size_t i = 0; i < aa.size(); ++i) {
            EXPECT_EQ(inv[i], 255 - aa[i]);
            ref[i] = aa[i] > 130 ? 255 : 0; // 130 stays off, 131 is on
            EXPECT_EQ(mo[i], ref[i]);
        }

        auto outline = MakeFont(FontOutline, 24);
        auto shadow = MakeFont(FontShadow | FontOutline, 24);
        std::vector<uint8_t> ol = MaskBytes(*outline, *c), sh = MaskBytes(*shadow, *c);
        auto on = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && ref[y * w + x] == 255; };
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                int i = y * w + x;
                int o = ref[i] ? 255 : (on(x, y - 1) || on(x, y + 1) || on(x - 1, y) || on(x + 1, y)) ? 128 : 0;
                int s = ref[i] ? 255 : (on(x - 1, y) || on(x - 1, y - 1) || on(x, y - 1)) ? 128 : 0;
                EXPECT_EQ(ol[i], o);
                EXPECT_EQ(sh[i], s);
            }
        }

        auto cw = MakeFont(FontVertical, 24);
        auto ccw = MakeFont(FontVertical | FontCounterClockwise, 24);
        std::vector<uint8_t> rc = MaskBytes(*cw, *c), rcc = MaskBytes(*ccw, *c);
        EXPECT_EQ(cw->FindGlyph(*c)->width, h);
        EXPECT_EQ(cw->FindGlyph(*c)->height, w);
        for (int i = 0; i < w; ++i) {
            for (int j = 0; j < h; ++j) {
                EXPECT_EQ(rc[i * h + j], aa[(h - 1 - j) * w + i]);
                EXPECT_EQ(rcc[i * h + j], aa[j * w + (w - 1 - i)]);
            }
        }
    }
}

TEST(RasterCachedFont, DrawGlyphClipsToTheRectangle)
{
    auto font = MakeFont(FontMonochrome, 24);
    ASSERT_TRUE(font->RenderGlyph('W'));
    const GlyphRecord g = *font->FindGlyph('W');
    std::vector<uint8_t> mask = MaskBytes(*font, 'W');
    RasterMemBitmap b(64, 64);
    FillBitmap(b, 0xFF000000);
    font->SetForegroundColor(0xFFFFFFFF);
    RasterRect clip{20, 20, 50, 50};
    int x = 20 - g.width / 2, y = 20 - g.height / 2;
    ASSERT_TRUE(font->DrawGlyph(&b, 'W', x, y, clip));
    for (int py = 0; py < 64; ++py) {
        for (int px = 0; px < 64; ++px) {
            bool inside = px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom;
            bool inGlyph = px >= x && py >= y && px < x + g.width && py < y + g.height;
            bool covered = inside && inGlyph && mask[(py - y) * g.width + (px - x)] == 255;
            EXPECT_EQ(PixelAt(b, px, py), covered ? 0xFFFFFFFFu : 0xFF000000u) << px << "," << py;
        }
    }
    EXPECT_FALSE(font->DrawGlyph(&b, 'W', 50, 20, clip));
    EXPECT_FALSE(font->DrawGlyph(&b, 'W', 20, 20 - g.height, clip));
    EXPECT_FALSE(font->DrawGlyph(&b, 0x2603, 20, 20, clip)); // never rendered
}

TEST(RasterCachedFont, OpaqueBackgroundFillsTheClippedCell)
{
    auto font = MakeFont(0, 20);
    font->RenderGlyph('o');
    const GlyphRecord g = *font->FindGlyph('o');
    RasterMemBitmap b(40, 40);
    FillBitmap(b, 0xFF000000);
    font->SetBackgroundMode(2);
    font->SetBackgroundColor(0xFF0000FF);
    font->SetForegroundColor(0xFFFF0000);
    RasterRect clip{0, 0, 40, 12};
    ASSERT_TRUE(font->DrawGlyph(&b, 'o', 5, 3, clip));
    std::vector<uint8_t> mask = MaskBytes(*font, 'o');
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            bool cell = x >= 5 && x < 5 + g.width && y >= 3 && y < std::min(3 + g.height, 12);
            RasterPixel p = PixelAt(b, x, y);
            if (!cell) {
                EXPECT_EQ(p, 0xFF000000u);
            } else if (mask[(y - 3) * g.width + (x - 5)] == 0) {
                EXPECT_EQ(p, 0xFF0000FFu);
            } else {
                // Blue moves from the background's 255 toward the text's 0:
                // 0 + (255 - 0) * (255 - m) / 256.
                EXPECT_EQ(int(p & 0xFF), (255 * (255 - mask[(y - 3) * g.width + (x - 5)])) / 256);
            }
        }
    }
}

// Every blend mode, mask kind and a spread of alphas against the independent
// model, on random destinations.
TEST(RasterCachedFont, CompositingMatchesTheReferenceModel)
{
    std::mt19937 rng(7);
    for (int flags : {0, FontMonochrome, FontOutline}) {
        auto font = MakeFont(flags, 20);
        std::vector<uint8_t> mask = MaskBytes(*font, 'g');
        const GlyphRecord g = *font->FindGlyph('g');
        const int kind = flags == 0 ? 0 : flags == FontMonochrome ? 1 : 2;
        for (int mode : {0, 1, 2, 3, 4, 5, 6, 0x10000}) {
            for (float alpha : {1.0f, 0.5f, 0.999f, 1.5f, -0.5f, 0.003f, 1.0f / 256}) {
                RasterMemBitmap b(30, 30);
                std::vector<RasterPixel> before(30 * 30);
                for (int y = 0; y < 30; ++y) {
                    for (int x = 0; x < 30; ++x) {
                        before[size_t(y * 30 + x)] = b.Pixels()[y * b.Stride() + x] = RasterPixel(rng());
                    }
                }
                const RasterPixel colour = RasterPixel(rng()), outline = RasterPixel(rng());
                font->SetForegroundColor(colour);
                font->SetOutlineColor(outline);
                font->SetBlend(mode, alpha);
                font->DrawGlyph(&b, 'g', 2, 2, RasterRect{0, 0, 30, 30});
                for (int y = 0; y < 30; ++y) {
                    for (int x = 0; x < 30; ++x) {
                        RasterPixel d = before[size_t(y * 30 + x)], expected = d;
                        int gx = x - 2, gy = y - 2;
                        if (gx >= 0 && gy >= 0 && gx < g.width && gy < g.height) {
                            int m = mask[size_t(gy * g.width + gx)];
                            RasterPixel c = kind == 2 && m != 255 ? outline : colour;
                            expected = m == 0 ? d : blendref::Glyph(c, d, m, alpha, mode, kind);
                        }
                        ASSERT_EQ(PixelAt(b, x, y), expected)
                            << "flags " << flags << " mode " << mode << " alpha " << alpha << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

// Every font renders into the one process-wide scratch, white on black, so
// the scratch holds the last glyph rendered by whichever font.
TEST(RasterCachedFont, GlyphsRenderIntoTheSharedScratch)
{
    std::lock_guard<std::recursive_mutex> hold(TextLock());
    RasterSysBitmap& scratch = GlyphScratchBitmap();
    scratch.SetSize(0, 0);
    auto small = MakeFont(0, 12);
    ASSERT_GE(scratch.Width(), 256); // attaching a font prepares it
    ASSERT_GE(scratch.Height(), 256);
    ASSERT_NE(scratch.DeviceContext(), nullptr);
    EXPECT_EQ(scratch.DeviceContext()->TextColor(), 0xFFFFFFu);
    EXPECT_EQ(scratch.DeviceContext()->BkMode(), DeviceContext::Opaque);
    EXPECT_EQ(scratch.DeviceContext()->BkColor(), 0u);
    auto large = MakeFont(0, 30);
    for (RasterCachedFont* font : {small.get(), large.get()}) {
        ASSERT_TRUE(font->RenderGlyph('H'));
        const GlyphRecord g = *font->FindGlyph('H');
        const uint8_t* mask = font->MaskOf(g);
        ASSERT_GE(scratch.Width(), g.width);
        ASSERT_GE(scratch.Height(), g.height);
        for (int y = 0; y < g.height; ++y) {
            for (int x = 0; x < g.width; ++x) {
                RasterPixel p = PixelAt(scratch, x, y);
                EXPECT_EQ(int((p >> 16) & 0xFF), mask[y * g.width + x]) << x << "," << y;
            }
        }
    }
}

// Two fonts rendering on two threads take turns at the shared scratch: every
// mask comes out as the same font renders it alone.
TEST(RasterFontThreads, FontsOnTwoThreadsRenderTheirOwnMasks)
{
    auto render = [](int height, std::vector<std::vector<uint8_t>>& masks) {
        std::unique_ptr<RasterCachedFont> font;
        {
            // Fonts are made under the text lock, as the editor makes them.
            std::lock_guard<std::recursive_mutex> hold(TextLock());
            font = MakeFont(0, height);
        }
        for (int code = 0x100; code < 0x180; ++code) {
            masks.push_back(MaskBytes(*font, code));
        }
    };
    std::vector<std::vector<uint8_t>> small, large, smallAlone, largeAlone;
    std::thread first(render, 13, std::ref(small));
    std::thread second(render, 29, std::ref(large));
    first.join();
    second.join();
    render(13, smallAlone);
    render(29, largeAlone);
    EXPECT_EQ(small, smallAlone);
    EXPECT_EQ(large, largeAlone);
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
