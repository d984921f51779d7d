// Expected pixels worked out by hand from the compositing formulas, one
// operation and weight at a time. Channels are listed blue, green, red,
// alpha; every division truncates toward zero; "low 8 bits" is the byte
// that is stored. Weights: alpha 0.003 gives 0 (0.77 truncated), 1/256 gives
// 1, 1.0 gives 256, 1.5 gives 384, -0.5 gives -128.
#include "RasterTestSupport.h"

#include "raster/Blit.h"
#include "raster/Fill.h"

#include <gtest/gtest.h>

namespace {

constexpr float kWeightZero = 0.003f;
constexpr float kWeightOne = 1.0f / 256;

// Source 0xC8503010: B 16, G 48, R 80, A 200.
constexpr RasterPixel kSource = 0xC8503010u;
// Destination 0x80C86432: B 50, G 100, R 200, A 128.
constexpr RasterPixel kDest = 0x80C86432u;

RasterPixel FillOne(RasterPixel colour, RasterPixel d, float alpha, int mode)
{
    TestBitmap dest(3, 1, 3, false);
    dest.At(0, 0) = dest.At(1, 0) = dest.At(2, 0) = d;
    FillRectangle(&dest, 1, 0, 1, 1, colour, alpha, mode);
    EXPECT_EQ(dest.At(0, 0), d); // only the filled pixel changes
    EXPECT_EQ(dest.At(2, 0), d);
    return dest.At(1, 0);
}

} // namespace

TEST(BlendByHand, WeightZeroDrawsNothingInAnyMode)
{
    for (int mode : {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005}) {
        EXPECT_EQ(BlitOne(kSource, kDest, kWeightZero, mode), kDest) << mode;
        // A fill at weight 0 changes nothing either, HSV adjust included.
        EXPECT_EQ(FillOne(kSource, kDest, kWeightZero, mode), kDest) << mode;
    }
}

TEST(BlendByHand, BlitCopy)
{
    // k = 1: s + (d - s) * 255 / 256
    // B 16 + 34 * 255 / 256 = 16 + 33 = 49;  G 48 + 52 * 255 / 256 = 48 + 51 = 99
    // R 80 + 120 * 255 / 256 = 80 + 119 = 199; A 200 + (-72 * 255 / 256 = -71) = 129
    EXPECT_EQ(BlitOne(kSource, kDest, kWeightOne, 0), 0x81C76331u);
    EXPECT_EQ(BlitOne(kSource, kDest, 1.0f, 0), kSource);
    // k = 384: s + (d - s) * -128 / 256, low 8 bits
    // B 16 - 17 = -1 -> 255; G 48 - 26 = 22; R 80 - 60 = 20; A 200 + 36 = 236
    EXPECT_EQ(BlitOne(kSource, kDest, 1.5f, 0), 0xEC1416FFu);
    EXPECT_EQ(BlitOne(kSource, kDest, -0.5f, 0), kDest); // copy draws nothing below 0
}

TEST(BlendByHand, BlitAdd)
{
    // clamp(d + s * k / 256)
    // k = 1: every s * 1 / 256 is 0
    EXPECT_EQ(BlitOne(kSource, kDest, kWeightOne, 1), kDest);
    // k = 256: B 50 + 16 = 66; G 100 + 48 = 148; R 200 + 80 = 280 -> 255; A 128 + 200 -> 255
    EXPECT_EQ(BlitOne(kSource, kDest, 1.0f, 1), 0xFFFF9442u);
    // k = 384: B 50 + 24 = 74; G 100 + 72 = 172; R 200 + 120 -> 255; A 128 + 300 -> 255
    EXPECT_EQ(BlitOne(kSource, kDest, 1.5f, 1), 0xFFFFAC4Au);
    // k = -128: B 50 - 8 = 42; G 100 - 24 = 76; R 200 - 40 = 160; A 128 - 100 = 28
    EXPECT_EQ(BlitOne(kSource, kDest, -0.5f, 1), 0x1CA04C2Au);
}

TEST(BlendByHand, BlitDodge)
{
    // t = s * k / 256; d * 256 / (256 - t), or d * 256 when t > 254; clamped
    // k = 1: t = 0 everywhere, d * 256 / 256 = d
    EXPECT_EQ(BlitOne(kSource, kDest, kWeightOne, 2), kDest);
    // k = 256, t = s: B 12800 / 240 = 53; G 25600 / 208 = 123;
    // R 51200 / 176 = 290 -> 255; A 32768 / 56 = 585 -> 255
    EXPECT_EQ(BlitOne(kSource, kDest, 1.0f, 2), 0xFFFF7B35u);
    // k = 384: B t 24: 12800 / 232 = 55; G t 72: 25600 / 184 = 139;
    // R t 120: 51200 / 136 = 376 -> 255; A t 300 > 254: 128 * 256 -> 255
    EXPECT_EQ(BlitOne(kSource, kDest, 1.5f, 2), 0xFFFF8B37u);
    // k = -128: B t -8: 12800 / 264 = 48; G t -24: 25600 / 280 = 91;
    // R t -40: 51200 / 296 = 172; A t -100: 32768 / 356 = 92
    EXPECT_EQ(BlitOne(kSource, kDest, -0.5f, 2), 0x5CAC5B30u);
}

TEST(BlendByHand, BlitMultiply)
{
    // (s * k + (256 - k) * 256) * d / 65536, low 8 bits
    // k = 1: B 65296 * 50 / 65536 = 49; G 65328 * 100 / 65536 = 99;
    // R 65360 * 200 / 65536 = 199; A 65480 * 128 / 65536 = 127
    EXPECT_EQ(BlitOne(kSource, kDest, kWeightOne, 3), 0x7FC76331u);
    // k = 256: s * d / 256: B 800 / 256 = 3; G 4800 / 256 = 18; R 16000 / 256 = 62; A 25600 / 256 = 100
    EXPECT_EQ(BlitOne(kSource, kDest, 1.0f, 3), 0x643E1203u);
    // k = 384: factor 384 s - 32768: B -26624 * 50 / 65536 = -20 -> 236;
    // G -14336 * 100 / 65536 = -21 -> 235; R -2048 * 200 / 65536 = -6 -> 250; A 44032 * 128 / 65536 = 86
    EXPECT_EQ(BlitOne(kSource, kDest, 1.5f, 3), 0x56FAEBECu);
    // k = -128: factor 98304 - 128 s: B 96256 * 50 / 65536 = 73; G 92160 * 100 / 65536 = 140;
    // R 88064 * 200 / 65536 = 268 -> 12; A 72704 * 128 / 65536 = 142
    EXPECT_EQ(BlitOne(kSource, kDest, -0.5f, 3), 0x8E0C8C49u);
}

TEST(BlendByHand, BlitOverlay)
{
    // t = s * k + (256 - k) * 128; clamp(((32768 - t) * d / 256 + t) * d / 32768)
    // k = 1: B t 32656: (112 * 50 / 256 = 21; + t = 32677) * 50 / 32768 = 49
    //        G t 32688: (80 * 100 / 256 = 31; 32719) * 100 / 32768 = 99
    //        R t 32720: (48 * 200 / 256 = 37; 32757) * 200 / 32768 = 199
    //        A t 32840: (-72 * 128 / 256 = -36; 32804) * 128 / 32768 = 128
    EXPECT_EQ(BlitOne(kSource, kDest, kWeightOne, 4), 0x80C76331u);
    // k = 256, t = 256 s: B (28672 * 50 / 256 = 5600; 9696) * 50 / 32768 = 14
    //   G (20480 * 100 / 256 = 8000; 20288) * 100 / 32768 = 61
    //   R (12288 * 200 / 256 = 9600; 30080) * 200 / 32768 = 183
    //   A (-18432 * 128 / 256 = -9216; 41984) * 128 / 32768 = 164
    EXPECT_EQ(BlitOne(kSource, kDest, 1.0f, 4), 0xA4B73D0Eu);
    // k = 384, t = 384 s - 16384: B t -10240: (8400; -1840) * 50 / 32768 = -2 -> 0
    //   G t 2048: (12000; 14048) * 100 / 32768 = 42; R t 14336: (14400; 28736) * 200 / 32768 = 175
    //   A t 60416: (-13824; 46592) * 128 / 32768 = 182
    EXPECT_EQ(BlitOne(kSource, kDest, 1.5f, 4), 0xB6AF2A00u);
    // k = -128, t = 49152 - 128 s: B t 47104: (-2800; 44304) * 50 / 32768 = 67
    //   G t 43008: (-4000; 39008) * 100 / 32768 = 119; R t 38912: (-4800; 34112) * 200 / 32768 = 208
    //   A t 23552: (4608; 28160) * 128 / 32768 = 110
    EXPECT_EQ(BlitOne(kSource, kDest, -0.5f, 4), 0x6ED07743u);
}

// The source-alpha variants weight each pixel by l = w * (sa + 1) / 256.
// With sa 200: w 256 gives l 201, w 384 gives 301, w -128 gives -100.
TEST(BlendByHand, BlitSourceAlphaCopy)
{
    const int mode = 0x10000;
    // w 256, sa 200: s + (d - s) * (255 - sa) / 256 = s + (d - s) * 55 / 256
    // B 16 + 1870 / 256 = 23; G 48 + 2860 / 256 = 59; R 80 + 6600 / 256 = 105; A min(255, 128 + 200)
    EXPECT_EQ(BlitOne(kSource, kDest, 1.0f, mode), 0xFF693B17u);
    // w 384, l 301: s + (d - s) * -45 / 256: B 16 - 5 = 11; G 48 - 9 = 39; R 80 - 21 = 59; A 255
    EXPECT_EQ(BlitOne(kSource, kDest, 1.5f, mode), 0xFF3B270Bu);
    // w -128, l -100: s + (d - s) * 356 / 256: B 16 + 47 = 63; G 48 + 72 = 120;
    // R 80 + 166 = 246; A min(255, 128 - 100) = 28
    EXPECT_EQ(BlitOne(kSource, kDest, -0.5f, mode), 0x1CF6783Fu);
    // w 1, sa 255: l = 256 / 256 = 1: as the plain copy at k 1, alpha 128 + 1
    EXPECT_EQ(BlitOne(0xFF503010u, kDest, kWeightOne, mode), 0x81C76331u);
    // sa 0 leaves the pixel even at full weight.
    EXPECT_EQ(BlitOne(0x00503010u, kDest, 1.0f, mode), kDest);
}

TEST(BlendByHand, BlitSourceAlphaAddDodgeMultiplyOverlay)
{
    // add, l 201: B 50 + 201 * 16 / 256 = 62; G 100 + 37 = 137; R 200 + 62 -> 255;
    // alpha: 128 + sa * l / 256 = 128 + 157 -> 255
    EXPECT_EQ(BlitOne(kSource, kDest, 1.0f, 0x10001), 0xFFFF893Eu);
    // add, l -100: B 50 - 6 = 44; G 100 - 18 = 82; R 200 - 31 = 169; A 128 - 78 = 50
    EXPECT_EQ(BlitOne(kSource, kDest, -0.5f, 0x10001), 0x32A9522Cu);
    // dodge, l 201, t = s * 201 / 256: B t 12: 12800 / 244 = 52; G t 37: 25600 / 219 = 116;
    // R t 62: 51200 / 194 = 263 -> 255; A t 157: 32768 / 99 = 330 -> 255
    EXPECT_EQ(BlitOne(kSource, kDest, 1.0f, 0x10002), 0xFFFF7434u);
    // multiply, l 201: factor 201 s + 55 * 256: B 17296 * 50 / 65536 = 13; G 23728 * 100 / 65536 = 36;
    // R 30160 * 200 / 65536 = 92; A 54280 * 128 / 65536 = 106
    EXPECT_EQ(BlitOne(kSource, kDest, 1.0f, 0x10003), 0x6A5C240Du);
    // overlay, l 301, t = 301 s - 45 * 128 = 301 s - 5760:
    //   B t -944: (33712 * 50 / 256 = 6584; 5640) * 50 / 32768 = 8
    //   G t 8688: (24080 * 100 / 256 = 9406; 18094) * 100 / 32768 = 55
    //   R t 18320: (14448 * 200 / 256 = 11287; 29607) * 200 / 32768 = 180
    //   A t 54440: (-21672 * 128 / 256 = -10836; 43604) * 128 / 32768 = 170
    EXPECT_EQ(BlitOne(kSource, kDest, 1.5f, 0x10004), 0xAAB43708u);
    // sa 0: add and multiply leave the pixel, dodge with l 1 (t 0) keeps it,
    // overlay draws every pixel: l = 256 * 1 / 256 = 1, as the plain overlay at k 1.
    EXPECT_EQ(BlitOne(0x00503010u, kDest, 1.0f, 0x10001), kDest);
    EXPECT_EQ(BlitOne(0x00503010u, kDest, 1.0f, 0x10003), kDest);
    EXPECT_EQ(BlitOne(0x00503010u, kDest, 1.0f, 0x10002), kDest);
    // overlay k 1 with s alpha 0: A t 32640: (128 * 128 / 256 = 64; 32704) * 128 / 32768 = 127
    EXPECT_EQ(BlitOne(0x00503010u, kDest, 1.0f, 0x10004), 0x7FC76331u);
}

// HSV adjust. Neutral shifts (source R, G, B = 128) leave hue, saturation and
// value; the pixel still goes through the conversion, and its alpha becomes
// the source's (0x5A here). T[i] = 65536 / i - 1.
TEST(BlendByHand, BlitHsvRoundTripInEveryHueSector)
{
    const RasterPixel neutral = 0x5A808080u;
    // Sector 0 (red on top, green above blue): R 200 G 60 B 20, V 200, delta 180,
    // base 0, n = G - B = 40, hue = 40 * (363 + 1) / 1024 = 14; S = 180 * T[200] 326 / 256 = 229;
    // m = 200 * 27 / 256 = 21; up = 200 * (16384 - (64 - 14) * 229) / 16384 = 60
    // R V, G up, B m
    EXPECT_EQ(BlitOne(neutral, 0xFFC83C14u, 1.0f, 5), 0x5AC83C15u);
    // Sector 1 (green on top, red above blue): R 130 G 180 B 30, delta 150, base 128,
    // n = B - R = -100, hue = 128 - 100 * 436 / 1024 = 128 - 42 = 86; S = 150 * T[180] 363 / 256 = 212;
    // m = 180 * 44 / 256 = 30; down = 180 * (16384 - (86 - 64) * 212) / 16384 = 128
    // R down, G V, B m
    EXPECT_EQ(BlitOne(neutral, 0xFF82B41Eu, 1.0f, 5), 0x5A80B41Eu);
    // Sector 2 (green on top, blue above red): R 40 G 200 B 100, delta 160, base 128,
    // n = 60, hue = 128 + 60 * 409 / 1024 = 151; S = 160 * 326 / 256 = 203; m = 200 * 53 / 256 = 41;
    // up = 200 * (16384 - (192 - 151) * 203) / 16384 = 98; R m, G V, B up
    EXPECT_EQ(BlitOne(neutral, 0xFF28C864u, 1.0f, 5), 0x5A29C862u);
    // Sector 3 (blue on top, green above red): R 30 G 80 B 220, delta 190, base 256,
    // n = R - G = -50, hue = 256 - 50 * 344 / 1024 = 256 - 16 = 240; S = 190 * T[220] 296 / 256 = 219;
    // m = 220 * 37 / 256 = 31; down = 220 * (16384 - (240 - 192) * 219) / 16384 = 78; R m, G down, B V
    EXPECT_EQ(BlitOne(neutral, 0xFF1E50DCu, 1.0f, 5), 0x5A1F4EDCu);
    // Sector 4 (blue on top, red above green): R 100 G 20 B 200, delta 180, base 256,
    // n = 80, hue = 256 + 80 * 364 / 1024 = 284; S 229; m 21;
    // up = 200 * (16384 - (320 - 284) * 229) / 16384 = 99; R up, G m, B V
    EXPECT_EQ(BlitOne(neutral, 0xFF6414C8u, 1.0f, 5), 0x5A6315C8u);
    // Sector 5 (red on top, blue above green): R 220 G 30 B 140, delta 190, base 383,
    // n = G - B = -110, hue = 383 - 110 * 344 / 1024 = 383 - 36 = 347; S 219; m 31;
    // down = 220 * (16384 - (347 - 320) * 219) / 16384 = 140; R V, G m, B down
    EXPECT_EQ(BlitOne(neutral, 0xFFDC1E8Cu, 1.0f, 5), 0x5ADC1F8Cu);
}

TEST(BlendByHand, BlitHsvShiftsAndWeights)
{
    // Destination R 200 G 60 B 20 (hue 14, S 229, V 200 as above).
    // Shifts R 160, G 96, B 176: hue += k * (80 + 160 - 192) / 256 = k * 48 / 256,
    // S += k * (96 - 128) / 128 = -k / 4, V += k * (176 - 128) / 128 = 3 k / 8.
    const RasterPixel shifts = 0x5AA060B0u;
    // k 256: hue 14 + 48 = 62; S 229 - 64 = 165; V 200 + 96 -> 255; m = 255 * 91 / 256 = 90;
    // up = 255 * (16384 - 2 * 165) / 16384 = 249; R V, G up, B m
    EXPECT_EQ(BlitOne(shifts, 0xFFC83C14u, 1.0f, 5), 0x5AFFF95Au);
    // k 384: hue 14 + 72 = 86 (sector 1); S 229 - 96 = 133; V 200 + 144 -> 255;
    // m = 255 * 123 / 256 = 122; down = 255 * (16384 - 22 * 133) / 16384 = 209; R down, G V, B m
    EXPECT_EQ(BlitOne(shifts, 0xFFC83C14u, 1.5f, 5), 0x5AD1FF7Au);
    // k -128: hue 14 - 24 = -10 -> 374 (sector 5); S 229 + 32 -> 255; V 200 - 48 = 152;
    // m = 152 * 1 / 256 = 0; down = 152 * (16384 - 54 * 255) / 16384 = 24; R V, G m, B down
    EXPECT_EQ(BlitOne(shifts, 0xFFC83C14u, -0.5f, 5), 0x5A980018u);
    // k 1 with green shift 0: hue + 1 * 48 / 256 = +0; S 229 + 1 * -128 / 128 = 228;
    // m = 200 * 28 / 256 = 21; up = 200 * (16384 - 50 * 228) / 16384 = 60 (unchanged but for S)
    EXPECT_EQ(BlitOne(0x5AA00080u, 0xFFC83C14u, kWeightOne, 5), 0x5AC83C15u);
    // Wrapping past 384: R 220 G 30 B 140 (hue 347) with red shift 255:
    // hue += 256 * (127 + 255 - 192) / 256 = 190 -> 537 - 384 = 153 (sector 2); S 219, V 220, m 31;
    // up = 220 * (16384 - (192 - 153) * 219) / 16384 = 105; R m, G V, B up
    EXPECT_EQ(BlitOne(0x5AFF8080u, 0xFFDC1E8Cu, 1.0f, 5), 0x5A1FDC69u);
    // Source-alpha variant: k = l = 256 * (90 + 1) / 256 = 91, alpha byte sa (0x5A):
    // hue 14 + 91 * 48 / 256 = 31; S 229 - 91 / 4 = 207; V 200 + 273 / 8 = 234;
    // m = 234 * 49 / 256 = 44; up = 234 * (16384 - 33 * 207) / 16384 = 136; R V, G up, B m
    EXPECT_EQ(BlitOne(shifts, 0xFFC83C14u, 1.0f, 0x10005), 0x5AEA882Cu);
}

// Fills: the colour's R, G, B are the sources and the weight w itself is the
// source of the alpha channel. Colour 0xC8503010 (its alpha only matters to a
// plain copy at w 256 and to the source-alpha bit).
TEST(BlendByHand, FillCopy)
{
    // k 1: colour channels as the blit at k 1 (49, 99, 199);
    // A: 1 + (128 - 1) * 255 / 256 = 1 + 126 = 127
    EXPECT_EQ(FillOne(kSource, kDest, kWeightOne, 0), 0x7FC76331u);
    EXPECT_EQ(FillOne(kSource, kDest, 1.0f, 0), kSource); // the colour, alpha byte included
    // k 100: s + (d - s) * 156 / 256: B 16 + 20 = 36; G 48 + 31 = 79; R 80 + 73 = 153;
    // A 100 + 28 * 156 / 256 = 117
    EXPECT_EQ(FillOne(kSource, kDest, 100.0f / 256, 0), 0x75994F24u);
    // k 384: B, G, R as the blit (255, 22, 20); A 384 + (128 - 384) * -128 / 256 = 512 -> low 8 bits 0
    EXPECT_EQ(FillOne(kSource, kDest, 1.5f, 0), 0x001416FFu);
    // The quarter weights sum halves and quarters of each byte, each rounded down:
    // k 128: c / 2 + d / 2: B 8 + 25 = 33; G 24 + 50 = 74; R 40 + 100 = 140; A 100 + 64 = 164
    EXPECT_EQ(FillOne(kSource, kDest, 0.5f, 0), 0xA48C4A21u);
    // k 64: d / 2 + c / 4 + d / 4: B 25 + 4 + 12 = 41; G 50 + 12 + 25 = 87; R 100 + 20 + 50 = 170;
    // A 64 + 50 + 32 = 146
    EXPECT_EQ(FillOne(kSource, kDest, 0.25f, 0), 0x92AA5729u);
    // k 192: c / 4 + d / 4 + c / 2: B 4 + 12 + 8 = 24; G 12 + 25 + 24 = 61; R 20 + 50 + 40 = 110;
    // A 50 + 32 + 100 = 182
    EXPECT_EQ(FillOne(kSource, kDest, 0.75f, 0), 0xB66E3D18u);
    EXPECT_EQ(FillOne(kSource, kDest, -0.5f, 0), kDest);
    // Source-alpha bit: alpha 1.0 * 200 / 255 gives k 200: s + (d - s) * 56 / 256:
    // B 16 + 7 = 23; G 48 + 11 = 59; R 80 + 26 = 106; A 200 + (-72 * 56 / 256 = -15) = 185
    EXPECT_EQ(FillOne(kSource, kDest, 1.0f, 0x10000), 0xB96A3B17u);
}

TEST(BlendByHand, FillAddDodgeMultiply)
{
    // add k 100: B 50 + 1600 / 256 = 56; G 100 + 18 = 118; R 200 + 31 = 231; A 128 + 10000 / 256 = 167
    EXPECT_EQ(FillOne(kSource, kDest, 100.0f / 256, 1), 0xA7E77638u);
    // add k -128: B 42, G 76, R 160 as the blit; A 128 + (-128 * -128 / 256 = 64) = 192
    EXPECT_EQ(FillOne(kSource, kDest, -0.5f, 1), 0xC0A04C2Au);
    // add k -384: B 50 - 24 = 26; G 100 - 72 = 28; R 200 - 120 = 80; A 128 + 576 -> 255
    EXPECT_EQ(FillOne(kSource, kDest, -1.5f, 1), 0xFF501C1Au);
    // dodge k -128: B, G, R as the blit (48, 91, 172); A t = -128 * -128 / 256 = 64: 32768 / 192 = 170
    EXPECT_EQ(FillOne(kSource, kDest, -0.5f, 2), 0xAAAC5B30u);
    // multiply k 100: factor 100 s + 156 * 256: B 41536 * 50 / 65536 = 31; G 44736 * 100 / 65536 = 68;
    // R 47936 * 200 / 65536 = 146; A (10000 + 39936) * 128 / 65536 = 97
    EXPECT_EQ(FillOne(kSource, kDest, 100.0f / 256, 3), 0x6192441Fu);
    // multiply k 384: B, G, R as the blit (236, 235, 250); A (147456 - 32768) * 128 / 65536 = 224
    EXPECT_EQ(FillOne(kSource, kDest, 1.5f, 3), 0xE0FAEBECu);
}

TEST(BlendByHand, FillOverlayUsesTheWeightItselfBeyondOpaque)
{
    // k 100: t = 100 s + 156 * 128: B t 21568: (11200 * 50 / 256 = 2187; 23755) * 50 / 32768 = 36
    //   G t 24768: (8000 * 100 / 256 = 3125; 27893) * 100 / 32768 = 85
    //   R t 27968: (4800 * 200 / 256 = 3750; 31718) * 200 / 32768 = 193
    //   A t 10000 + 19968 = 29968: (2800 * 128 / 256 = 1400; 31368) * 128 / 32768 = 122
    EXPECT_EQ(FillOne(kSource, kDest, 100.0f / 256, 4), 0x7AC15524u);
    // k 384, B, G, R as the blit (0, 42, 175). A, s = 384:
    // t = 384 * 384 - 128 * 128 = 131072; ((32768 - 131072) * 128 / 256 = -49152; 81920) * 128 / 32768
    // = 320 -> 255 (holding s at 256 would give t 81920 and 224)
    EXPECT_EQ(FillOne(kSource, kDest, 1.5f, 4), 0xFFAF2A00u);
    // k -384: t = -384 s + 640 * 128 = 81920 - 384 s:
    //   B t 75776: (-43008 * 50 / 256 = -8400; 67376) * 50 / 32768 = 102
    //   G t 63488: (-30720 * 100 / 256 = -12000; 51488) * 100 / 32768 = 157
    //   R t 51200: (-18432 * 200 / 256 = -14400; 36800) * 200 / 32768 = 224
    //   A s = -384: t = 147456 + 81920 = 229376: (-196608 * 128 / 256 = -98304; 131072) * 128 / 32768 = 512 -> 255
    EXPECT_EQ(FillOne(kSource, kDest, -1.5f, 4), 0xFFE09D66u);
}

TEST(BlendByHand, FillHsvWritesTheWeightAsAlpha)
{
    // Colour shifts R 160, G 128, B 128: hue += k * 48 / 256, S and V unchanged.
    // Destination R 200 G 60 B 20 (hue 14, S 229, V 200, m 21).
    const RasterPixel colour = 0x00A08080u;
    // k 1: hue + 0; alpha byte 1
    EXPECT_EQ(FillOne(colour, 0xFFC83C14u, kWeightOne, 5), 0x01C83C15u);
    // k 256: hue 62, up = 200 * (16384 - 2 * 229) / 16384 = 194; alpha byte 256 -> 0
    EXPECT_EQ(FillOne(colour, 0xFFC83C14u, 1.0f, 5), 0x00C8C215u);
    // k -128: hue 14 - 24 = -10 -> 374 (sector 5); down = 200 * (16384 - 54 * 229) / 16384 = 49;
    // R V, G m, B down; alpha byte -128 -> 0x80
    EXPECT_EQ(FillOne(colour, 0xFFC83C14u, -0.5f, 5), 0x80C81531u);
}
