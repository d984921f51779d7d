#include "gui/RedrawSchedule.h"

bool RedrawSchedule::Due(int64_t nowMs)
{
    if (period <= 0) {
        return false;
    }
    if (!started) {
        started = true;
        nextMs = nowMs + period;
        return true;
    }
    if (nowMs < nextMs) {
        return false;
    }
    nextMs += period;
    if (nextMs <= nowMs) {
        // Fell behind by more than a period: start a new grid from now.
        nextMs = nowMs + period;
    }
    return true;
}
