#pragma once

#include "core/IMidiOutputPort.h"

#include <rtmidi/RtMidi.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class JackMidiPorts;

// The host's MIDI output object: owns the RtMidiOut and guards its one port.
// The UI thread opens, closes and lists ports under a small mutex; the MIDI
// thread only try-locks it to send, so it never waits for the UI and drops a
// message that arrives while a port is being reopened. Bytes are sent only
// while a port is open. Under JACK MIDI there is no RtMidiOut: bytes go to
// the output port of the engine's JACK client, which connects it.
class MidiOutputPort : public IMidiOutputPort {
public:
    // UI thread only. out may be null (no back end yet).
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
    // The back end in use; RtMidi::UNSPECIFIED without one. UI thread only.
    RtMidi::Api CurrentApi();
    bool HasBackEnd();
    // Sends to the JACK client's MIDI output from now on (MIDI over JACK);
    // the ports live as long as the engine. UI thread, before any send.
    void UseJack(JackMidiPorts* ports) { jack = ports; }
    // Sends that failed in the library, or could not be queued, since the
    // last call. UI thread only.
    uint32_t TakeSendErrors();

    // Sends bytes to the open port; false when no port is open, the UI thread
    // is just reopening it, or RtMidi reports an error (counted, said later by
    // the UI thread). Any thread, JACK's process thread too; never blocks,
    // prints nothing, no allocation of ours.
    bool SendBytes(const uint8_t* bytes, int count) override;

private:
    std::unique_ptr<RtMidiOut> midiOut;
    std::mutex portMutex;   // held only around open, close, listing, swapping and sending
    bool portOpen = false;  // guarded by portMutex
    std::atomic<uint32_t> sendErrors{0};
    JackMidiPorts* jack = nullptr;
};
