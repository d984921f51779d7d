#pragma once

#include <cstdint>

// How a control's bitmap is composited onto the back buffer.
struct IBlendSpec {
    enum Mode : int32_t { BlendOver = 0, BlendReplace = 1, BlendAdd = 2, BlendDodge = 3 };
    int32_t mode = BlendOver;
    float weight = 1.0f; // 0..1
};
