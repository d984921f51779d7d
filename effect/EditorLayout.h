#pragma once

#include <cstdint>

class IAudioPlugin;
class IGraphics;

// The effect's editor: 655 x 175 pixels, 25 redraw checks per second.
constexpr int32_t kEditorWidth = 655;
constexpr int32_t kEditorHeight = 175;
constexpr int32_t kEditorFrameRate = 25;

// The readout in the dark well at the bottom right of the background: the
// label printed under the knob being dragged, turned or pointed at,
// right-aligned up to kReadoutSplit, and its value in the units of the
// knob's scale from there on. Editor pixels, right and bottom exclusive.
constexpr int32_t kReadoutLeft = 372;
constexpr int32_t kReadoutTop = 150;
constexpr int32_t kReadoutRight = 626;
constexpr int32_t kReadoutBottom = 167;
constexpr int32_t kReadoutSplit = 530;
// Character height of the readout's text, in pixels.
constexpr int32_t kReadoutTextSize = 13;

// Adds the background (image 103), the six knobs and the readout (the
// knobs' name and value displays) to an empty editor, in that order, and
// lets it follow the mouse. UI thread only, before the editor is attached.
void BuildDistortionEditor(IGraphics& graphics, IAudioPlugin* plug);
