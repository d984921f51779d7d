#pragma once

#include <cstdint>

// What the audio callback carries from one device buffer to the next.
// Written by the UI thread only while no stream is open (a start resets it),
// by the audio thread otherwise.
struct AudioCallbackState {
    uint32_t signalVectorSize = 32; // frames per ProcessAudioBlock call
    uint32_t warmupCount = 0;       // callbacks since the stream was started
    uint32_t vectorPosition = 0;    // frames of the last signal vector done
    double fadeGain = 0.0;          // output fade-in gain, 0.0 at stream start

    // Back to the start-of-stream values. UI thread, while no stream is open.
    void Reset()
    {
        warmupCount = 0;
        vectorPosition = 0;
        fadeGain = 0.0;
    }
};
