#pragma once

#include <cstdint>

// Where the standalone plug-in sends its MIDI: the host's output port.
class IMidiOutputPort {
public:
    virtual ~IMidiOutputPort() = default;
    // MIDI input thread or UI thread; must not block on the UI thread.
    // Returns false when the bytes could not be sent (no port open, error).
    virtual bool SendBytes(const uint8_t* bytes, int count) = 0;
};
