#include "standalone/Midi.h"

#include "core/IAudioPlugin.h"
#include "core/MidiMessage.h"
#include "platform/DebugTrace.h"
#include "standalone/HostSettings.h"
#include "standalone/SettingsFile.h"

#include <atomic>
#include <cstdio>
#include <cstring>

std::unique_ptr<RtMidiIn> midiInput;
std::unique_ptr<MidiOutputPort> midiOutput;
std::vector<std::string> midiInputNames;
std::vector<std::string> midiOutputNames;

namespace {

// Written on the UI thread, read on the MIDI thread.
std::atomic<IAudioPlugin*> midiPlugin{nullptr};
// RtMidi warns when a callback that was never set is cancelled. UI thread only.
bool callbackInstalled = false;

std::string BackEndName(RtMidi::Api api)
{
    switch (api) {
    case RtMidi::LINUX_ALSA:
        return "the ALSA sequencer";
    case RtMidi::UNIX_JACK:
        return "JACK MIDI";
    default:
        return RtMidi::getApiDisplayName(api) + " MIDI";
    }
}

std::unique_ptr<RtMidiIn> CreateMidiIn(RtMidi::Api api)
{
    try {
        return std::make_unique<RtMidiIn>(api, "RtMidi Input Client");
    } catch (const RtMidiError& error) {
        error.printMessage();
        return nullptr;
    }
}

} // namespace

bool CreateMidiPorts(RtMidi::Api firstApi, RtMidi::Api fallbackApi)
{
    std::unique_ptr<RtMidiIn> in = CreateMidiIn(firstApi);
    if (!in && fallbackApi != firstApi) {
        // RtMidi does not fall back by itself (ALSA throws without /dev/snd/seq).
        std::fprintf(stderr, "Snarlbox: %s cannot be opened; using %s instead\n", BackEndName(firstApi).c_str(),
                     BackEndName(fallbackApi).c_str());
        in = CreateMidiIn(fallbackApi);
    }
    if (!in) {
        return false;
    }
    midiInput = std::move(in);
    std::unique_ptr<RtMidiOut> out;
    try {
        out = std::make_unique<RtMidiOut>(midiInput->getCurrentApi(), "RtMidi Output Client");
    } catch (const RtMidiError& error) {
        error.printMessage();
        return false;
    }
    midiOutput = std::make_unique<MidiOutputPort>(std::move(out));
    try {
        midiInput->setCallback(MidiInputCallback, nullptr);
        callbackInstalled = true;
        midiInput->ignoreTypes(true, true, true);
    } catch (const RtMidiError& error) {
        error.printMessage();
    }
    return true;
}

void ListMidiPorts()
{
    if (!midiInput || !midiOutput) {
        return;
    }
    midiInputNames.emplace_back("off");
    try {
        const unsigned int count = midiInput->getPortCount();
        for (unsigned int port = 0; port < count; ++port) {
            midiInputNames.push_back(midiInput->getPortName(port));
        }
    } catch (const RtMidiError& error) {
        error.printMessage();
    }
    midiOutputNames.emplace_back("off");
    const unsigned int count = midiOutput->PortCount();
    for (unsigned int port = 0; port < count; ++port) {
        midiOutputNames.push_back(midiOutput->PortName(port));
    }
}

int FindMidiInputPort(const char* name)
{
    if (std::strcmp(name, "off") == 0) {
        return 0;
    }
    if (!midiInput) {
        return -1;
    }
    try {
        const unsigned int count = midiInput->getPortCount();
        for (unsigned int port = 0; port < count; ++port) {
            if (midiInput->getPortName(port) == name) {
                return static_cast<int>(port) + 1;
            }
        }
    } catch (const RtMidiError& error) {
        error.printMessage();
    }
    return -1;
}

int FindMidiOutputPort(const char* name)
{
    if (std::strcmp(name, "off") == 0) {
        return 0;
    }
    if (!midiOutput) {
        return -1;
    }
    const unsigned int count = midiOutput->PortCount();
    for (unsigned int port = 0; port < count; ++port) {
        if (midiOutput->PortName(port) == name) {
            return static_cast<int>(port) + 1;
        }
    }
    return -1;
}

bool OpenMidiInputByName(const char* name)
{
    if (!midiInput) {
        return false;
    }
    int port = FindMidiInputPort(name);
    if (port == -1) {
        SetSettingsText(currentSettings.midiInputDevice, "off");
        WriteSettings();
        port = 0;
    }
    try {
        midiInput->closePort();
        if (port == 0) {
            return true;
        }
        midiInput->openPort(static_cast<unsigned int>(port - 1), "RtMidi Input");
    } catch (const RtMidiError& error) {
        error.printMessage();
        return false;
    }
    return midiInput->isPortOpen();
}

bool OpenMidiOutputByName(const char* name)
{
    if (!midiOutput) {
        return false;
    }
    int port = FindMidiOutputPort(name);
    if (port == -1) {
        SetSettingsText(currentSettings.midiOutputDevice, "off");
        WriteSettings();
        port = 0;
    }
    if (port == 0) {
        midiOutput->ClosePort();
        return true;
    }
    return midiOutput->OpenPort(static_cast<unsigned int>(port - 1), "RtMidi Output");
}

void SetMidiPlugin(IAudioPlugin* plugin) { midiPlugin.store(plugin, std::memory_order_release); }

void MidiInputCallback(double, std::vector<unsigned char>* bytes, void*)
{
    if (bytes == nullptr) {
        return;
    }
    const size_t count = bytes->size();
    MidiMessage message;
    switch (count) {
    case 0:
        return;
    case 3:
        message.data2 = (*bytes)[2];
        [[fallthrough]];
    case 2:
        message.data1 = (*bytes)[1];
        [[fallthrough]];
    case 1:
        message.status = (*bytes)[0];
        break;
    default:
        DebugTrace("NOT EXPECTING %d midi callback msg len\n", static_cast<int>(count));
        return;
    }
    // The channel test looks at the low nibble of every status, system ones too.
    const uint16_t channel = LoadSharedSetting(currentSettings.midiInputChannel);
    if (channel != 0 && channel != (message.status & 0x0F) + 1) {
        return;
    }
    IAudioPlugin* plugin = midiPlugin.load(std::memory_order_acquire);
    if (plugin != nullptr) {
        plugin->ReceiveMidiMessage(message);
    }
}

void CloseMidiPorts()
{
    if (midiInput) {
        try {
            if (callbackInstalled) {
                callbackInstalled = false;
                midiInput->cancelCallback();
            }
            midiInput->closePort();
        } catch (const RtMidiError& error) {
            error.printMessage();
        }
    }
    if (midiOutput) {
        midiOutput->ClosePort();
    }
}

void DeleteMidiPorts()
{
    CloseMidiPorts();
    midiInput.reset();
    midiOutput.reset();
    midiInputNames.clear();
    midiOutputNames.clear();
}
