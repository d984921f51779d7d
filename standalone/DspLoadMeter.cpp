#include "standalone/DspLoadMeter.h"

namespace {
// Weight of the newest look: at two looks a second, a change shows mostly
// within two seconds while one slow callback does not make the line jump.
constexpr double kNewWeight = 0.3;
} // namespace

void DspLoadMeter::Reset()
{
    started = false;
    measured = false;
    load = 0.0;
}

void DspLoadMeter::Update(uint64_t busyNanos, uint32_t callbackTicks, double periodSeconds)
{
    if (!started) {
        started = true;
        lastBusy = busyNanos;
        lastTicks = callbackTicks;
        return;
    }
    // Unsigned differences stay right across a wrap of the counters.
    const uint32_t ticks = callbackTicks - lastTicks;
    const uint64_t busy = busyNanos - lastBusy;
    if (ticks == 0 || !(periodSeconds > 0.0)) {
        return;
    }
    lastBusy = busyNanos;
    lastTicks = callbackTicks;
    const double now = static_cast<double>(busy) * 1e-9 / (static_cast<double>(ticks) * periodSeconds);
    load = measured ? load + kNewWeight * (now - load) : now;
    measured = true;
}
