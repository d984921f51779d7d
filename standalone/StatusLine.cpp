#include "standalone/StatusLine.h"

#include "standalone/AudioComesBack.h"
#include "standalone/AudioEngine.h"
#include "standalone/DescribeAudioStatus.h"
#include "standalone/HostSettings.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kSeparator = " \u00b7 ";

std::string Format(const char* format, double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

const char* PortWord(MidiPortState state, bool serverAway)
{
    switch (state) {
    case MidiPortState::Open:
        return "open";
    case MidiPortState::Absent:
        return "absent";
    case MidiPortState::Failed:
        return "failed";
    case MidiPortState::NoMidi:
        return serverAway ? "waiting for the JACK server" : "unavailable";
    case MidiPortState::Off:
        break;
    }
    return "off";
}

std::string MidiPart(const StatusLine::Readings& readings)
{
    const MidiStatus& midi = readings.midi;
    const bool anyChosen = readings.midiInputChosen || readings.midiOutputChosen;
    if (anyChosen && midi.input == MidiPortState::NoMidi && midi.output == MidiPortState::NoMidi) {
        return std::string("MIDI ") + PortWord(MidiPortState::NoMidi, midi.serverAway);
    }
    if (readings.midiInputChosen && readings.midiOutputChosen) {
        return std::string("MIDI in ") + PortWord(midi.input, midi.serverAway) + ", out " +
               PortWord(midi.output, midi.serverAway);
    }
    if (readings.midiInputChosen) {
        return std::string("MIDI in ") + PortWord(midi.input, midi.serverAway);
    }
    if (readings.midiOutputChosen) {
        return std::string("MIDI out ") + PortWord(midi.output, midi.serverAway);
    }
    return std::string();
}

StatusLine::Tone ToneOf(AudioState state)
{
    if (state == AudioState::Running) {
        return StatusLine::Tone::Playing;
    }
    return AudioComesBack(state) ? StatusLine::Tone::Waiting : StatusLine::Tone::Silent;
}

} // namespace

StatusLine::Readings StatusLine::ReadProcess()
{
    Readings readings;
    readings.audio = audioEngine.Status();
    readings.xruns = audioEngine.Xruns();
    readings.busyNanos = audioEngine.BusyNanos();
    readings.callbackTicks = audioEngine.CallbackTicks();
    readings.midi = CurrentMidiStatus();
    readings.midiInputChosen = std::strcmp(currentSettings.midiInputDevice, "off") != 0;
    readings.midiOutputChosen = std::strcmp(currentSettings.midiOutputDevice, "off") != 0;
    return readings;
}

void StatusLine::Update(const Readings& readings)
{
    tone = ToneOf(readings.audio.state);
    text = AudioPart(readings);
    const std::string midi = MidiPart(readings);
    if (!midi.empty()) {
        text += kSeparator + midi;
    }
}

std::string StatusLine::AudioPart(const Readings& readings)
{
    const AudioStatus& audio = readings.audio;
    if (audio.state != AudioState::Running) {
        streamSeen = false;
        if (audio.state == AudioState::Off) {
            return "audio is off (Preferences...)";
        }
        return DescribeAudioStatus(audio);
    }
    // Load and xruns belong to the stream that runs now.
    if (!streamSeen || audio.change != streamChange) {
        streamSeen = true;
        streamChange = audio.change;
        xrunsAtStart = readings.xruns;
        load.Reset();
    }
    const double period = audio.sampleRate > 0 ? static_cast<double>(audio.bufferFrames) / audio.sampleRate : 0.0;
    load.Update(readings.busyNanos, readings.callbackTicks, period);

    // A JACK client the server renamed on a clash shows under its name.
    const std::string driver = audio.clientName.empty() || audio.clientName == "Snarlbox"
                                   ? audio.driver
                                   : audio.driver + " (" + audio.clientName + ")";
    std::string line = driver + kSeparator + audio.device + kSeparator + std::to_string(audio.sampleRate) + " Hz" +
                       kSeparator + std::to_string(audio.bufferFrames) + " frames";
    if (period > 0.0) {
        line += Format(" (%.1f ms)", period * 1000.0);
    }
    if (load.Measured()) {
        const double percent = load.Load() * 100.0;
        line += kSeparator + Format(percent < 10.0 ? "DSP load %.1f%%" : "DSP load %.0f%%", percent);
    }
    // The whole way from the capture ports to the playback ports.
    if (audio.latencyFrames > 0 && audio.sampleRate > 0) {
        line += kSeparator + Format("latency %.1f ms", 1000.0 * audio.latencyFrames / audio.sampleRate);
    }
    const uint32_t xruns = readings.xruns - xrunsAtStart;
    line += kSeparator + std::to_string(xruns) + (xruns == 1 ? " xrun" : " xruns");
    return line;
}
