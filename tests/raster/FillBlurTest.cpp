#include "BlendReference.h"
#include "RasterTestSupport.h"

#include "raster/Blur.h"
#include "raster/Fill.h"
#include "raster/TextScratch.h"
#include "raster/RasterSysBitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

// The blur from its definition: every row from the original image, except the
// bottom row, whose vertical neighbour is the row above as already blurred.
void ReferenceBlur(TestBitmap& b, int w, int h)
{
    TestBitmap original = b;
    auto o = [&](int x, int y) { return original.At(x, y); };
    auto half = [](RasterPixel p) { return (p >> 1) & 0x7F7F7F7Fu; };
    auto quarter = [](RasterPixel p) { return (p >> 2) & 0x3F3F3F3Fu; };
    auto eighth = [](RasterPixel p) { return (p >> 3) & 0x1F1F1F1Fu; };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            RasterPixel c = o(x, y);
            RasterPixel left = x > 0 ? o(x - 1, y) : 0, right = x + 1 < w ? o(x + 1, y) : 0;
            bool first = x == 0, last = x + 1 == w;
            RasterPixel v;
            if (y == 0 || y + 1 == h) {
                RasterPixel below = y == 0 ? o(x, 1) : b.At(x, y - 1);
                v = first ? quarter(below) + quarter(right) + half(c)
                    : last ? quarter(below) + half(c) + quarter(left)
                           : eighth(right) + quarter(below) + half(c) + eighth(left);
            } else {
                RasterPixel above = o(x, y - 1), below = o(x, y + 1);
                v = first ? eighth(above) + eighth(below) + quarter(right) + half(c)
                    : last ? eighth(above) + eighth(below) + half(c) + quarter(left)
                           : eighth(below) + eighth(above) + eighth(right) + half(c) + eighth(left);
            }
            b.At(x, y) = v;
        }
    }
}

} // namespace

TEST(FillRectangle, CopyAtFullWeightWritesTheColour)
{
    TestBitmap b(4, 4, 4, false);
    std::fill(b.memory.begin(), b.memory.end(), 0x11223344u);
    FillRectangle(&b, -1, 1, 3, 10, 0x80FF0000u, 1.0f, BlendModeCopy);
    EXPECT_EQ(b.At(0, 1), 0x80FF0000u);
    EXPECT_EQ(b.At(1, 3), 0x80FF0000u);
    EXPECT_EQ(b.At(2, 1), 0x11223344u);
    EXPECT_EQ(b.At(0, 0), 0x11223344u);

    std::vector<RasterPixel> before = b.memory;
    FillRectangle(&b, 0, 0, 4, 4, 0x00FFFFFFu, 1.0f, BlendUseSourceAlpha | BlendModeAdd);
    FillRectangle(&b, 0, 0, 4, 4, 0xFFFFFFFFu, 0.0f, BlendModeCopy);
    FillRectangle(&b, 4, 0, 4, 4, 0xFFFFFFFFu, 1.0f, BlendModeCopy);
    FillRectangle(&b, 0, 0, 4, 4, 0xFFFFFFFFu, 1.0f, 6);
    FillRectangle(&b, 0, 0, 4, 4, 0xFFFFFFFFu, -1.0f, BlendModeCopy);
    EXPECT_EQ(b.memory, before);
}

TEST(FillRectangle, EveryModeMatchesReferenceOnRandomImages)
{
    std::mt19937 rng(7);
    // The quarter weights exercise the shift-and-mask fast paths of copy.
    const float alphas[] = {1.0f, 0.5f, 0.25f, 0.75f, 0.3f, 0.999f, -0.5f, 0.003f, 1.0f / 256, 1.5f, -1.5f};
    for (int mode : {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005, 6, 0xF3}) {
        for (float alpha : alphas) {
            for (int round = 0; round < 3; ++round) {
                int w = 1 + int(rng() % 30), h = 1 + int(rng() % 10);
                TestBitmap b(w, h, w + int(rng() % 3), rng() % 2 == 0);
                FillRandom(b, rng);
                TestBitmap expected = b;
                RasterPixel colour = RasterPixel(rng());
                int x = int(rng() % (w + 10)) - 5, y = int(rng() % (h + 6)) - 3;
                int fw = int(rng() % (w + 8)) - 2, fh = int(rng() % (h + 6)) - 2;
                FillRectangle(&b, x, y, fw, fh, colour, alpha, mode);
                for (int py = std::max(0, y); py < std::min(h, y + fh); ++py) {
                    for (int px = std::max(0, x); px < std::min(w, x + fw); ++px) {
                        expected.At(px, py) = blendref::Fill(colour, expected.At(px, py), alpha, mode);
                    }
                }
                ASSERT_EQ(b.memory, expected.memory) << "mode " << mode << " alpha " << alpha;
            }
        }
    }
}

TEST(FillRectangle, AddWeightBeyondOpaqueSaturatesAlpha)
{
    TestBitmap b(1, 1, 1, false);
    b.At(0, 0) = 0x10101010u;
    FillRectangle(&b, 0, 0, 1, 1, 0x00010203u, 2.0f, BlendModeAdd);
    // Colour channels gain s * 512 / 256; alpha gains w * w / 256, saturated.
    EXPECT_EQ(b.At(0, 0), 0xFF121416u);
}

TEST(ClearBitmap, ZeroesRowsButNotPadding)
{
    TestBitmap b(3, 2, 5, true);
    std::fill(b.memory.begin(), b.memory.end(), 0xFFFFFFFFu);
    ClearBitmap(&b);
    EXPECT_EQ(b.memory, (std::vector<RasterPixel>{0, 0, 0, ~0u, ~0u, 0, 0, 0, ~0u, ~0u}));
    ClearBitmap(nullptr);
}

TEST(BlurBitmap, MatchesReferenceIncludingWideRows)
{
    std::mt19937 rng(99);
    for (int round = 0; round < 30; ++round) {
        int w = round == 0 ? 1100 : 2 + int(rng() % 40), h = 2 + int(rng() % 9);
        TestBitmap b(w + 3, h + 2, w + 5, rng() % 2 == 0);
        FillRandom(b, rng);
        TestBitmap expected = b;
        BlurBitmapArea(b, w, h);
        ReferenceBlur(expected, w, h);
        ASSERT_EQ(b.memory, expected.memory) << w << "x" << h;
    }
}

TEST(BlurBitmap, WorksOnTheGlyphScratchAndIgnoresThinAreas)
{
    std::lock_guard<std::recursive_mutex> hold(TextLock());
    RasterSysBitmap& scratch = GlyphScratchBitmap();
    scratch.SetSize(9, 5);
    std::mt19937 rng(3);
    TestBitmap expected(9, 5, scratch.Stride(), false);
    FillRandom(expected, rng);
    std::copy(expected.memory.begin(), expected.memory.end(), scratch.Pixels());
    BlurBitmap(1, 5);
    BlurBitmap(9, 1);
    EXPECT_TRUE(std::equal(expected.memory.begin(), expected.memory.end(), scratch.Pixels()));
    BlurBitmap(100, 100); // clipped to 9 x 5
    ReferenceBlur(expected, 9, 5);
    EXPECT_TRUE(std::equal(expected.memory.begin(), expected.memory.end(), scratch.Pixels()));
    scratch.SetSize(0, 0);
}
