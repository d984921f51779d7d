#include "effect/EditorLayout.h"

#include "gui/IGraphics.h"
#include "gui/IKnobMultiControl.h"

#include <memory>

namespace {

struct KnobPlacement {
    int32_t paramIndex;
    int32_t imageId;
    const char* fileName;
    int32_t frameCount;
    int x;
    int y;
};

// Left edges are not evenly spaced; they follow the labels of the background.
constexpr KnobPlacement kKnobs[] = {
    {0, 101, "resources/img/BlueKnob3.png", 64, 47, 32},
    {1, 101, "resources/img/BlueKnob3.png", 64, 142, 32},
    {5, 101, "resources/img/BlueKnob3.png", 64, 238, 32},
    {6, 101, "resources/img/BlueKnob3.png", 64, 336, 32},
    {2, 102, "resources/img/RedOpener.png", 31, 437, 36},
    {3, 102, "resources/img/RedOpener.png", 31, 532, 36},
};

} // namespace

void BuildDistortionEditor(IGraphics& graphics, IAudioPlugin* plug)
{
    graphics.SetBackgroundImage(103, "resources/img/SnarlboxBG_g.png");
    for (const KnobPlacement& knob : kKnobs) {
        const IBitmapStrip strip = graphics.LoadBitmapStrip(knob.imageId, knob.fileName, knob.frameCount);
        graphics.AddControl(
            std::make_unique<IKnobMultiControl>(plug, knob.x, knob.y, knob.paramIndex, strip, 0, 4.0));
    }
}
