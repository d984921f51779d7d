#include "effect/DistortionEffect.h"
#include "effect/EditorLayout.h"
#include "gui/BitmapCache.h"
#include "gui/IBitmapControl.h"
#include "gui/IKnobMultiControl.h"
#include "gui/ITextControl.h"
#include "raster/RasterSysBitmap.h"
#include "tests/gui/GuiTestSupport.h"

#include <gtest/gtest.h>

namespace {

// A control that records what the editor asked of it.
class ProbeControl : public IControl {
public:
    ProbeControl(IAudioPlugin* plug, IRectangle r, int param) : IControl(plug, r, param, IBlendSpec{}) {}
    bool Render(IGraphics&) override
    {
        ++renders;
        return true;
    }
    void MousePressed(int, int, const IMouseKeys&) override { log.push_back('p'); }
    void MouseReleased(int, int, const IMouseKeys&) override { log.push_back('r'); }
    void MouseDragged(int, int, int dX, int dY, const IMouseKeys&) override
    {
        log.push_back('d');
        lastDX = dX;
        lastDY = dY;
    }
    void MouseDoubleClicked(int, int, const IMouseKeys&) override { log.push_back('c'); }
    void WheelTurned(int, int, const IMouseKeys&, int steps) override { wheel += steps; }
    bool KeyPressed(int, int, EditorKey) override
    {
        log.push_back('k');
        return true;
    }
    int renders = 0;
    int wheel = 0;
    int lastDX = 0, lastDY = 0;
    std::string log;
};

struct Editor {
    GuiTestPlugin plug;
    IGraphicsHeadless graphics{&plug, 200, 100, 25};

    ProbeControl* Add(IRectangle r, int param)
    {
        auto control = std::make_unique<ProbeControl>(&plug, r, param);
        ProbeControl* raw = control.get();
        graphics.AddControl(std::move(control));
        return raw;
    }
};

} // namespace

TEST(GraphicsRouting, PressPassesThroughHiddenAndGreyedAndReleaseGoesToCapture)
{
    Editor e;
    ProbeControl* background = e.Add({0, 0, 200, 100}, -1);
    ProbeControl* knob = e.Add({10, 10, 50, 50}, 2);
    ProbeControl* cover = e.Add({10, 10, 50, 50}, 4);
    cover->hidden = true;
    ProbeControl* greyed = e.Add({0, 0, 60, 60}, 5);
    greyed->greyed = true;

    e.graphics.DispatchMousePress(20, 20, IMouseKeys{});
    EXPECT_EQ(e.graphics.captureIndex, 1);
    EXPECT_EQ(knob->log, "p");
    EXPECT_TRUE(cover->log.empty());
    EXPECT_TRUE(greyed->log.empty());
    EXPECT_EQ(e.plug.gestures, (std::vector<int>{3}));

    e.graphics.DispatchMouseDrag(20, 20, IMouseKeys{}); // no movement, nothing delivered
    e.graphics.DispatchMouseDrag(25, 12, IMouseKeys{});
    EXPECT_EQ(knob->log, "pd");
    EXPECT_EQ(knob->lastDX, 5);
    EXPECT_EQ(knob->lastDY, -8);
    e.graphics.DispatchWheel(150, 90, IMouseKeys{}, 2); // captured wins over the pointer
    EXPECT_EQ(knob->wheel, 2);
    EXPECT_EQ(background->wheel, 0);

    // The pointer left the knob: the release still reaches it, with capture reset.
    e.graphics.DispatchMouseRelease(190, 90, IMouseKeys{});
    EXPECT_EQ(knob->log, "pdr");
    EXPECT_EQ(e.graphics.captureIndex, -1);
    EXPECT_EQ(e.graphics.mouseX, -1);
    EXPECT_EQ(e.plug.gestures, (std::vector<int>{3, -3}));
    EXPECT_TRUE(background->log.empty());

    e.graphics.DispatchWheel(150, 90, IMouseKeys{}, -1);
    EXPECT_EQ(background->wheel, -1);

    // Nothing under the pointer: nothing captured, nothing called.
    e.graphics.DispatchMousePress(500, 500, IMouseKeys{});
    EXPECT_EQ(e.graphics.captureIndex, -1);
    e.graphics.DispatchMouseDrag(510, 510, IMouseKeys{});
    EXPECT_EQ(knob->log, "pdr");
}

TEST(GraphicsRouting, DoubleClickKeysHoverAndHostMenu)
{
    Editor e;
    ProbeControl* background = e.Add({0, 0, 200, 100}, -1);
    ProbeControl* knob = e.Add({10, 10, 50, 50}, 2);

    EXPECT_FALSE(e.graphics.DispatchDoubleClick(20, 20, IMouseKeys{}));
    EXPECT_EQ(knob->log, "c");
    EXPECT_EQ(e.graphics.captureIndex, -1);
    knob->doubleClickAsPress = true;
    EXPECT_TRUE(e.graphics.DispatchDoubleClick(20, 20, IMouseKeys{}));
    EXPECT_EQ(knob->log, "cp");
    EXPECT_EQ(e.graphics.captureIndex, 1);
    e.graphics.DispatchMouseRelease(20, 20, IMouseKeys{});

    // Keys over the background go to the key catcher, or are unhandled.
    EXPECT_FALSE(e.graphics.DispatchKey(150, 90, KeySpace));
    EXPECT_TRUE(background->log.empty());
    EXPECT_TRUE(e.graphics.DispatchKey(20, 20, KeyUp));
    auto catcher = std::make_unique<ProbeControl>(nullptr, IRectangle{}, -1);
    ProbeControl* catcherRaw = catcher.get();
    e.graphics.keyCatcher = std::move(catcher);
    EXPECT_TRUE(e.graphics.DispatchKey(150, 90, KeySpace));
    EXPECT_EQ(catcherRaw->log, "k");

    EXPECT_FALSE(e.graphics.DispatchMouseHover(20, 20, IMouseKeys{}));

    // A host wrapper of kind 1 takes right presses on bound controls.
    e.plug.wrapper = 1;
    IMouseKeys right;
    right.right = true;
    const std::string before = knob->log;
    e.graphics.DispatchMousePress(20, 20, right);
    EXPECT_EQ(knob->log, before);
    EXPECT_EQ(e.graphics.captureIndex, -1);
    ASSERT_EQ(e.plug.hostMenus.size(), 1u);
    EXPECT_EQ(e.plug.hostMenus[0].index, 2);
}

TEST(GraphicsPainting, NoControlsPresentsNothing)
{
    GuiTestPlugin plug;
    IGraphicsHeadless graphics(&plug, 50, 50, 25);
    EXPECT_TRUE(graphics.PaintDirtyControls({0, 0, 50, 50}));
    EXPECT_TRUE(graphics.PresentedAreas().empty());
}

TEST(GraphicsPainting, PlugValueGivesTwoDirtyTicksAndStrictModeRendersTouchedControl)
{
    Editor e;
    e.graphics.CreateBackingBitmaps();
    ProbeControl* background = e.Add({0, 0, 200, 100}, -1);
    ProbeControl* knob = e.Add({100, 10, 150, 60}, 1);
    ProbeControl* hidden = e.Add({100, 10, 150, 60}, -1);
    hidden->hidden = true;
    IRectangle area;
    ASSERT_TRUE(e.graphics.GatherDirtyArea(area));
    EXPECT_EQ(area, (IRectangle{0, 0, 200, 100}));
    e.graphics.PaintDirtyControls(area);
    EXPECT_EQ(hidden->renders, 0);
    area = {};
    EXPECT_FALSE(e.graphics.GatherDirtyArea(area));

    e.graphics.ShowParameterValue(1, 0.2, true); // first value: default only
    e.graphics.ShowParameterValue(1, 0.6, true);
    for (int tick = 0; tick < 2; ++tick) {
        area = {};
        ASSERT_TRUE(e.graphics.GatherDirtyArea(area)) << tick;
        EXPECT_EQ(area, knob->rect);
        e.graphics.PaintDirtyControls(area);
    }
    area = {};
    EXPECT_FALSE(e.graphics.GatherDirtyArea(area));
    EXPECT_EQ(knob->value, 0.6);
    EXPECT_EQ(knob->defaultValue, 0.2);

    // An area that ends exactly at the knob's left edge still draws it.
    const int before = knob->renders;
    const int backgroundBefore = background->renders;
    e.graphics.PaintDirtyControls({50, 10, 100, 20});
    EXPECT_EQ(knob->renders, before + 1);
    EXPECT_EQ(background->renders, backgroundBefore + 1);
    EXPECT_EQ(e.graphics.PresentedAreas().back(), (IRectangle{50, 10, 100, 20}));
}

TEST(GraphicsPainting, NonStrictModesDrawBackgroundOrOverlappingControls)
{
    Editor e;
    e.graphics.strictDrawing = false;
    ProbeControl* background = e.Add({0, 0, 200, 100}, -1);
    ProbeControl* a = e.Add({10, 10, 50, 50}, -1);
    ProbeControl* b = e.Add({40, 40, 90, 90}, -1);
    ProbeControl* far = e.Add({150, 10, 190, 50}, -1);
    e.graphics.PaintDirtyControls({0, 0, 200, 100});
    EXPECT_EQ(background->renders + a->renders + b->renders + far->renders, 4);
    EXPECT_EQ(e.graphics.drawArea, background->rect);

    a->MarkChanged(false);
    e.graphics.PaintDirtyControls(a->rect);
    EXPECT_EQ(background->renders, 2); // overlaps a
    EXPECT_EQ(a->renders, 2);
    EXPECT_EQ(b->renders, 2);
    EXPECT_EQ(far->renders, 1);
    EXPECT_FALSE(a->NeedsDrawing());
}

TEST(GraphicsPainting, StripFramesLandOnTheBackBufferClippedToTheDrawArea)
{
    BitmapCache::Instance().Clear();
    GuiTestPlugin plug;
    IGraphicsHeadless graphics(&plug, 120, 80, 25);
    auto background = RandomImage(1, 120, 80, true);
    auto strip = RandomImage(2, 20, 20 * 8, true);
    const RasterBitmap* backgroundImage = background.get();
    const RasterBitmap* stripImage = strip.get();
    graphics.ProvideImage(9003, std::move(background));
    graphics.ProvideImage(9001, std::move(strip));
    graphics.SetBackgroundImage(9003, "bg.png");
    IBitmapStrip knobStrip = graphics.LoadBitmapStrip(9001, "knob.png", 8);
    EXPECT_EQ(knobStrip.image, stripImage);
    EXPECT_EQ(graphics.LoadBitmapStrip(9001, "knob.png", 8).image, stripImage); // from the cache
    graphics.AddControl(std::make_unique<IKnobMultiControl>(&plug, 30, 40, 0, knobStrip, 0, 4.0));
    graphics.CreateBackingBitmaps();
    graphics.controls[1]->value = 0.5; // frame trunc(3.5 + 0.5) + 1 = 5
    graphics.OpenHeadless();
    IRectangle area;
    graphics.GatherDirtyArea(area);
    graphics.PaintDirtyControls(area);

    const RasterBitmap& screen = graphics.Screen();
    const int frameTop = static_cast<int>(160.0 * 4 / 8 + 0.5);
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 120; ++x) {
            const bool inKnob = x >= 30 && x < 50 && y >= 40 && y < 60;
            const RasterPixel expected = inKnob ? PixelAt(*stripImage, x - 30, frameTop + y - 40)
                                                : PixelAt(*backgroundImage, x, y);
            ASSERT_EQ(PixelAt(screen, x, y) | 0xFF000000u, expected) << x << "," << y;
        }
    }

    // Half outside the draw area: only the inside part, from the matching source offset.
    graphics.drawArea = {40, 0, 120, 80};
    IBitmapStrip other = knobStrip;
    graphics.BlitStripRegion(other, {30, 0, 50, 20}, 0, 100, nullptr);
    for (int y = 0; y < 20; ++y) {
        for (int x = 30; x < 50; ++x) {
            const RasterPixel expected =
                x >= 40 ? PixelAt(*stripImage, x - 30, 100 + y) : PixelAt(*backgroundImage, x, y);
            ASSERT_EQ(PixelAt(*graphics.backBuffer, x, y), expected) << x << "," << y;
        }
    }
    BitmapCache::Instance().Clear();
}

TEST(GraphicsPrompt, ChoiceMenuAndNumericTextEntry)
{
    GuiTestPlugin plug;
    IParameter* choice = plug.ParameterAt(4);
    choice->ConfigureDouble("mode", 1.0, 0.0, 2.0, 1.0);
    choice->type = IParameter::TypeChoice;
    choice->AddDisplayText(0, "Soft");
    choice->AddDisplayText(2, "Hard");
    choice->AddDisplayText(1, "Mid");
    auto editor = std::make_unique<IGraphicsHeadless>(&plug, 100, 100, 25);
    IGraphicsHeadless* headless = editor.get();
    auto owned = std::make_unique<ProbeControl>(&plug, IRectangle{0, 0, 40, 40}, 4);
    ProbeControl* control = owned.get();
    editor->AddControl(std::move(owned));
    plug.AttachEditor(std::move(editor));
    EXPECT_EQ(control->value, 0.5);

    headless->QueueMenuAnswer(2);
    headless->PromptParameterValue(control, choice, control->rect);
    ASSERT_EQ(headless->OfferedMenus().size(), 1u);
    EXPECT_EQ(headless->OfferedMenus()[0], (std::vector<std::string>{"Soft", "Mid", "Hard"}));
    EXPECT_EQ(control->value, 1.0);
    ASSERT_FALSE(plug.sent.empty());
    EXPECT_EQ(plug.sent.back().value, 1.0);
    EXPECT_EQ(choice->value, 2.0);

    // A dismissed menu changes nothing.
    headless->PromptParameterValue(control, choice, control->rect);
    EXPECT_EQ(control->value, 1.0);

    IParameter* number = plug.ParameterAt(0);
    number->ConfigureDouble("gain", 0.25, 0.0, 1.0, 0.01);
    control->paramIndex = 0;
    headless->QueueTextAnswer("0.75");
    headless->PromptParameterValue(control, number, {1, 1, 31, 17});
    ASSERT_EQ(headless->TextEntries().size(), 1u);
    EXPECT_EQ(headless->TextEntries()[0].text, "0.25");
    EXPECT_NEAR(control->value, 0.75, 1e-9);

    headless->PromptParameterValue(control, number, IRectangle{}); // no area: nothing
    EXPECT_EQ(headless->TextEntries().size(), 1u);

    // Typed answers commit as the window commits: a choice by its display
    // text, a toggle without texts as 0 whatever was typed.
    control->paramIndex = 4;
    headless->QueueTextAnswer("Hard");
    headless->OpenTextEntry(control, control->textStyle, control->rect, "Mid", choice);
    EXPECT_EQ(control->value, 1.0);
    EXPECT_EQ(choice->value, 2.0);
    IParameter* toggle = plug.ParameterAt(5);
    toggle->ConfigureDouble("on", 0.0, 0.0, 1.0, 1.0);
    toggle->type = IParameter::TypeToggle;
    control->paramIndex = 5;
    control->value = 1.0;
    headless->QueueTextAnswer("1");
    headless->PromptParameterValue(control, toggle, control->rect);
    EXPECT_EQ(control->value, 0.0);
}

TEST(GraphicsLifecycle, AttachGivesBoundControlsAndFirstAuxLinkTheirValues)
{
    GuiTestPlugin plug;
    auto owned = std::make_unique<IGraphicsHeadless>(&plug, 50, 50, 25);
    auto* knob = new ProbeControl(&plug, {0, 0, 10, 10}, 2);
    knob->auxLinks.push_back({0.0, 4});
    knob->auxLinks.push_back({0.0, 4});
    owned->AddControl(std::unique_ptr<IControl>(knob));
    auto* background = new ProbeControl(&plug, {0, 0, 10, 10}, -1);
    owned->AddControl(std::unique_ptr<IControl>(background));
    plug.parameters[2]->value = 0.25;
    plug.parameters[4]->value = 0.5;
    IGraphicsHeadless* graphics = owned.get();
    plug.AttachEditor(std::move(owned));
    EXPECT_DOUBLE_EQ(knob->value, 0.25);
    EXPECT_DOUBLE_EQ(knob->defaultValue, 0.25);
    EXPECT_DOUBLE_EQ(knob->auxLinks[0].value, 0.5); // the first matching link only
    EXPECT_EQ(knob->auxLinks[1].value, 0.0);
    EXPECT_EQ(background->value, 0.0);
    EXPECT_NE(graphics->backBuffer, nullptr);

    // Pushed plain values reach the controls as positions.
    plug.parameters[2]->value = 1.0;
    knob->redrawPending = false;
    plug.PushParametersToEditor();
    EXPECT_DOUBLE_EQ(knob->value, 1.0);
    EXPECT_TRUE(knob->redrawPending);
}

TEST(GraphicsLifecycle, ResizeDropsControlsAndRecreatesTheBackBuffer)
{
    Editor e;
    e.Add({0, 0, 10, 10}, -1);
    e.graphics.captureIndex = 0;
    e.graphics.ResizeEditor(300, 120);
    EXPECT_TRUE(e.graphics.controls.empty());
    EXPECT_EQ(e.graphics.captureIndex, -1);
    ASSERT_NE(e.graphics.backBuffer, nullptr);
    EXPECT_EQ(e.graphics.backBuffer->Width(), 300);
    EXPECT_EQ(e.graphics.Screen().Width(), 300);
}

TEST(GraphicsLifecycle, EffectEditorShowsEveryParameterAfterAttach)
{
    BitmapCache::Instance().Clear();
    DistortionEffect effect(nullptr, nullptr, false);
    auto editor = std::make_unique<IGraphicsHeadless>(&effect, kEditorWidth, kEditorHeight, kEditorFrameRate);
    editor->ProvideImage(103, RandomImage(3, 655, 175, true));
    editor->ProvideImage(101, RandomImage(4, 70, 4480, false));
    editor->ProvideImage(102, RandomImage(5, 64, 1984, false));
    BuildDistortionEditor(*editor, &effect);
    IGraphics* graphics = editor.get();
    effect.AttachEditor(std::move(editor));

    // The background, the six knobs, then the readout's name and value.
    ASSERT_EQ(graphics->controls.size(), 9u);
    const int params[] = {-1, 0, 1, 5, 6, 2, 3};
    const IRectangle rects[] = {{0, 0, 655, 175},   {47, 32, 117, 102},  {142, 32, 212, 102}, {238, 32, 308, 102},
                                {336, 32, 406, 102}, {437, 36, 501, 100}, {532, 36, 596, 100}};
    for (size_t i = 0; i < 7; ++i) {
        const IControl& control = *graphics->controls[i];
        EXPECT_EQ(control.paramIndex, params[i]) << i;
        EXPECT_EQ(control.rect, rects[i]) << i;
        if (params[i] >= 0) {
            const IParameter& p = *effect.ParameterAt(params[i]);
            EXPECT_EQ(control.value, p.ToNormalized(p.value)) << i;
            EXPECT_EQ(control.defaultValue, control.value) << i;
        }
    }
    for (size_t i = 7; i < 9; ++i) {
        IControl& readout = *graphics->controls[i];
        EXPECT_EQ(readout.paramIndex, -1) << i;
        EXPECT_FALSE(readout.HitTest(readout.rect.left, readout.rect.top)) << "the readout takes no mouse";
    }
    for (size_t i = 1; i < 7; ++i) {
        EXPECT_EQ(static_cast<IControl*>(graphics->controls[i]->nameDisplay), graphics->controls[7].get()) << i;
        EXPECT_EQ(static_cast<IControl*>(graphics->controls[i]->valueDisplay), graphics->controls[8].get()) << i;
    }
    EXPECT_EQ(graphics->controls[0]->blend.mode, IBlendSpec::BlendReplace);
    ASSERT_NE(graphics->backBuffer, nullptr);
    EXPECT_EQ(graphics->backBuffer->Width(), 655);

    // A click or a wheel turn on the background changes nothing.
    std::vector<double> before;
    for (int i = 0; i < effect.ParameterCount(); ++i) {
        before.push_back(effect.ParameterAt(i)->value);
    }
    graphics->DispatchMousePress(5, 5, IMouseKeys{});
    graphics->DispatchMouseDrag(5, 50, IMouseKeys{});
    graphics->DispatchMouseRelease(5, 50, IMouseKeys{});
    for (int i = 0; i < effect.ParameterCount(); ++i) {
        EXPECT_EQ(effect.ParameterAt(i)->value, before[static_cast<size_t>(i)]) << i;
    }

    // Dragging the Coarse knob fully up reaches the top of its range.
    graphics->DispatchMousePress(80, 60, IMouseKeys{});
    graphics->DispatchMouseDrag(80, 60 - 300, IMouseKeys{});
    graphics->DispatchMouseRelease(80, 60 - 300, IMouseKeys{});
    EXPECT_EQ(graphics->controls[1]->value, 1.0);
    EXPECT_EQ(effect.ParameterAt(0)->ToNormalized(effect.ParameterAt(0)->value), 1.0);
    BitmapCache::Instance().Clear();
}
