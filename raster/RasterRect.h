#pragma once

#include <cstdint>

// A rectangle of a bitmap in pixels, right and bottom exclusive; the same
// field layout as the editor's rectangle so callers can pass theirs across.
struct RasterRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};
