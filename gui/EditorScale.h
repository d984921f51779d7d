#pragma once

#include <cmath>
#include <cstdint>

// The editor draws at a whole number of device pixels per editor pixel, one
// to kMaxEditorScale; its layout and mouse stay in editor pixels. Any
// thread; pure.
constexpr int32_t kMaxEditorScale = 3;

// Images drawn at scale 2 and 3 are resources of their own, this far apart
// from the id of the scale-1 image.
constexpr int32_t kScaledImageIdStep = 1000;

// The resource id of image id drawn at scale (1..kMaxEditorScale).
constexpr int32_t ScaledImageId(int32_t id, int32_t scale)
{
    return scale <= 1 ? id : id + (scale - 1) * kScaledImageIdStep;
}

// The supported scale nearest to a factor a host or desktop asks for: at
// least 1 (also for nothing, zero, negative or not a number), at most
// kMaxEditorScale; halves round up.
inline int32_t NearestEditorScale(double factor)
{
    if (!(factor >= 1.0)) {
        return 1;
    }
    if (factor >= kMaxEditorScale) {
        return kMaxEditorScale;
    }
    return static_cast<int32_t>(std::floor(factor + 0.5));
}
