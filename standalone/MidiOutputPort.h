#pragma once

#include "core/IMidiOutputPort.h"

#include <rtmidi/RtMidi.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// The host's MIDI output object: owns the RtMidiOut and guards its one port.
// The UI thread opens, closes and lists ports under a small mutex; the MIDI
// thread only try-locks it to send, so it never waits for the UI and drops a
// message that arrives while a port is being reopened. Bytes are sent only
// while a port is open (RtMidi's JACK back end spins when none is).
class MidiOutputPort : public IMidiOutputPort {
public:
    // UI thread only. out must not be null.
    explicit MidiOutputPort(std::unique_ptr<RtMidiOut> out);
    // UI thread only, after the plug-in is gone: closes any port.
    ~MidiOutputPort() override;
    MidiOutputPort(const MidiOutputPort&) = delete;
    MidiOutputPort& operator=(const MidiOutputPort&) = delete;

    // Live port list; 0 / empty text when RtMidi reports an error. UI thread only.
    unsigned int PortCount();
    std::string PortName(unsigned int port);
    // Closes the current port, then opens port under portName; false (error
    // printed) when RtMidi refuses. UI thread only.
    bool OpenPort(unsigned int port, const char* portName);
    // Closes the open port, if any. UI thread only.
    void ClosePort();
    // UI thread only.
    bool PortOpen();
    RtMidi::Api CurrentApi() const;

    // Sends bytes to the open port; false when no port is open, the UI thread
    // is just reopening it, or RtMidi reports an error (printed). Any thread;
    // never blocks, no allocation of ours.
    bool SendBytes(const uint8_t* bytes, int count) override;

private:
    std::unique_ptr<RtMidiOut> midiOut;
    std::mutex portMutex;   // held only around open, close, listing and sending
    bool portOpen = false;  // guarded by portMutex
};
