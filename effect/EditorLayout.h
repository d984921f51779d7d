#pragma once

#include <cstdint>

class IAudioPlugin;
class IGraphics;

// The effect's editor: 655 x 175 pixels, 25 redraw checks per second.
constexpr int32_t kEditorWidth = 655;
constexpr int32_t kEditorHeight = 175;
constexpr int32_t kEditorFrameRate = 25;

// Adds the background (image 103) and the six knobs to an empty editor, in
// their fixed order. UI thread only, before the editor is attached.
void BuildDistortionEditor(IGraphics& graphics, IAudioPlugin* plug);
