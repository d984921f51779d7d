#include "gui/IBitmapControl.h"
#include "gui/IKnobMultiControl.h"
#include "gui/IPopupMenu.h"
#include "gui/ITextControl.h"
#include "gui/MeasuredTextRect.h"
#include "tests/gui/GuiTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

IBitmapStrip StripOf(int width, int height, int frames)
{
    IBitmapStrip strip;
    strip.width = width;
    strip.height = height;
    strip.frameCount = frames;
    return strip;
}

class PlainControl : public IControl {
public:
    PlainControl(IAudioPlugin* plug, IRectangle r, int param) : IControl(plug, r, param, IBlendSpec{}) {}
    bool Render(IGraphics&) override { return true; }
};

} // namespace

TEST(Rectangle, OverlapCountsTouchingRightAndBottomEdgesAndNeverEmpty)
{
    const IRectangle a{0, 0, 10, 10};
    EXPECT_TRUE(a.Overlaps({10, 0, 20, 10}));  // a's right edge touches b's left
    EXPECT_FALSE((IRectangle{10, 0, 20, 10}).Overlaps(a)); // not symmetric: b.left < a.right fails
    EXPECT_TRUE(a.Overlaps({0, 10, 10, 20}));
    EXPECT_FALSE(a.Overlaps({11, 0, 20, 10}));
    EXPECT_FALSE(a.Overlaps(IRectangle{}));
    EXPECT_FALSE(IRectangle{}.Overlaps(IRectangle{}));
    // No area but not empty: it still takes part.
    EXPECT_FALSE((IRectangle{5, 5, 5, 5}).IsEmpty());
    EXPECT_TRUE((IRectangle{5, 5, 5, 5}).Overlaps(a));

    EXPECT_EQ(IRectangle{}.Union(a), a);
    EXPECT_EQ(a.Union(IRectangle{}), a);
    EXPECT_EQ(a.Union({20, -5, 30, 5}), (IRectangle{0, -5, 30, 10}));
    EXPECT_EQ(a.Intersect({5, 5, 20, 20}), (IRectangle{5, 5, 10, 10}));
    EXPECT_EQ(a.Intersect({50, 50, 60, 60}), IRectangle{});
}

TEST(Control, MarkChangedClampsAndPushesOnlyWithPlugAndParameter)
{
    GuiTestPlugin plug;
    PlainControl bound(&plug, {0, 0, 10, 10}, 2);
    bound.dirty = false;
    bound.value = 1.5;
    bound.MarkChanged(false);
    EXPECT_EQ(bound.value, 1.0);
    EXPECT_TRUE(bound.dirty);
    EXPECT_TRUE(plug.sent.empty());

    bound.value = -0.2;
    bound.MarkChanged(true);
    EXPECT_EQ(bound.value, 0.0);
    ASSERT_EQ(plug.sent.size(), 1u);
    EXPECT_EQ(plug.sent[0].index, 2);
    EXPECT_EQ(plug.sent[0].value, 0.0);

    PlainControl unbound(&plug, {0, 0, 10, 10}, -1);
    unbound.value = 0.5;
    unbound.MarkChanged(true);
    PlainControl orphan(nullptr, {0, 0, 10, 10}, 1);
    orphan.MarkChanged(true);
    EXPECT_EQ(plug.sent.size(), 1u);
}

TEST(Control, TakePlugValueFirstValueIsTheDefaultAndLaterOnesDrawTwice)
{
    PlainControl control(nullptr, {0, 0, 10, 10}, 0);
    control.MarkDrawn();
    EXPECT_FALSE(control.NeedsDrawing());
    control.TakePlugValue(0.3);
    EXPECT_EQ(control.value, 0.3);
    EXPECT_EQ(control.defaultValue, 0.3);
    EXPECT_FALSE(control.redrawPending);
    EXPECT_FALSE(control.NeedsDrawing());
    control.TakePlugValue(0.3);
    EXPECT_FALSE(control.NeedsDrawing());

    control.TakePlugValue(0.4);
    EXPECT_TRUE(control.redrawPending);
    EXPECT_TRUE(control.NeedsDrawing());
    control.MarkDrawn();
    EXPECT_TRUE(control.NeedsDrawing()); // second pass
    control.MarkDrawn();
    EXPECT_FALSE(control.NeedsDrawing());
    EXPECT_EQ(control.defaultValue, 0.3);

    // Stored unclamped; a NaN always differs.
    control.TakePlugValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(control.NeedsDrawing());
}

TEST(Control, HitTestEdgesAndEmptyTarget)
{
    PlainControl control(nullptr, {10, 20, 30, 40}, -1);
    EXPECT_TRUE(control.HitTest(10, 20));
    EXPECT_TRUE(control.HitTest(29, 39));
    EXPECT_FALSE(control.HitTest(30, 25));
    EXPECT_FALSE(control.HitTest(15, 40));
    EXPECT_FALSE(control.HitTest(9, 25));
    control.targetRect = {};
    EXPECT_FALSE(control.HitTest(0, 0));
}

TEST(Control, SetGreyedSetsFixedWeightsAndSetHiddenDrawsTwice)
{
    PlainControl control(nullptr, {0, 0, 10, 10}, -1);
    control.blend.weight = 0.6f;
    control.SetGreyed(true);
    EXPECT_EQ(control.blend.weight, 0.25f);
    EXPECT_TRUE(control.greyed);
    control.SetGreyed(false);
    EXPECT_EQ(control.blend.weight, 1.0f);
    control.MarkDrawn();
    control.SetHidden(true);
    EXPECT_TRUE(control.hidden);
    control.MarkDrawn();
    EXPECT_TRUE(control.NeedsDrawing());
}

TEST(Knob, VerticalDragWithGearingAndFineModifiers)
{
    GuiTestPlugin plug;
    IKnobMultiControl knob(&plug, 47, 32, 0, StripOf(70, 64 * 64, 64), 0, 4.0);
    EXPECT_EQ(knob.rect, (IRectangle{47, 32, 117, 96}));
    knob.value = 0.9;
    knob.MouseDragged(0, 0, 0, -100, IMouseKeys{});
    EXPECT_EQ(knob.value, 1.0);
    ASSERT_EQ(plug.sent.size(), 1u);
    EXPECT_EQ(plug.sent[0].value, 1.0);

    IMouseKeys shift;
    shift.shift = true;
    knob.value = 0.9;
    knob.MouseDragged(0, 0, 0, -100, shift);
    EXPECT_NEAR(knob.value, 0.9 + 100.0 / 64.0 / 40.0, 1e-12);
    EXPECT_NEAR(knob.value - 0.9, 0.039, 0.0001);

    IMouseKeys control;
    control.control = true;
    knob.value = 0.5;
    knob.MouseDragged(0, 0, 0, 64, control); // down lowers
    EXPECT_NEAR(knob.value, 0.5 - 1.0 / 40.0, 1e-12);

    IKnobMultiControl horizontal(&plug, 0, 0, 1, StripOf(50, 100, 2), 1, 2.0);
    horizontal.MouseDragged(0, 0, 25, -40, IMouseKeys{});
    EXPECT_NEAR(horizontal.value, 25.0 / 50.0 / 2.0, 1e-12);
}

TEST(Knob, NoExtentOrNaNNeverReachesThePlugIn)
{
    GuiTestPlugin plug;
    // A strip of zero height gives a knob frame of zero height.
    IKnobMultiControl flat(&plug, 10, 10, 0, StripOf(70, 0, 1), 0, 4.0);
    ASSERT_EQ(flat.rect.top, flat.rect.bottom);
    flat.value = 0.4;
    flat.MouseDragged(0, 0, 5, 0, IMouseKeys{});  // 0 / 0
    flat.MouseDragged(0, 0, 0, -10, IMouseKeys{}); // -10 / 0
    EXPECT_EQ(flat.value, 0.4);
    IKnobMultiControl ungeared(&plug, 0, 0, 1, StripOf(50, 100, 2), 1, 0.0);
    ungeared.value = 0.6;
    ungeared.MouseDragged(0, 0, 7, 0, IMouseKeys{}); // 7 / 50 / 0
    EXPECT_EQ(ungeared.value, 0.6);
    // A NaN value from anywhere becomes the lower bound before it is sent.
    PlainControl plain(&plug, IRectangle{0, 0, 5, 5}, 2);
    plain.clampLow = 0.25;
    plain.value = std::numeric_limits<double>::quiet_NaN();
    plain.MarkChanged(true);
    EXPECT_EQ(plain.value, 0.25);
    ASSERT_EQ(plug.sent.size(), 4u);
    for (const GuiTestPlugin::Sent& sent : plug.sent) {
        EXPECT_FALSE(std::isnan(sent.value)) << sent.index;
    }
    EXPECT_EQ(plug.sent[0].value, 0.4);
    EXPECT_EQ(plug.sent[2].value, 0.6);
    EXPECT_EQ(plug.sent[3].value, 0.25);
}

TEST(Knob, WheelStepsAndDoubleClickDefault)
{
    GuiTestPlugin plug;
    IKnobMultiControl knob(&plug, 0, 0, 3, StripOf(64, 31 * 64, 31), 0, 4.0);
    knob.value = 0.5;
    knob.WheelTurned(0, 0, IMouseKeys{}, 1);
    EXPECT_NEAR(knob.value, 0.51, 1e-12);
    IMouseKeys control;
    control.control = true;
    knob.WheelTurned(0, 0, control, 1);
    EXPECT_NEAR(knob.value, 0.511, 1e-12);
    knob.WheelTurned(0, 0, IMouseKeys{}, 100);
    EXPECT_EQ(knob.value, 1.0);
    EXPECT_EQ(plug.sent.size(), 3u);

    // No default known yet: nothing changes, nothing is sent.
    knob.value = 0.7;
    knob.MouseDoubleClicked(0, 0, IMouseKeys{});
    EXPECT_EQ(knob.value, 0.7);
    EXPECT_EQ(plug.sent.size(), 3u);
    knob.defaultValue = 0.25;
    knob.MouseDoubleClicked(0, 0, IMouseKeys{});
    EXPECT_EQ(knob.value, 0.25);
    ASSERT_EQ(plug.sent.size(), 4u);
    EXPECT_EQ(plug.sent[3].value, 0.25);
}

TEST(Knob, FrameSelectionRoundsAndClamps)
{
    EXPECT_EQ(StripFrameForValue(64, 0.0), 1);
    EXPECT_EQ(StripFrameForValue(64, 0.0079), 1);
    EXPECT_EQ(StripFrameForValue(64, 0.008), 2);
    EXPECT_EQ(StripFrameForValue(64, 0.5), 33);
    EXPECT_EQ(StripFrameForValue(64, 1.0), 64);
    EXPECT_EQ(StripFrameForValue(31, 0.5), 16);
    EXPECT_EQ(StripFrameForValue(64, -3.0), 1);
    EXPECT_EQ(StripFrameForValue(64, 7.0), 64);
    EXPECT_EQ(StripFrameForValue(64, 1e300), 64);
    EXPECT_EQ(StripFrameForValue(64, std::numeric_limits<double>::quiet_NaN()), 1);
}

TEST(Control, RightClickPromptStaysOffWhileDisabled)
{
    GuiTestPlugin plug;
    auto editor = std::make_unique<IGraphicsHeadless>(&plug, 100, 100, 25);
    auto* headless = editor.get();
    auto owned = std::make_unique<PlainControl>(&plug, IRectangle{0, 0, 30, 20}, 1);
    PlainControl* control = owned.get();
    editor->AddControl(std::move(owned));
    plug.AttachEditor(std::move(editor));
    IMouseKeys right;
    right.right = true;
    control->MousePressed(5, 5, right);
    EXPECT_TRUE(headless->TextEntries().empty());

    control->promptDisabled = false;
    control->MousePressed(5, 5, right);
    ASSERT_EQ(headless->TextEntries().size(), 1u);
    // A 30 x 16 box centred on the control.
    EXPECT_EQ(headless->TextEntries()[0].area, (IRectangle{0, 2, 30, 18}));
    EXPECT_TRUE(control->redrawPending);
}

TEST(TextControl, SetTextMarksOnlyOnChange)
{
    ITextControl text(nullptr, {0, 0, 50, 20}, ITextStyle{}, "a");
    text.MarkDrawn();
    text.SetText("a");
    EXPECT_FALSE(text.NeedsDrawing());
    text.SetText("b");
    EXPECT_TRUE(text.NeedsDrawing());
    EXPECT_EQ(text.Text(), "b");
    text.SetText(nullptr);
    EXPECT_EQ(text.Text(), "");
}

TEST(PopupMenu, PrefixesNumberItemsFromOne)
{
    IPopupMenu menu(IPopupMenu::PrefixTwoDigits);
    menu.AddItem("Low");
    menu.AddItem("High", IPopupMenuItem::Checked);
    EXPECT_EQ(menu.ShownText(0), "01: Low");
    EXPECT_EQ(menu.ShownText(1), "02: High");
    EXPECT_EQ(menu.items[1]->flags, IPopupMenuItem::Checked);
    menu.prefixMode = IPopupMenu::PrefixNone;
    EXPECT_EQ(menu.ShownText(0), "Low");
    EXPECT_EQ(menu.ShownText(5), "");
}

TEST(MeasuredText, PlacementByAlignment)
{
    const IRectangle r{10, 0, 110, 20};
    EXPECT_EQ(PlaceMeasuredText(r, ITextStyle::AlignCentre, 41, 14), (IRectangle{40, 0, 81, 14}));
    EXPECT_EQ(PlaceMeasuredText(r, ITextStyle::AlignLeft, 41, 14), (IRectangle{10, 0, 51, 14}));
    EXPECT_EQ(PlaceMeasuredText(r, ITextStyle::AlignRight, 41, 14), (IRectangle{69, 0, 110, 14}));
    // Odd sums truncate the middle: (11 + 110) * 0.5 = 60.5 -> 60.
    EXPECT_EQ(PlaceMeasuredText({11, 5, 110, 20}, ITextStyle::AlignCentre, 41, 14), (IRectangle{40, 5, 81, 19}));
}
