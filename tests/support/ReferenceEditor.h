#pragma once

// The standalone program's editor painted without a display, as
// tools/render_editor paints it: what any window showing the effect's editor
// is compared with, at scale 1 or drawn at a scale of 2 or 3 device pixels
// per editor pixel. Test thread only.

#include "effect/DistortionEffect.h"
#include "effect/EditorLayout.h"
#include "gui/IGraphicsHeadless.h"
#include "raster/RasterMemBitmap.h"

#include <memory>

class ReferenceEditor {
public:
    explicit ReferenceEditor(int scale = 1) : effect(nullptr, nullptr, false)
    {
        auto editor = std::make_unique<IGraphicsHeadless>(&effect, kEditorWidth, kEditorHeight, kEditorFrameRate);
        graphics = editor.get();
        BuildDistortionEditor(*graphics, &effect);
        effect.AttachEditor(std::move(editor));
        graphics->SetScale(scale);
        graphics->OpenHeadless();
        Paint();
    }
    // Two ticks, so pushed values are drawn as the window draws them.
    void Paint()
    {
        for (int tick = 0; tick < 2; ++tick) {
            IRectangle area;
            if (graphics->GatherDirtyArea(area)) {
                graphics->PaintDirtyControls(area);
            }
        }
    }
    // A value from the host, as the plug-in base pushes one.
    void SetPlain(int paramIndex, double value)
    {
        effect.ParameterAt(paramIndex)->value = value;
        graphics->ShowParameterValue(paramIndex, value, false);
        Paint();
    }
    float Plain(int paramIndex) { return static_cast<float>(effect.ParameterAt(paramIndex)->value); }
    const RasterBitmap& Screen() { return graphics->Screen(); }

    DistortionEffect effect;
    IGraphicsHeadless* graphics = nullptr;
};
