#pragma once

#include <cstdint>

// One knob of the effect's editor: the parameter it drives, its image strip
// and where it sits. The editor layout adds the knobs from this table, and
// the images are drawn round the same places.
struct EditorKnob {
    int32_t paramIndex;
    int32_t imageId;
    const char* fileName;
    int32_t frameCount;
    int32_t x;          // left edge, in editor pixels
    int32_t y;          // top edge, in editor pixels
    int32_t frameSize;  // width and height of one frame, in pixels
    const char* label;  // printed on the background under the knob
};

// In the order they are added. Left edges are not evenly spaced; they
// follow the labels of the background.
constexpr EditorKnob kEditorKnobs[] = {
    {0, 101, "resources/img/BlueKnob3.png", 64, 47, 32, 70, "Coarse Downsample"},
    {1, 101, "resources/img/BlueKnob3.png", 64, 142, 32, 70, "Fine Downsample"},
    {5, 101, "resources/img/BlueKnob3.png", 64, 238, 32, 70, "Even Harmonics"},
    {6, 101, "resources/img/BlueKnob3.png", 64, 336, 32, 70, "Odd Harmonics"},
    {2, 102, "resources/img/RedOpener.png", 31, 437, 36, 64, "Wet %"},
    {3, 102, "resources/img/RedOpener.png", 31, 532, 36, 64, "Volume"},
};
