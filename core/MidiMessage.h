#pragma once

#include <cstdint>

// One short MIDI message; the offset is 0 for live input.
struct MidiMessage {
    int32_t frameOffset = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};
