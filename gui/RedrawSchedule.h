#pragma once

#include <cstdint>

// The redraw timer of an editor window that has no timer of its own and is
// driven by its host's idle calls instead: ticks come on the period's grid,
// so idle calls at any rate above the frame rate give the frame rate on
// average, and a host that stalls gets one tick afterwards, not a burst.
// UI thread only; plain computation.
class RedrawSchedule {
public:
    // periodMs <= 0: never due.
    explicit RedrawSchedule(int periodMs) : period(periodMs) {}

    // Whether a tick is due at nowMs (a monotonic clock); when it is, the
    // next one is scheduled.
    bool Due(int64_t nowMs);
    // The next idle call ticks at once (the window was just opened).
    void Restart() { started = false; }

private:
    int period;
    bool started = false;
    int64_t nextMs = 0;
};
