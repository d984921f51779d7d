#pragma once

#include <cstdint>

// Tells the second press of a double click the way a window class with
// double clicks does: a press of the same button within the double-click
// time and distance of the previous press is a double click, unless that
// previous press was itself the second of one (so a third press is a plain
// press again). UI thread; a plain computation.
class ClickSequence {
public:
    // GTK's default limits, for windows that have no setting of their own.
    static constexpr int kDefaultTimeMs = 400;
    static constexpr int kDefaultDistance = 5; // pixels, along each axis

    // Every press, with its event time in milliseconds (wrapping) and position.
    bool IsDoubleClick(int button, uint32_t timeMs, int x, int y, int maxTimeMs, int maxDistance);
    void Reset() { havePrevious = false; }

private:
    bool havePrevious = false;
    int previousButton = 0;
    uint32_t previousTime = 0;
    int previousX = 0;
    int previousY = 0;
};
