#pragma once

#include <cstdint>
#include <string>

// What the audio engine is doing, and why when it is not making sound.
enum class AudioState : uint8_t {
    Off,               // not asked to run (before the first start, after a driver change or Quit)
    Running,           // the stream delivers callbacks
    NoDriver,          // the audio library could not be set up for the driver type
    ServerDown,        // JACK server is not running (retried)
    UnknownDevice,     // detail: the device name that matches nothing (retried)
    BadSetting,        // detail: the setting that cannot work; waits for the user
    RateMismatch,      // serverRate: what the server runs at (retried)
    Lost,              // the server quit or the device went away (retried)
    BufferSizeChanged, // the server changed its buffer size; restarting
    Stalled,           // the stream stopped delivering callbacks; restarting
    StartFailed,       // detail: the audio library's message (retried)
};

// The engine's state as the user-interface thread reads it: a copy, made
// under the engine's lock, with every detail a status line needs.
struct AudioStatus {
    AudioState state = AudioState::Off;
    std::string detail;         // device name, setting or library message
    std::string driver;         // "ALSA" or "JACK"
    std::string device;         // output device of the running stream
    uint32_t sampleRate = 0;    // Hz: the stream's, or the stored one when refused
    uint32_t serverRate = 0;    // Hz the JACK server runs at (RateMismatch)
    uint32_t bufferFrames = 0;  // frames per callback of the running stream
    uint32_t latencyFrames = 0; // input to output through Snarlbox, 0 when unknown
    std::string clientName;     // the JACK client's name as the server gave it
    uint32_t change = 0;        // counts every change of state or detail
};
