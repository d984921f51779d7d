#include "core/IStandalonePlugin.h"

#include "core/MidiMessageLength.h"

#include <atomic>

IStandalonePlugin::IStandalonePlugin(const char* effect, const char* product, const char* maker,
                                     const char* channelIo, IMidiOutputPort* midiOutput,
                                     const uint16_t* midiOutputChannel)
    : IAudioPlugin(effect, product, maker, channelIo), midiOutputPort(midiOutput),
      midiOutputChannelSetting(midiOutputChannel)
{
    for (auto& record : inputChannelRecords) {
        record->connected = true;
    }
    for (auto& record : outputChannelRecords) {
        record->connected = true;
    }
    ChangeBlockSize(1024);
    hostKind = IdentifyHost("standalone");
    hostVersion = 0x00010000;
}

void IStandalonePlugin::BeginParameterGesture(int) {}

void IStandalonePlugin::NotifyHostOfParameter(int, double) {}

void IStandalonePlugin::EndParameterGesture(int) {}

double IStandalonePlugin::HostTempo() { return 120.0; }

void IStandalonePlugin::ResizeEditorInHost(int, int) {}

uint8_t IStandalonePlugin::RechannelStatus(uint8_t status, uint16_t outputChannel)
{
    // System messages (0xF0 and up) belong to no channel: they pass as they are.
    if (outputChannel == 0 || status >= 0xF0) {
        return status;
    }
    const int high = status >> 4;
    const int kind = (high >= 8 && high <= 14) ? high : 0;
    // Only the channel nibble is replaced: a channel above 16 from an edited
    // settings file must not spill into the message kind.
    return static_cast<uint8_t>((kind << 4) | ((outputChannel - 1) & 0x0F));
}

bool IStandalonePlugin::EmitMidiMessage(const MidiMessage& message)
{
    if (midiOutputPort == nullptr) {
        return false;
    }
    uint16_t channel = 0;
    if (midiOutputChannelSetting != nullptr) {
        // The UI thread writes the setting while the MIDI thread sends.
        channel = std::atomic_ref<uint16_t>(const_cast<uint16_t&>(*midiOutputChannelSetting))
                      .load(std::memory_order_relaxed);
    }
    // The length follows the message's own kind: a program change padded to
    // three bytes would arrive as two program changes on the ALSA sequencer.
    const uint8_t bytes[3] = {RechannelStatus(message.status, channel), message.data1, message.data2};
    midiOutputPort->SendBytes(bytes, MidiMessageLength(message.status));
    return true;
}
