#include "standalone/EnginePreferencesHost.h"

#include "standalone/AudioEngine.h"
#include "standalone/Midi.h"
#include "standalone/SettingsFile.h"

bool EnginePreferencesHost::CreateAudioApi()
{
    return audioEngine.CreateAudioApi();
}

void EnginePreferencesHost::ProbeAudioDevices()
{
    audioEngine.ProbeAudioDevices();
}

std::vector<uint32_t> EnginePreferencesHost::InputDeviceIds()
{
    return audioEngine.inputDeviceIds;
}

std::vector<uint32_t> EnginePreferencesHost::OutputDeviceIds()
{
    return audioEngine.outputDeviceIds;
}

std::string EnginePreferencesHost::DeviceNameAt(int id)
{
    return audioEngine.DeviceNameAt(id);
}

AudioDeviceInfo EnginePreferencesHost::DeviceInfo(uint32_t id)
{
    const AudioDevice device = audioEngine.DeviceAt(id);
    AudioDeviceInfo result;
    result.inputChannels = device.inputChannels;
    result.outputChannels = device.outputChannels;
    result.sampleRates = device.sampleRates;
    return result;
}

bool EnginePreferencesHost::StartAudioFromSettings()
{
    return audioEngine.StartAudioFromSettings();
}

bool EnginePreferencesHost::StreamRunning()
{
    return audioEngine.StreamActive();
}

bool EnginePreferencesHost::JackServerRunning()
{
    // What the engine's last listing found: nothing here asks the server.
    return audioEngine.ServerAnswered();
}

uint32_t EnginePreferencesHost::ServerBufferFrames()
{
    return audioEngine.ServerBufferFrames();
}

bool EnginePreferencesHost::MidiServerAway()
{
    return CurrentMidiStatus().serverAway;
}

bool EnginePreferencesHost::MidiObjectsExist()
{
    return midiInput != nullptr && midiOutput != nullptr && midiOutput->HasBackEnd();
}

std::vector<std::string> EnginePreferencesHost::MidiInputNames()
{
    return midiInputNames;
}

std::vector<std::string> EnginePreferencesHost::MidiOutputNames()
{
    return midiOutputNames;
}

void EnginePreferencesHost::ListMidiPorts()
{
    ::ListMidiPorts();
}

void EnginePreferencesHost::OpenMidiInputByName(const char* name)
{
    ::OpenMidiInputByName(name);
}

void EnginePreferencesHost::OpenMidiOutputByName(const char* name)
{
    ::OpenMidiOutputByName(name);
}

void EnginePreferencesHost::WriteSettings()
{
    ::WriteSettings();
}
