// The effect's editor as a musician reads it: the scales round the knobs and
// the readout of the knob being touched, drawn with the program's own images
// and fonts.
#include "core/IParameter.h"
#include "effect/DistortionEffect.h"
#include "effect/EditorFactory.h"
#include "effect/EditorKnob.h"
#include "effect/EditorLayout.h"
#include "effect/KnobFrameAngle.h"
#include "effect/KnobScaleText.h"
#include "gui/BitmapCache.h"
#include "gui/IBitmapControl.h"
#include "gui/IGraphicsHeadless.h"
#include "gui/ITextControl.h"
#include "raster/RasterSysBitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::unique_ptr<IGraphics> MakeHeadless(IAudioPlugin* plug, int w, int h, int fps)
{
    return std::make_unique<IGraphicsHeadless>(plug, w, h, fps);
}

// Luma, 0..255, of the back buffer pixel nearest to (x, y).
double Luma(const RasterBitmap& image, double x, double y)
{
    const int px = static_cast<int>(std::lround(x));
    const int py = static_cast<int>(std::lround(y));
    const RasterPixel p = image.Pixels()[py * image.Stride() + px];
    return 0.299 * ((p >> 16) & 255) + 0.587 * ((p >> 8) & 255) + 0.114 * (p & 255);
}

// Mean luma along the ray at degrees (clockwise from twelve) between two radii.
double RayLuma(const RasterBitmap& image, double cx, double cy, double degrees, double r0, double r1)
{
    const double a = degrees * kPi / 180.0;
    double sum = 0.0;
    int count = 0;
    for (double r = r0; r <= r1; r += 0.5, ++count) {
        sum += Luma(image, cx + r * std::sin(a), cy - r * std::cos(a));
    }
    return sum / count;
}

// The angle between from and to (degrees) of the darkest (or brightest) line
// through the centre between two radii: the centre of the rays around the
// extreme one that stand out by more than half of its depth.
double LineAngle(const RasterBitmap& image, double cx, double cy, double from, double to, double r0, double r1,
                 bool darkest)
{
    const double sign = darkest ? -1.0 : 1.0;
    double best = from;
    double bestLevel = -1e9;
    for (double a = from; a <= to; a += 0.25) {
        const double level = sign * RayLuma(image, cx, cy, a, r0, r1);
        if (level > bestLevel) {
            bestLevel = level;
            best = a;
        }
    }
    double around = 0.0;
    int count = 0;
    for (double a = best - 10.0; a <= best + 10.0; a += 0.25, ++count) {
        around += sign * RayLuma(image, cx, cy, a, r0, r1);
    }
    const double threshold = (bestLevel + around / count) / 2.0;
    double weighted = 0.0;
    double total = 0.0;
    for (double a = best - 10.0; a <= best + 10.0; a += 0.25) {
        const double excess = sign * RayLuma(image, cx, cy, a, r0, r1) - threshold;
        if (excess > 0.0) {
            weighted += a * excess;
            total += excess;
        }
    }
    return weighted / total;
}

// WCAG relative luminance of an sRGB pixel.
double Luminance(RasterPixel p)
{
    auto channel = [](uint32_t c) {
        const double v = c / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel((p >> 16) & 255) + 0.7152 * channel((p >> 8) & 255) + 0.0722 * channel(p & 255);
}

class EditorReadout : public ::testing::Test {
protected:
    void SetUp() override
    {
        BitmapCache::Instance().Clear();
        SetEditorFactory(MakeHeadless);
        effect = std::make_unique<DistortionEffect>(nullptr, &channel);
        SetEditorFactory(nullptr);
        editor = dynamic_cast<IGraphicsHeadless*>(effect->Editor());
        ASSERT_NE(editor, nullptr);
        editor->OpenHeadless();
        Paint();
    }
    void TearDown() override
    {
        effect.reset();
        BitmapCache::Instance().Clear();
    }
    void Paint() { editor->PaintDirtyControls(IRectangle{0, 0, kEditorWidth, kEditorHeight}); }
    const RasterBitmap& Picture() { return *editor->backBuffer; }
    std::string Name() { return editor->controls[1]->nameDisplay->Text(); }
    std::string Value() { return editor->controls[1]->valueDisplay->Text(); }

    uint16_t channel = 0;
    std::unique_ptr<DistortionEffect> effect;
    IGraphicsHeadless* editor = nullptr;
};

// Each knob at each end of its travel points at the end mark printed on the
// background: both found in the drawn editor, both at the angle the images
// were drawn with.
TEST_F(EditorReadout, AKnobAtTheEndOfItsTravelPointsAtThePrintedEndMark)
{
    for (size_t k = 0; k < 6; ++k) {
        const EditorKnob& knob = kEditorKnobs[k];
        IControl& control = *editor->controls[k + 1];
        // The centre in pixel indexes: pixel i covers i..i+1 of the drawing.
        const double cx = knob.x + knob.frameSize / 2.0 - 0.5;
        const double cy = knob.y + knob.frameSize / 2.0 - 0.5;
        const double ring = knob.frameSize / 2.0 + 1.5; // the well's edge
        for (const double end : {0.0, 1.0}) {
            control.value = end;
            control.MarkChanged(false);
            Paint();
            const double drawn = KnobFrameAngle(StripFrameForValue(knob.frameCount, end), knob.frameCount);
            const double pointer = LineAngle(Picture(), cx, cy, -180.0, 180.0, 9.0, 20.0, true);
            // The next tick is 30 degrees away; the end mark is the brightest ray near the end.
            const double mark = LineAngle(Picture(), cx, cy, drawn - 14.0, drawn + 14.0, ring + 2.8, ring + 4.5, false);
            EXPECT_NEAR(pointer, drawn, 2.0) << knob.label << " at " << end;
            EXPECT_NEAR(mark, drawn, 1.5) << knob.label << " at " << end;
            EXPECT_NEAR(pointer, mark, 2.5) << knob.label << " at " << end;
        }
        // Half way the pointer is half way too: the dials' needles turn with the value.
        control.value = 0.5;
        control.MarkChanged(false);
        Paint();
        const double middle = KnobFrameAngle(StripFrameForValue(knob.frameCount, 0.5), knob.frameCount);
        EXPECT_NEAR(LineAngle(Picture(), cx, cy, -180.0, 180.0, 9.0, 20.0, true), middle, 3.0) << knob.label;
    }
}

TEST_F(EditorReadout, ScalesPrintTheRangeOfTheirParameters)
{
    std::vector<std::string> printed;
    for (const EditorKnob& knob : kEditorKnobs) {
        const IParameter& parameter = *effect->ParameterAt(knob.paramIndex);
        printed.push_back(KnobScaleText(parameter, 0.0) + "..." + KnobScaleText(parameter, 1.0));
    }
    EXPECT_EQ(printed, (std::vector<std::string>{"1...327", "1...15", "0...100%", "0...100%", "0...100%",
                                                  "0...100%"}));
}

TEST_F(EditorReadout, ShowsTheKnobBeingDraggedTurnedOrPointedAt)
{
    EXPECT_EQ(Name(), "");
    EXPECT_EQ(Value(), "");
    const IMouseKeys none{};
    // A quarter of the way up: 70 pixels on a 70-pixel knob geared 4.
    editor->DispatchMousePress(82, 67, none);
    editor->DispatchMouseDrag(82, 40, none);
    editor->DispatchMouseDrag(82, -3, none);
    EXPECT_EQ(Name(), "Coarse Downsample");
    EXPECT_EQ(Value(), "21");
    // Let go away from the knob: the readout empties.
    editor->DispatchMouseRelease(82, -3, none);
    EXPECT_EQ(Name(), "");
    EXPECT_EQ(Value(), "");

    // Pointing at a knob shows it; pointing at the background empties it.
    editor->DispatchMouseHover(469, 68, none);
    EXPECT_EQ(Name(), "Wet %");
    EXPECT_EQ(Value(), "100 %");
    editor->DispatchMouseHover(520, 68, none);
    EXPECT_EQ(Name(), "");
    // Straight from one knob to the next: the second one stays shown.
    editor->DispatchMouseHover(469, 68, none);
    editor->DispatchMouseHover(564, 68, none);
    EXPECT_EQ(Name(), "Volume");
    // A wheel notch over Fine shows its new value.
    editor->DispatchMouseHover(177, 67, none);
    editor->DispatchWheel(177, 67, none, 1);
    EXPECT_EQ(Name(), "Fine Downsample");
    EXPECT_EQ(Value(), "1");
    // The mouse leaves the editor.
    editor->DispatchMouseLeave();
    EXPECT_EQ(Name(), "");
    EXPECT_EQ(Value(), "");
    // Released over the knob it was dragging, the readout stays.
    editor->DispatchMousePress(82, 67, none);
    editor->DispatchMouseDrag(82, 60, none);
    editor->DispatchMouseRelease(82, 60, none);
    EXPECT_EQ(Name(), "Coarse Downsample");
}

// The readout names each knob by the label printed under it and gives its
// value in the units of its scale: whole samples where the processing counts
// whole samples (Coarse is cut, not rounded), whole per cent for the shares.
TEST_F(EditorReadout, SpeaksThePanelsLanguage)
{
    const struct {
        size_t knob; // left to right
        double plain;
        const char* shown;
    } cases[] = {{0, 1.999, "Coarse Downsample 1"}, {0, 21.4175, "Coarse Downsample 21"},
                 {0, 327.68, "Coarse Downsample 327"}, {1, 9.0, "Fine Downsample 9"},
                 {2, 0.0, "Even Harmonics 0 %"}, {2, 0.494, "Even Harmonics 49 %"},
                 {3, 0.006, "Odd Harmonics 1 %"}, {4, 1.0, "Wet % 100 %"}, {5, 0.126, "Volume 13 %"}};
    for (const auto& c : cases) {
        const EditorKnob& knob = kEditorKnobs[c.knob];
        effect->ParameterAt(knob.paramIndex)->value = c.plain;
        editor->DispatchMouseHover(5, 5, IMouseKeys{}); // away first, so pointing shows it afresh
        editor->DispatchMouseHover(knob.x + knob.frameSize / 2, knob.y + knob.frameSize / 2, IMouseKeys{});
        EXPECT_EQ(Name() + " " + Value(), c.shown) << c.plain;
    }
}

// The readout's text is at least 9 pixels high and stands out from its well.
TEST_F(EditorReadout, TextIsTallAndLegibleOnTheWood)
{
    const std::vector<RasterPixel> empty(Picture().Pixels(), Picture().Pixels() + Picture().Stride() * kEditorHeight);
    editor->DispatchMousePress(82, 67, IMouseKeys{});
    editor->DispatchMouseDrag(82, -300, IMouseKeys{});
    ASSERT_EQ(Value(), "327");
    ASSERT_EQ(Name(), "Coarse Downsample");
    Paint();
    const RasterBitmap& shown = Picture();
    // The rows and columns the value's digits changed.
    const IRectangle& valueRect = editor->controls[1]->valueDisplay->rect;
    int top = kEditorHeight, bottom = -1, left = kEditorWidth, right = -1;
    double brightest = 0.0;
    std::vector<double> well;
    for (int y = kReadoutTop; y < kReadoutBottom; ++y) {
        for (int x = kReadoutLeft; x < kReadoutRight; ++x) {
            const RasterPixel before = empty[static_cast<size_t>(y * shown.Stride() + x)];
            const RasterPixel after = shown.Pixels()[y * shown.Stride() + x];
            if (before != after) {
                brightest = std::max(brightest, Luminance(after));
                if (x >= valueRect.left && x < valueRect.right) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            } else if (y > kReadoutTop + 2 && y < kReadoutBottom - 2) {
                well.push_back(Luminance(after));
            }
        }
    }
    ASSERT_GE(bottom, top) << "no text was drawn";
    EXPECT_GE(bottom - top + 1, 9) << "digits " << bottom - top + 1 << " pixels high";
    EXPECT_GE(right - left + 1, 18) << "three digits";
    // Contrast of the text's full strokes against the well (WCAG: 7 for small text at its best).
    std::nth_element(well.begin(), well.begin() + static_cast<long>(well.size() / 2), well.end());
    const double ground = well[well.size() / 2];
    EXPECT_GE((brightest + 0.05) / (ground + 0.05), 7.0);
    // Nothing of the text leaves the well.
    for (int y = 0; y < kEditorHeight; ++y) {
        for (int x = 0; x < kEditorWidth; ++x) {
            const bool inWell = x >= kReadoutLeft && x < kReadoutRight && y >= kReadoutTop && y < kReadoutBottom;
            const bool inKnob = x >= 47 && x < 117 && y >= 32 && y < 102;
            if (!inWell && !inKnob) {
                ASSERT_EQ(empty[static_cast<size_t>(y * shown.Stride() + x)], shown.Pixels()[y * shown.Stride() + x])
                    << x << "," << y;
            }
        }
    }
}

} // namespace
