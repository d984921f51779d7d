#include "effect/EditorFactory.h"

#include "gui/IGraphics.h"

namespace {
EditorFactory installedFactory = nullptr;
}

void SetEditorFactory(EditorFactory factory) { installedFactory = factory; }

std::unique_ptr<IGraphics> MakeEditor(IAudioPlugin* plug, int width, int height, int frameRate)
{
    if (!installedFactory) {
        return nullptr;
    }
    return installedFactory(plug, width, height, frameRate);
}
