#include "standalone/EnginePreferencesHost.h"

#include "standalone/AudioEngine.h"
#include "standalone/JackWatch.h"
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
    AudioDeviceInfo result;
    if (!audioEngine.audioApi) {
        return result;
    }
    try {
        if (id >= audioEngine.audioApi->getDeviceCount()) {
            return result;
        }
        const RtAudio::DeviceInfo info = audioEngine.audioApi->getDeviceInfo(id);
        result.inputChannels = info.inputChannels;
        result.outputChannels = info.outputChannels;
        result.sampleRates = info.sampleRates;
    } catch (RtAudioError& error) {
        error.printMessage();
    }
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
    JackWatch probe("snarlbox-probe");
    return probe.Open();
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
