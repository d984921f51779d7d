#pragma once

#include "standalone/AudioStatus.h"
#include "standalone/DspLoadMeter.h"
#include "standalone/Midi.h"

#include <cstdint>
#include <string>

// The words of the main window's status line: while audio runs, the driver,
// device, rate, buffer size with its latency, DSP load and xruns; while it
// does not, why; and the state of each chosen MIDI port. UI thread only.
class StatusLine {
public:
    // How the line's light shows it.
    enum class Tone : uint8_t {
        Playing, // the stream runs
        Waiting, // no sound now; it comes back by itself
        Silent,  // no sound until the user changes something
    };
    // What the line is made from.
    struct Readings {
        AudioStatus audio;
        uint32_t xruns = 0;          // the engine's count since it was made
        uint64_t busyNanos = 0;      // time the audio thread spent in callbacks
        uint32_t callbackTicks = 0;  // callbacks made
        MidiStatus midi;
        bool midiInputChosen = false;  // a port other than "off" is stored
        bool midiOutputChosen = false;
    };

    // What the process's audio engine, MIDI and settings publish now.
    // UI thread only.
    static Readings ReadProcess();

    // Takes one look and remakes the text. UI thread only.
    void Update(const Readings& readings);
    const std::string& Text() const { return text; }
    Tone CurrentTone() const { return tone; }

private:
    std::string AudioPart(const Readings& readings);

    std::string text;
    Tone tone = Tone::Silent;
    DspLoadMeter load;
    uint32_t streamChange = 0; // AudioStatus::change of the stream being measured
    bool streamSeen = false;
    uint32_t xrunsAtStart = 0; // xruns counted before this stream started
};
