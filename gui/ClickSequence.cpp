#include "gui/ClickSequence.h"

#include <cstdlib>

bool ClickSequence::IsDoubleClick(int button, uint32_t timeMs, int x, int y, int maxTimeMs, int maxDistance)
{
    // Unsigned difference, so a clock that wraps between the presses still counts.
    const bool isDouble = havePrevious && button == previousButton &&
                          timeMs - previousTime <= static_cast<uint32_t>(maxTimeMs < 0 ? 0 : maxTimeMs) &&
                          std::abs(x - previousX) <= maxDistance && std::abs(y - previousY) <= maxDistance;
    havePrevious = !isDouble;
    previousButton = button;
    previousTime = timeMs;
    previousX = x;
    previousY = y;
    return isDouble;
}
