// Glyph compositing with expected pixels worked out by hand. A font drawn
// without antialiasing has mask bytes of only 0 and 255, the blurred one
// also 31 beside every vertical edge (a left neighbour of 255 gives
// 255 / 8 = 31), so the weight of each pixel is known. Channels are listed
// blue, green, red, alpha; a glyph's alpha channel takes 255 as its source.
// Text colour 0xC8503010 (B 16, G 48, R 80), destination 0x80C86432
// (B 50, G 100, R 200, A 128).
#include "FontTestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr RasterPixel kText = 0xC8503010u;
constexpr RasterPixel kDest = 0x80C86432u;
constexpr int kNonAntialiased = SystemFont::NonAntialiasedQuality;

// Draws the glyph over kDest and returns the first pixel whose mask byte is
// m; every pixel with mask 0 must be untouched.
RasterPixel Composited(RasterCachedFont& font, int code, int m, int mode, float alpha)
{
    std::vector<uint8_t> mask = MaskBytes(font, code);
    const GlyphRecord g = *font.FindGlyph(code);
    RasterMemBitmap b(g.width, g.height);
    FillBitmap(b, kDest);
    font.SetForegroundColor(kText);
    font.SetBlend(mode, alpha);
    font.DrawGlyph(&b, code, 0, 0, RasterRect{0, 0, g.width, g.height});
    RasterPixel found = 0;
    bool seen = false;
    for (int y = 0; y < g.height; ++y) {
        for (int x = 0; x < g.width; ++x) {
            int v = mask[size_t(y * g.width + x)];
            if (v == 0) {
                EXPECT_EQ(PixelAt(b, x, y), kDest) << x << "," << y;
            } else if (v == m && !seen) {
                found = PixelAt(b, x, y);
                seen = true;
            }
        }
    }
    EXPECT_TRUE(seen) << "no mask byte " << m << " in glyph " << code;
    return found;
}

} // namespace

TEST(GlyphByHand, CoveredPixelsInEveryModeAtFullWeight)
{
    auto font = MakeFont(0, 24, kNonAntialiased);
    // Alpha 1.0, mask 255: k = m + 1 = 256.
    EXPECT_EQ(Composited(*font, 'H', 255, 0, 1.0f), 0xFF503010u); // copy: the colour, alpha 255
    // add: B 50 + 16 = 66; G 100 + 48 = 148; R 200 + 80 -> 255; A 128 + 255 -> 255
    EXPECT_EQ(Composited(*font, 'H', 255, 1, 1.0f), 0xFFFF9442u);
    // dodge: B 12800 / 240 = 53; G 25600 / 208 = 123; R 51200 / 176 -> 255; A t 255 > 254 -> 255
    EXPECT_EQ(Composited(*font, 'H', 255, 2, 1.0f), 0xFFFF7B35u);
    // multiply: s * d / 256: B 3; G 18; R 62; A 65280 * 128 / 65536 = 127
    EXPECT_EQ(Composited(*font, 'H', 255, 3, 1.0f), 0x7F3E1203u);
    // overlay: B 14; G 61; R 183 (as the blit at k 256);
    // A t 65280: (-32512 * 128 / 256 = -16256; 49024) * 128 / 32768 = 191
    EXPECT_EQ(Composited(*font, 'H', 255, 4, 1.0f), 0xBFB73D0Eu);
    // 1.5 gives A 384, k = min(384 * 255 / 256, 256) = 256: the same pixels
    EXPECT_EQ(Composited(*font, 'H', 255, 1, 1.5f), 0xFFFF9442u);
    // Weight 0 draws nothing.
    EXPECT_EQ(Composited(*font, 'H', 255, 1, 0.003f), kDest);
}

TEST(GlyphByHand, HsvGlyphShiftsTheDestination)
{
    auto font = MakeFont(0, 24, kNonAntialiased);
    std::vector<uint8_t> mask = MaskBytes(*font, 'H');
    const GlyphRecord g = *font->FindGlyph('H');
    RasterMemBitmap b(g.width, g.height);
    // Destination R 200 G 60 B 20 (hue 14, S 229, V 200); colour shifts R 160,
    // G 128, B 128 add k * 48 / 256 to the hue; alpha becomes 255.
    for (float alpha : {1.0f, 0.5f}) {
        FillBitmap(b, 0x80C83C14u);
        font->SetForegroundColor(0x00A08080u);
        font->SetBlend(5, alpha);
        font->DrawGlyph(&b, 'H', 0, 0, RasterRect{0, 0, g.width, g.height});
        size_t covered = size_t(std::find(mask.begin(), mask.end(), 255) - mask.begin());
        ASSERT_LT(covered, mask.size());
        RasterPixel p = PixelAt(b, int(covered) % g.width, int(covered) / g.width);
        if (alpha == 1.0f) {
            // k 256: hue 62; up = 200 * (16384 - 2 * 229) / 16384 = 194; R V, G up, B m 21
            EXPECT_EQ(p, 0xFFC8C215u);
        } else {
            // k = 128 * 255 / 256 = 127: hue 14 + 23 = 37; up = 200 * (16384 - 27 * 229) / 16384 = 124
            EXPECT_EQ(p, 0xFFC87C15u);
        }
    }
}

TEST(GlyphByHand, WeightRulesOfTheMaskKinds)
{
    auto plain = MakeFont(0, 24, kNonAntialiased);
    auto mono = MakeFont(FontMonochrome, 24, kNonAntialiased);
    // Alpha 0.5, A 128. Anti-aliased k = 128 * 255 / 256 = 127, monochrome k = A = 128.
    // copy: s + (d - s) * (256 - k) / 256
    //   k 127: B 16 + 34 * 129 / 256 = 33; G 48 + 26 = 74; R 80 + 60 = 140; A 255 - 127 * 129 / 256 = 192
    //   k 128: B 16 + 17 = 33; G 48 + 26 = 74; R 80 + 60 = 140; A 255 - 63 = 192 (the same)
    EXPECT_EQ(Composited(*plain, 'H', 255, 0, 0.5f), 0xC08C4A21u);
    EXPECT_EQ(Composited(*mono, 'H', 255, 0, 0.5f), 0xC08C4A21u);
    // add tells them apart: k 127: B 50 + 7 = 57; G 100 + 23 = 123; R 200 + 39 = 239; A 128 + 126 = 254
    //                       k 128: B 50 + 8 = 58;  G 100 + 24 = 124; R 200 + 40 = 240; A 128 + 127 = 255
    EXPECT_EQ(Composited(*plain, 'H', 255, 1, 0.5f), 0xFEEF7B39u);
    EXPECT_EQ(Composited(*mono, 'H', 255, 1, 0.5f), 0xFFF07C3Au);
    // Smallest weight, A 1: anti-aliased k = 255 / 256 = 0 changes nothing;
    // monochrome k 1: B 16 + 34 * 255 / 256 = 49; G 48 + 51 = 99; R 80 + 119 = 199; A 255 - 126 = 129
    EXPECT_EQ(Composited(*plain, 'H', 255, 0, 1.0f / 256), kDest);
    EXPECT_EQ(Composited(*mono, 'H', 255, 0, 1.0f / 256), 0x81C76331u);
    // Monochrome at exactly 1.0 copies the colour value, its own alpha byte included;
    // at 1.5 (k = min(384, 256)) the formula gives alpha 255.
    EXPECT_EQ(Composited(*mono, 'H', 255, 0, 1.0f), kText);
    EXPECT_EQ(Composited(*mono, 'H', 255, 0, 1.5f), 0xFF503010u);
    // Negative alpha: copy draws nothing; add subtracts.
    //   A -128, anti-aliased k = -127: B 50 - 7 = 43; G 100 - 23 = 77; R 200 - 39 = 161; A 128 - 126 = 2
    //   monochrome k = -128: B 50 - 8 = 42; G 100 - 24 = 76; R 200 - 40 = 160; A 128 - 127 = 1
    EXPECT_EQ(Composited(*plain, 'H', 255, 0, -0.5f), kDest);
    EXPECT_EQ(Composited(*plain, 'H', 255, 1, -0.5f), 0x02A14D2Bu);
    EXPECT_EQ(Composited(*mono, 'H', 255, 1, -0.5f), 0x01A04C2Au);
}

TEST(GlyphByHand, PartialCoverageWeighsByTheMaskByte)
{
    auto blurred = MakeFont(FontBlur, 24, kNonAntialiased);
    // Mask 31 at alpha 1.0: k = 31 + 1 = 32, copy s + (d - s) * 224 / 256:
    //   B 16 + 29 = 45; G 48 + 45 = 93; R 80 + 105 = 185; A 255 - 127 * 224 / 256 = 255 - 111 = 144
    EXPECT_EQ(Composited(*blurred, 'l', 31, 0, 1.0f), 0x90B95D2Du);
    // At alpha 0.5: k = 128 * 31 / 256 = 15, s + (d - s) * 241 / 256:
    //   B 16 + 32 = 48; G 48 + 48 = 96; R 80 + 112 = 192; A 255 - 119 = 136
    EXPECT_EQ(Composited(*blurred, 'l', 31, 0, 0.5f), 0x88C06030u);
}

TEST(GlyphByHand, OutlinePixelsTakeTheOutlineColour)
{
    auto font = MakeFont(FontOutline, 24, kNonAntialiased);
    font->SetOutlineColor(0x40A0B0C0u); // B 192, G 176, R 160
    // Alpha 1.0 copies each colour value; alpha 0.5 gives k = min(128, 256) = 128 for both.
    EXPECT_EQ(Composited(*font, 'H', 128, 0, 1.0f), 0x40A0B0C0u);
    EXPECT_EQ(Composited(*font, 'H', 255, 0, 1.0f), kText);
    // Outline k 128: B 192 - 142 * 128 / 256 = 121; G 176 - 38 = 138; R 160 + 20 = 180; A 255 - 63 = 192
    EXPECT_EQ(Composited(*font, 'H', 128, 0, 0.5f), 0xC0B48A79u);
    EXPECT_EQ(Composited(*font, 'H', 255, 0, 0.5f), 0xC08C4A21u);
}
