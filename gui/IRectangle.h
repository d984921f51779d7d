#pragma once

#include <algorithm>
#include <cstdint>

// Editor rectangle in pixels; right and bottom are exclusive. All four zero
// means empty (a rectangle with no area but other coordinates is not empty).
struct IRectangle {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool IsEmpty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool operator==(const IRectangle&) const = default;

    // Touching right or bottom edges count as overlapping.
    bool Overlaps(const IRectangle& b) const
    {
        return !IsEmpty() && !b.IsEmpty() && right >= b.left && left < b.right && bottom >= b.top &&
               top < b.bottom;
    }
    IRectangle Union(const IRectangle& b) const
    {
        if (IsEmpty()) {
            return b;
        }
        if (b.IsEmpty()) {
            return *this;
        }
        return {std::min(left, b.left), std::min(top, b.top), std::max(right, b.right),
                std::max(bottom, b.bottom)};
    }
    IRectangle Intersect(const IRectangle& b) const
    {
        if (!Overlaps(b)) {
            return {};
        }
        return {std::max(left, b.left), std::max(top, b.top), std::min(right, b.right),
                std::min(bottom, b.bottom)};
    }
};
