#pragma once

#include <cstdint>

// The share of each callback period that the audio thread spends processing,
// smoothed over the user-interface thread's looks, from the engine's two
// relaxed counters (time spent in callbacks, callbacks made). UI thread only.
class DspLoadMeter {
public:
    // Forgets everything: the next Update only takes its starting point.
    // UI thread only.
    void Reset();
    // One look at the counters; periodSeconds is the length of one callback
    // period (buffer frames / sample rate). A look without new callbacks keeps
    // the last load. UI thread only.
    void Update(uint64_t busyNanos, uint32_t callbackTicks, double periodSeconds);
    // False until two looks with callbacks between them were taken.
    bool Measured() const { return measured; }
    // Smoothed load: 0 idle, 1 the whole period, above 1 when processing
    // takes longer than the period.
    double Load() const { return load; }

private:
    bool started = false;
    bool measured = false;
    uint64_t lastBusy = 0;
    uint32_t lastTicks = 0;
    double load = 0.0;
};
