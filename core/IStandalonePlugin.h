#pragma once

#include "core/IAudioPlugin.h"
#include "core/IMidiOutputPort.h"

#include <cstdint>

// The wrapper for the standalone application: answers the host hooks and
// sends the plug-in's MIDI to the host's output port.
class IStandalonePlugin : public IAudioPlugin {
public:
    // midiOutput may be null (no MIDI output object); midiOutputChannel is
    // the host's setting (0 keeps each message's channel), read at every send.
    IStandalonePlugin(const char* effect, const char* product, const char* maker, const char* channelIo,
                      IMidiOutputPort* midiOutput, const uint16_t* midiOutputChannel);

    void BeginParameterGesture(int paramIndex) override;
    void NotifyHostOfParameter(int paramIndex, double normalized) override;
    void EndParameterGesture(int paramIndex) override;
    double HostTempo() override;
    void ResizeEditorInHost(int width, int height) override;
    // MIDI input thread (JACK's process thread under JACK MIDI) or UI thread;
    // never blocks, no allocation. Re-channels channel messages when an
    // output channel is set and sends as many bytes as the message's kind has.
    bool EmitMidiMessage(const MidiMessage& message) override;

    // Applies the output-channel rule to a status byte (0: unchanged).
    static uint8_t RechannelStatus(uint8_t status, uint16_t outputChannel);

protected:
    IMidiOutputPort* midiOutputPort;
    const uint16_t* midiOutputChannelSetting;
};
