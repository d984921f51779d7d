#pragma once

#include <cstdint>

// Bytes of a short MIDI message that starts with status: 3 for note off/on,
// polyphonic aftertouch, control change, pitch wheel, song position; 2 for
// program change, channel aftertouch, time code quarter frame, song select;
// 1 for everything else (tune request, real-time bytes, undefined status
// bytes and a lone data byte). Any thread; real-time safe.
inline int MidiMessageLength(uint8_t status)
{
    if (status >= 0x80 && status < 0xF0) {
        const int kind = status >> 4;
        return (kind == 0xC || kind == 0xD) ? 2 : 3;
    }
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 2;
    case 0xF2:
        return 3;
    default:
        return 1;
    }
}
