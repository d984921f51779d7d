#pragma once

#include "gui/IRectangle.h"

#include <cstdint>

// The rectangle a measured text of width w and height h takes inside r for
// the style's alignment (0 left, 1 centre, 2 right); the top stays. Any thread; pure.
inline IRectangle PlaceMeasuredText(const IRectangle& r, int32_t align, int w, int h)
{
    IRectangle out = r;
    out.bottom = r.top + h;
    if (align == 1) {
        const int mid = static_cast<int>(static_cast<float>(r.left + r.right) * 0.5f);
        out.left = mid - w / 2;
        out.right = out.left + w;
    } else if (align == 2) {
        out.left = r.right - w;
    } else {
        out.right = r.left + w;
    }
    return out;
}
