#include "BlendReference.h"
#include "RasterTestSupport.h"

#include "raster/Blit.h"
#include "raster/BlitRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

namespace {

// Reference blit: walk every source pixel of the (shifted) source area and
// draw it where it lands, if it lands inside the destination.
void ReferenceBlit(TestBitmap& dest, TestBitmap& src, int dstX, int dstY, const RasterRect* rect, float alpha,
                   int mode)
{
    if (alpha == 0.0f) {
        return;
    }
    int left = 0, top = 0, right = src.w, bottom = src.h;
    if (rect != nullptr) {
        left = rect->left, top = rect->top;
        right = std::min(rect->right, src.w), bottom = std::min(rect->bottom, src.h);
        if (left < 0) {
            dstX -= left, left = 0;
        }
        if (top < 0) {
            dstY -= top, top = 0;
        }
    }
    for (int sy = top; sy < bottom; ++sy) {
        for (int sx = left; sx < right; ++sx) {
            int dx = dstX + sx - left, dy = dstY + sy - top;
            if (dx >= 0 && dy >= 0 && dx < dest.w && dy < dest.h) {
                dest.At(dx, dy) = blendref::Blit(src.At(sx, sy), dest.At(dx, dy), alpha, mode);
            }
        }
    }
}

} // namespace

TEST(BlitBitmap, ClipsSourceRectangleAndDestination)
{
    TestBitmap src(4, 1, 4, false), dest(30, 1, 32, false);
    for (int x = 0; x < 4; ++x) {
        src.At(x, 0) = 0xFF000001u + RasterPixel(x);
    }
    RasterRect rect{-10, 0, 4, 1};
    BlitBitmap(&dest, &src, 5, 0, &rect, 1.0f, BlendModeCopy);
    EXPECT_EQ(dest.At(14, 0), 0u);
    EXPECT_EQ(dest.At(15, 0), 0xFF000001u);
    EXPECT_EQ(dest.At(18, 0), 0xFF000004u);

    std::fill(dest.memory.begin(), dest.memory.end(), 0u);
    BlitBitmap(&dest, &src, -3, 0, nullptr, 1.0f, BlendModeCopy);
    EXPECT_EQ(dest.At(0, 0), 0xFF000004u);
    EXPECT_EQ(dest.At(1, 0), 0u);

    std::vector<RasterPixel> before = dest.memory;
    BlitBitmap(&dest, &src, 30, 0, nullptr, 1.0f, BlendModeCopy);
    BlitBitmap(&dest, &src, -4, 0, nullptr, 1.0f, BlendModeCopy);
    BlitBitmap(&dest, &src, 0, 1, nullptr, 1.0f, BlendModeCopy);
    BlitBitmap(&dest, &src, 0, 0, nullptr, 0.0f, BlendModeCopy);
    BlitBitmap(&dest, nullptr, 0, 0, nullptr, 1.0f, BlendModeCopy);
    BlitBitmap(&dest, &src, 0, 0, nullptr, 1.0f, 6);
    EXPECT_EQ(dest.memory, before);
    // The stride padding beyond the width is never written.
    EXPECT_EQ(dest.memory[30], 0u);
    EXPECT_EQ(dest.memory[31], 0u);
}

TEST(BlitBitmap, CopyWeights)
{
    EXPECT_EQ(BlitOne(0x01010101u, 0, 0.5f, BlendModeCopy), 0u);         // per-byte average
    EXPECT_EQ(BlitOne(0x01010101u, 0, 0.51f, BlendModeCopy), 0x01010101u); // 1 + (0 - 1) * 126 / 256
    EXPECT_EQ(BlitOne(0x12345678u, 0x9ABCDEF0u, 1.0f, BlendModeCopy), 0x12345678u);
    EXPECT_EQ(BlitOne(0x12345678u, 0x9ABCDEF0u, -0.5f, BlendModeCopy), 0x9ABCDEF0u);
}

TEST(BlitBitmap, SourceAlphaCopyAtFullWeight)
{
    const int mode = BlendUseSourceAlpha | BlendModeCopy;
    EXPECT_EQ(BlitOne(0x00FFFFFFu, 0x11223344u, 1.0f, mode), 0x11223344u);
    EXPECT_EQ(BlitOne(0xFF102030u, 0x00405060u, 1.0f, mode), 0xFF102030u);
    // sa 128 over alpha 200 saturates; blue 0 over 255: 0 + 255 * 127 / 256 = 126;
    // red 255 over 0: 255 + (-255 * 127) / 256 = 255 - 126 (truncated toward zero).
    EXPECT_EQ(BlitOne(0x80FF0000u, 0xC80000FFu, 1.0f, mode), 0xFF81007Eu);
}

TEST(BlitBitmap, AddDodgeAndHsv)
{
    EXPECT_EQ(BlitOne(0xFFC0C0C0u, 0x80808080u, 1.0f, BlendModeAdd), 0xFFFFFFFFu);
    EXPECT_EQ(BlitOne(0xFFC0C0C0u, 0x80808080u, -1.0f, BlendModeAdd), 0u);
    EXPECT_EQ(BlitOne(0xFF101010u, 0x80808080u, -1.0f, BlendModeAdd), 0x00707070u);
    // t = 255 * 256 / 256 >= 255: every non-zero channel saturates, zero stays.
    EXPECT_EQ(BlitOne(0xFFFFFFFFu, 0x01000500u, 1.0f, BlendModeDodge), 0xFF00FF00u);
    for (int grey : {0, 1, 77, 128, 254, 255}) {
        RasterPixel d = 0x40000000u | RasterPixel(grey * 0x010101);
        RasterPixel out = BlitOne(0xC0808080u, d, 1.0f, BlendModeHsvAdjust);
        EXPECT_EQ(out, 0xC0000000u | RasterPixel(grey * 0x010101)) << grey;
    }
}

TEST(BlitBitmap, ChannelCopy)
{
    // 0xF3: source alpha into destination blue, the rest kept.
    EXPECT_EQ(BlitOne(0xABCDEF12u, 0x11223344u, 1.0f, 0xF3), 0x112233ABu);
    EXPECT_EQ(BlitOne(0xABCDEF12u, 0x11223344u, 0.1f, 0xFE), 0xCD223344u); // red into alpha
}

namespace {

// Every vector form of a row the processor runs, beside its scalar reference.
std::vector<std::pair<const char*, PixelRowFunction>> VectorForms(PixelRowFunction sse2, PixelRowFunction avx2,
                                                                   PixelRowFunction chosen)
{
    std::vector<std::pair<const char*, PixelRowFunction>> forms{{"chosen", chosen}};
    if (sse2 != nullptr) {
        forms.emplace_back("sse2", sse2);
    }
    if (avx2 != nullptr && RowsHaveAvx2()) {
        forms.emplace_back("avx2", avx2);
    }
    return forms;
}

#if defined(__SSE2__)
constexpr PixelRowFunction kCopySse2 = CopySourceAlphaOpaqueRowSse2, kAddSse2 = AddSaturatedRowSse2;
#else
constexpr PixelRowFunction kCopySse2 = nullptr, kAddSse2 = nullptr;
#endif
#if defined(SNARLBOX_ROWS_AVX2)
constexpr PixelRowFunction kCopyAvx2 = CopySourceAlphaOpaqueRowAvx2, kAddAvx2 = AddSaturatedRowAvx2;
#else
constexpr PixelRowFunction kCopyAvx2 = nullptr, kAddAvx2 = nullptr;
#endif

} // namespace

TEST(BlitBitmap, VectorSourceAlphaRowMatchesScalar)
{
    // 259 pixels: whole groups of four and eight, then a tail of three.
    std::vector<RasterPixel> src(256 + 3), scalar(src.size()), vector(src.size());
    for (auto [name, form] : VectorForms(kCopySse2, kCopyAvx2, CopySourceAlphaOpaqueRow)) {
        for (int sa = 0; sa < 256; ++sa) {
            for (int sv = 0; sv < 256; sv += name[0] == 'c' ? 1 : 5) {
                for (size_t i = 0; i < src.size(); ++i) {
                    int dv = int(i & 0xFF);
                    // Groups mix the alpha under test with 0 and 255.
                    int alpha = i % 5 == 0 ? 0 : i % 7 == 0 ? 255 : sa;
                    src[i] = blendref::Join({sv, sv ^ 0x55, 255 - sv, alpha});
                    scalar[i] = vector[i] = blendref::Join({dv, 255 - dv, dv * 7, dv});
                }
                CopySourceAlphaOpaqueRowScalar(scalar.data(), src.data(), int(src.size()));
                form(vector.data(), src.data(), int(src.size()));
                ASSERT_EQ(scalar, vector) << name << " sa " << sa << " s " << sv;
            }
        }
        // Every tail length, and nothing written past the row.
        for (int count = 0; count <= 17; ++count) {
            std::vector<RasterPixel> s(20, 0x80FF8040u), a(20, 0x12345678u), b(20, 0x12345678u);
            CopySourceAlphaOpaqueRowScalar(a.data(), s.data(), count);
            form(b.data(), s.data(), count);
            ASSERT_EQ(a, b) << name << " count " << count;
        }
    }
}

TEST(BlitBitmap, VectorAddRowMatchesScalar)
{
    std::mt19937 rng(5);
    std::vector<RasterPixel> src(67), scalar(src.size()), vector(src.size());
    for (int k = -300; k <= 300; ++k) {
        for (size_t i = 0; i < src.size(); ++i) {
            src[i] = RasterPixel(rng());
            scalar[i] = vector[i] = RasterPixel(rng());
        }
        AddScaledRowScalar(scalar.data(), src.data(), int(src.size()), k);
        AddScaledRow(vector.data(), src.data(), int(src.size()), k);
        ASSERT_EQ(scalar, vector) << "k " << k;
    }
    // The full-weight forms on every row length up to 70, nothing written past it.
    for (auto [name, form] : VectorForms(kAddSse2, kAddAvx2, AddSaturatedRow)) {
        for (int count = 0; count <= 70; ++count) {
            std::vector<RasterPixel> s(72), a(72), b(72);
            for (size_t i = 0; i < s.size(); ++i) {
                s[i] = RasterPixel(rng());
                a[i] = b[i] = RasterPixel(rng());
            }
            AddScaledRowScalar(a.data(), s.data(), count, 256);
            form(b.data(), s.data(), count);
            ASSERT_EQ(a, b) << name << " count " << count;
        }
    }
}

TEST(BlitBitmap, VectorCoverageRowMatchesScalar)
{
    // Every coverage byte under every row length up to 11, so each tail
    // length meets every byte.
    std::mt19937 rng(11);
    for (int count = 1; count <= 11; ++count) {
        for (int start = 0; start < 256; ++start) {
            std::vector<uint8_t> coverage(static_cast<size_t>(count));
            std::vector<RasterPixel> scalar(static_cast<size_t>(count)), vector(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i) {
                coverage[size_t(i)] = uint8_t(i == 0 ? start : (i % 3 == 0 ? 0 : rng()));
                scalar[size_t(i)] = vector[size_t(i)] = RasterPixel(rng());
            }
            RasterPixel colour = RasterPixel(rng());
            CoverageCopyRowScalar(scalar.data(), colour, coverage.data(), count);
            CoverageCopyRow(vector.data(), colour, coverage.data(), count);
            ASSERT_EQ(scalar, vector) << "count " << count << " first byte " << start;
        }
    }
    // A whole cell: rows a stride apart, each as the row form leaves it.
    std::vector<uint8_t> cell(5 * 9);
    std::vector<RasterPixel> rows(5 * 12), expected;
    for (uint8_t& m : cell) {
        m = uint8_t(rng() % 3 == 0 ? 0 : rng());
    }
    for (RasterPixel& p : rows) {
        p = RasterPixel(rng());
    }
    expected = rows;
    for (int r = 0; r < 5; ++r) {
        CoverageCopyRowScalar(expected.data() + r * 12, 0x00336699u, cell.data() + r * 9, 7);
    }
    CoverageCopyRows(rows.data(), 12, 0x00336699u, cell.data(), 9, 7, 5);
    EXPECT_EQ(rows, expected);
    // Full coverage in whole groups of four stores the colour with alpha 255.
    std::vector<uint8_t> full(8, 255);
    std::vector<RasterPixel> row(8, 0x12345678u);
    CoverageCopyRow(row.data(), 0x00ABCDEFu, full.data(), 8);
    EXPECT_EQ(row, std::vector<RasterPixel>(8, 0xFFABCDEFu));
}

TEST(BlitBitmap, EveryModeMatchesReferenceOnRandomImages)
{
    std::mt19937 rng(20261208);
    const int modes[] = {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005,
                         0xF0, 0xF3, 0xF9, 0xFE, 6, 0x10006, 0x20000, 0x20001};
    const float alphas[] = {1.0f, 0.5f, 0.51f, 0.25f, 0.75f, 0.999f, 1.5f, -0.5f, 0.002f, 1.0f / 256, -1.5f};
    int checked = 0;
    for (int mode : modes) {
        for (float alpha : alphas) {
            for (int round = 0; round < 4; ++round) {
                int sw = 1 + int(rng() % 40), sh = 1 + int(rng() % 12);
                int dw = 1 + int(rng() % 40), dh = 1 + int(rng() % 12);
                TestBitmap src(sw, sh, sw + int(rng() % 3), rng() % 2 == 0);
                TestBitmap dest(dw, dh, dw + int(rng() % 3), rng() % 2 == 0);
                FillRandom(src, rng);
                FillRandom(dest, rng);
                TestBitmap expected = dest;
                int dx = int(rng() % (dw + 20)) - 10 - sw / 2, dy = int(rng() % (dh + 8)) - 4 - sh / 2;
                RasterRect rect{int(rng() % (sw + 4)) - 4, int(rng() % (sh + 3)) - 3, int(rng() % (sw + 6)),
                                int(rng() % (sh + 4))};
                const RasterRect* r = rng() % 3 == 0 ? nullptr : &rect;
                BlitBitmap(&dest, &src, dx, dy, r, alpha, mode);
                ReferenceBlit(expected, src, dx, dy, r, alpha, mode);
                ASSERT_EQ(dest.memory, expected.memory)
                    << "mode " << std::hex << mode << std::dec << " alpha " << alpha << " round " << round;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 20 * 11 * 4);
}

TEST(BlitBitmap, BottomUpRowsWalkBackwards)
{
    TestBitmap src(2, 3, 2, false), dest(2, 3, 4, true);
    for (int y = 0; y < 3; ++y) {
        src.At(0, y) = src.At(1, y) = 0xFF000000u | RasterPixel(y + 1);
    }
    BlitBitmap(&dest, &src, 0, 0, nullptr, 1.0f, BlendModeCopy);
    // Image row 0 is the last memory row of a bottom-up bitmap.
    EXPECT_EQ(dest.memory[2 * 4], 0xFF000001u);
    EXPECT_EQ(dest.memory[0], 0xFF000003u);
    EXPECT_EQ(dest.memory[2], 0u);
}
