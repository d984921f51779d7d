#include "gui/DoubleClickDetector.h"

#include <cstdlib>

bool DoubleClickDetector::Press(int button, int x, int y, uint32_t timeMs)
{
    // Unsigned difference: right across a wrap of the clock.
    const bool isDouble = havePress && button == lastButton && timeMs - lastTimeMs <= kMaxIntervalMs &&
                          std::abs(x - lastX) <= kMaxDistance && std::abs(y - lastY) <= kMaxDistance;
    if (isDouble) {
        havePress = false;
        return true;
    }
    havePress = true;
    lastButton = button;
    lastX = x;
    lastY = y;
    lastTimeMs = timeMs;
    return false;
}
