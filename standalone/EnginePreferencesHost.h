#pragma once

#include "standalone/IPreferencesHost.h"

// The preferences dialog's services over the process's audio engine, MIDI
// objects and settings file. UI thread only.
class EnginePreferencesHost : public IPreferencesHost {
public:
    bool CreateAudioApi() override;
    void ProbeAudioDevices() override;
    std::vector<uint32_t> InputDeviceIds() override;
    std::vector<uint32_t> OutputDeviceIds() override;
    std::string DeviceNameAt(int id) override;
    // RtAudio errors are reported with printMessage and give an empty record.
    AudioDeviceInfo DeviceInfo(uint32_t id) override;
    bool StartAudioFromSettings() override;
    bool StreamRunning() override;
    // Connects a client for a moment (never starts a server).
    bool JackServerRunning() override;
    uint32_t ServerBufferFrames() override;
    bool MidiObjectsExist() override;
    bool MidiServerAway() override;
    std::vector<std::string> MidiInputNames() override;
    std::vector<std::string> MidiOutputNames() override;
    void ListMidiPorts() override;
    void OpenMidiInputByName(const char* name) override;
    void OpenMidiOutputByName(const char* name) override;
    void WriteSettings() override;
};
