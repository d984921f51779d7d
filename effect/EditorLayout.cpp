#include "effect/EditorLayout.h"

#include "effect/EditorKnob.h"
#include "effect/KnobScaleText.h"
#include "gui/IGraphics.h"
#include "gui/IKnobMultiControl.h"
#include "gui/ITextControl.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

// Light text on the dark well, legible at a glance.
ITextStyle ReadoutStyle(int32_t align)
{
    ITextStyle style;
    std::strncpy(style.font, "DejaVu Sans", sizeof style.font - 1);
    style.size = kReadoutTextSize;
    style.colour = IRgbaColor{255, 250, 234, 200};
    style.align = align;
    style.quality = 2; // antialiased
    return style;
}

// A text control that shows what the knobs give it and never takes the mouse.
ITextControl* AddReadout(IGraphics& graphics, IAudioPlugin* plug, const IRectangle& rect, int32_t align)
{
    auto control = std::make_unique<ITextControl>(plug, rect, ReadoutStyle(align));
    control->targetRect = IRectangle{};
    ITextControl* readout = control.get();
    graphics.AddControl(std::move(control));
    return readout;
}

} // namespace

void BuildDistortionEditor(IGraphics& graphics, IAudioPlugin* plug)
{
    graphics.SetBackgroundImage(103, "resources/img/SnarlboxBG_g.png");
    std::vector<IControl*> knobs;
    for (const EditorKnob& knob : kEditorKnobs) {
        const IBitmapStrip strip = graphics.LoadBitmapStrip(knob.imageId, knob.fileName, knob.frameCount);
        auto control = std::make_unique<IKnobMultiControl>(plug, knob.x, knob.y, knob.paramIndex, strip, 0, 4.0);
        // The readout names the knob as the panel does and counts in its scale's units.
        control->displayName = knob.label;
        control->displayValueText = KnobValueText;
        knobs.push_back(control.get());
        graphics.AddControl(std::move(control));
    }
    constexpr int32_t kInset = 6;
    ITextControl* name = AddReadout(
        graphics, plug, IRectangle{kReadoutLeft + kInset, kReadoutTop, kReadoutSplit, kReadoutBottom},
        ITextStyle::AlignRight);
    ITextControl* value = AddReadout(
        graphics, plug, IRectangle{kReadoutSplit + kInset, kReadoutTop, kReadoutRight - kInset, kReadoutBottom},
        ITextStyle::AlignLeft);
    for (IControl* knob : knobs) {
        knob->nameDisplay = name;
        knob->valueDisplay = value;
    }
    // Pointing at a knob shows its name and value in the readout.
    graphics.hoverEnabled = true;
}
