#pragma once

#include <cstdint>

// Key codes given to controls: space, arrows, digits 0-9, letters A-Z.
enum EditorKey : int32_t {
    KeySpace = 0,
    KeyUp = 1,
    KeyDown = 2,
    KeyLeft = 3,
    KeyRight = 4,
    KeyDigit0 = 5,  // .. KeyDigit0 + 9
    KeyLetterA = 15, // .. KeyLetterA + 25
    KeyNone = -1,
};
