#include "effect/EditorFactory.h"

#include "effect/DistortionEffect.h"
#include "effect/EditorLayout.h"
#include "gui/IGraphics.h"

namespace {
EditorFactory installedFactory = nullptr;

// The effect's editor: a window editor from the installed factory with the
// effect's layout in it.
std::unique_ptr<IPluginEditor> BuildEffectEditor(IAudioPlugin& plug)
{
    std::unique_ptr<IGraphics> graphics = MakeEditor(&plug, kEditorWidth, kEditorHeight, kEditorFrameRate);
    if (!graphics) {
        return nullptr;
    }
    BuildDistortionEditor(*graphics, &plug);
    return graphics;
}
} // namespace

void SetEditorFactory(EditorFactory factory)
{
    installedFactory = factory;
    DistortionEffect::SetEditorBuilder(factory != nullptr ? &BuildEffectEditor : nullptr);
}

std::unique_ptr<IGraphics> MakeEditor(IAudioPlugin* plug, int width, int height, int frameRate)
{
    if (!installedFactory) {
        return nullptr;
    }
    return installedFactory(plug, width, height, frameRate);
}
