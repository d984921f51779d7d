#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the preferences dialog needs of one audio device.
struct AudioDeviceInfo {
    unsigned int inputChannels = 0;
    unsigned int outputChannels = 0;
    std::vector<unsigned int> sampleRates;
};

// The audio, MIDI and settings-file services the preferences dialog drives;
// the program's one is over the audio engine and the MIDI objects, tests use
// fakes. UI thread only.
class IPreferencesHost {
public:
    virtual ~IPreferencesHost() = default;

    // Replaces the audio API object for the current driver type.
    virtual bool CreateAudioApi() = 0;
    virtual void ProbeAudioDevices() = 0;
    virtual std::vector<uint32_t> InputDeviceIds() = 0;
    virtual std::vector<uint32_t> OutputDeviceIds() = 0;
    virtual std::string DeviceNameAt(int id) = 0;
    // Channel counts and rates of device id; an unknown id gives an empty record.
    virtual AudioDeviceInfo DeviceInfo(uint32_t id) = 0;
    virtual bool StartAudioFromSettings() = 0;
    // True while the audio stream delivers callbacks.
    virtual bool StreamRunning() = 0;
    // Whether a JACK server answers now (asked only when a JACK list is empty).
    virtual bool JackServerRunning() = 0;
    // The buffer size the JACK server runs at, as the last listing found it;
    // 0 when unknown (no server, or ALSA).
    virtual uint32_t ServerBufferFrames() { return 0; }

    // False when the MIDI input or output object is missing.
    virtual bool MidiObjectsExist() = 0;
    // True when MIDI runs on JACK and its server is away.
    virtual bool MidiServerAway() = 0;
    virtual std::vector<std::string> MidiInputNames() = 0;
    virtual std::vector<std::string> MidiOutputNames() = 0;
    // Lists the live MIDI ports afresh into the name lists.
    virtual void ListMidiPorts() = 0;
    virtual void OpenMidiInputByName(const char* name) = 0;
    virtual void OpenMidiOutputByName(const char* name) = 0;

    virtual void WriteSettings() = 0;
};
