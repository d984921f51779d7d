// The effect's editor drawn at 2 and 3 device pixels per editor pixel: its
// pixels against a composition by hand of the images drawn at that scale,
// its text at the scaled size, and the images the process keeps.
#include "tests/raster/BlendReference.h"
#include "tests/support/ReferenceEditor.h"

#include "effect/EditorKnob.h"
#include "gui/BitmapCache.h"
#include "gui/EditorScale.h"
#include "gui/ITextControl.h"
#include "raster/BlendMode.h"
#include "raster/PngDecoder.h"
#include "raster/RasterMemBitmap.h"
#include "raster/RasterSysBitmap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <utility>

namespace {

RasterPixel& At(const RasterBitmap& b, int x, int y)
{
    const int row = b.IsBottomUp() ? b.Height() - 1 - y : y;
    return const_cast<RasterPixel*>(b.Pixels())[row * b.Stride() + x];
}

// The editor at its default values composed from the scaled PNG resources
// pixel by pixel: the background as it is, each knob's frame (the nearest of
// its strip to the knob's value) over it by the reference blend model.
std::unique_ptr<RasterMemBitmap> ComposedByHand(DistortionEffect& effect, int scale)
{
    std::unique_ptr<RasterBitmap> background(DecodePngResource(nullptr, ScaledImageId(103, scale)));
    if (background == nullptr) {
        return nullptr;
    }
    auto out = std::make_unique<RasterMemBitmap>(background->Width(), background->Height());
    for (int y = 0; y < out->Height(); ++y) {
        for (int x = 0; x < out->Width(); ++x) {
            At(*out, x, y) = At(*background, x, y); // the background replaces
        }
    }
    for (const EditorKnob& knob : kEditorKnobs) {
        std::unique_ptr<RasterBitmap> strip(DecodePngResource(nullptr, ScaledImageId(knob.imageId, scale)));
        if (strip == nullptr) {
            return nullptr;
        }
        IParameter& parameter = *effect.ParameterAt(knob.paramIndex);
        const double normalized = parameter.ToNormalized(parameter.value);
        const int frame = static_cast<int>(std::floor((knob.frameCount - 1) * normalized + 0.5));
        const int size = knob.frameSize * scale;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                RasterPixel& d = At(*out, knob.x * scale + x, knob.y * scale + y);
                d = blendref::Blit(At(*strip, x, frame * size + y), d, 1.0f, BlendModeCopy | BlendUseSourceAlpha);
            }
        }
    }
    return out;
}

// How many pixels differ in colour or alpha; -1 for other sizes.
long Differences(const RasterBitmap& shown, const RasterBitmap& expected)
{
    if (shown.Width() != expected.Width() || shown.Height() != expected.Height()) {
        return -1;
    }
    long count = 0;
    for (int y = 0; y < shown.Height(); ++y) {
        for (int x = 0; x < shown.Width(); ++x) {
            count += At(shown, x, y) != At(expected, x, y) ? 1 : 0;
        }
    }
    return count;
}

// The height in device pixels of what the readout's name shows for the
// Coarse knob: the rows that change when the name appears.
int ReadoutInkHeight(int scale)
{
    ReferenceEditor plain(scale);
    ReferenceEditor shown(scale);
    shown.graphics->controls[1]->ShowInDisplays();
    shown.Paint();
    int top = std::numeric_limits<int>::max();
    int bottom = -1;
    for (int y = 0; y < shown.Screen().Height(); ++y) {
        for (int x = 0; x < shown.Screen().Width(); ++x) {
            if (At(plain.Screen(), x, y) != At(shown.Screen(), x, y)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return bottom - top + 1;
}

} // namespace

TEST(EditorScale, FactorsRoundToTheNearestSupportedScale)
{
    const std::pair<double, int32_t> cases[] = {{std::nan(""), 1}, {-2.0, 1}, {0.6, 1}, {1.49, 1}, {1.5, 2},
                                                {2.49, 2},          {2.5, 3},  {4.0, 3}, {1e300, 3}};
    for (const auto& [factor, scale] : cases) {
        EXPECT_EQ(NearestEditorScale(factor), scale) << factor;
    }
}

// Scale 1 is the composition the 1x pictures hold; 2 and 3 draw the images
// made for them, at device pixels, never a stretched scale-1 picture.
TEST(EditorScale, EditorPixelsAreTheImagesDrawnAtItsScale)
{
    for (int scale = 1; scale <= kMaxEditorScale; ++scale) {
        ReferenceEditor editor(scale);
        ASSERT_EQ(editor.graphics->scale, scale);
        EXPECT_EQ(editor.Screen().Width(), 655 * scale);
        EXPECT_EQ(editor.Screen().Height(), 175 * scale);
        // Knobs moved by the host land on the frames of the scaled strips.
        editor.SetPlain(0, 100.0);
        editor.SetPlain(3, 0.7);
        std::unique_ptr<RasterMemBitmap> expected = ComposedByHand(editor.effect, scale);
        ASSERT_NE(expected, nullptr) << "scale " << scale;
        EXPECT_EQ(Differences(*editor.graphics->backBuffer, *expected), 0) << "scale " << scale;
    }
}

TEST(EditorScale, TextIsSetAtTheScaledSize)
{
    const int one = ReadoutInkHeight(1);
    ASSERT_GT(one, 5);
    for (int scale = 2; scale <= kMaxEditorScale; ++scale) {
        const int scaled = ReadoutInkHeight(scale);
        EXPECT_GE(scaled, scale * one - scale) << "scale " << scale;
        EXPECT_LE(scaled, scale * one + scale) << "scale " << scale;
    }
}

// The cache keeps the images of the scales editors show, and no others.
TEST(EditorScale, ImageCacheHoldsOnlyTheScalesInUse)
{
    BitmapCache& cache = BitmapCache::Instance();
    ReferenceEditor editor(1);
    const auto held = [&](int scale) { return cache.Find(ScaledImageId(101, scale)) != nullptr; };
    EXPECT_TRUE(held(1));
    EXPECT_FALSE(held(2));
    ASSERT_TRUE(editor.graphics->SetScale(2));
    EXPECT_FALSE(held(1));
    EXPECT_TRUE(held(2));
    {
        ReferenceEditor other(3);
        EXPECT_TRUE(held(2));
        EXPECT_TRUE(held(3));
    }
    EXPECT_FALSE(held(3)) << "the last editor at scale 3 is gone";
    ASSERT_TRUE(editor.graphics->SetScale(3));
    EXPECT_FALSE(held(2));
    EXPECT_TRUE(held(3));
    editor.graphics->SetScale(7); // clamped to 3: nothing changes
    EXPECT_EQ(editor.graphics->scale, 3);

}
