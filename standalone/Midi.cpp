#include "standalone/Midi.h"

#include "core/IAudioPlugin.h"
#include "core/MidiMessage.h"
#include "platform/DebugTrace.h"
#include "platform/LibraryErrorBuffer.h"
#include "standalone/HostSettings.h"
#include "standalone/AudioEngine.h"
#include "standalone/SayOnStderr.h"
#include "standalone/SettingsFile.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

std::unique_ptr<RtMidiIn> midiInput;
std::unique_ptr<MidiOutputPort> midiOutput;
std::vector<std::string> midiInputNames;
std::vector<std::string> midiOutputNames;

namespace {

// The name ALSA and JACK patchbays show for both objects.
constexpr const char* kClientName = "Snarlbox";

// Written on the UI thread, read on the MIDI thread.
std::atomic<IAudioPlugin*> midiPlugin{nullptr};
// Callbacks between reading midiPlugin and leaving the plug-in.
std::atomic<uint32_t> callbacksInside{0};

// Lengths of dropped messages, from the one MIDI input thread to the UI
// thread's poll, which traces them: the input thread may be JACK's process
// thread, where nothing may wait or write.
constexpr uint32_t kTraceSlots = 64;
std::array<std::atomic<uint32_t>, kTraceSlots> droppedLengths{};
std::atomic<uint32_t> droppedHead{0};  // written by the MIDI thread
std::atomic<uint32_t> droppedTail{0};  // written by the UI thread
std::atomic<uint32_t> droppedUntraced{0};

// UI thread only.
bool callbackInstalled = false;
// MIDI over JACK: ports of the engine's client (no RtMidi objects).
bool jackBackEnd = false;
int jackServerSeen = -1;       // -1 before the first look, else whether the server was there
std::string jackInput = "off";   // the chosen ports, "off" = none
std::string jackOutput = "off";
MidiPortState inputState = MidiPortState::NoMidi;
MidiPortState outputState = MidiPortState::NoMidi;

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
        return std::make_unique<RtMidiIn>(api, kClientName);
    } catch (const RtMidiError& error) {
        error.printMessage();
        return nullptr;
    }
}

std::unique_ptr<RtMidiOut> CreateMidiOut(RtMidi::Api api)
{
    try {
        return std::make_unique<RtMidiOut>(api, kClientName);
    } catch (const RtMidiError& error) {
        error.printMessage();
        return nullptr;
    }
}

void InstallCallback()
{
    try {
        midiInput->setCallback(MidiInputCallback, nullptr);
        callbackInstalled = true;
        midiInput->ignoreTypes(true, true, true);
    } catch (const RtMidiError& error) {
        error.printMessage();
    }
}

void WaitForCallbacksToLeave()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (callbacksInside.load(std::memory_order_seq_cst) != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

JackMidiPorts* Jack() { return jackBackEnd ? audioEngine.JackMidi() : nullptr; }

// Under JACK MIDI, whether the engine's client carries the ports now.
bool JackServerHere() { return Jack() != nullptr && Jack()->Registered(); }

// The JACK state of a chosen port: connected, or waiting for it to appear.
MidiPortState JackPortState(const char* name, bool connected)
{
    if (std::strcmp(name, "off") == 0) {
        return MidiPortState::Off;
    }
    if (!JackServerHere()) {
        return MidiPortState::NoMidi;
    }
    return connected ? MidiPortState::Open : MidiPortState::Absent;
}

// Connects the stored ports ("off" = none); the engine connects a port that
// is absent now as soon as it appears.
void ChooseJackPorts()
{
    auto chosen = [](const std::string& name) { return name == "off" ? std::string() : name; };
    audioEngine.ChooseJackMidiPorts(chosen(jackInput), chosen(jackOutput));
    inputState = JackPortState(jackInput.c_str(), Jack()->InputConnected());
    outputState = JackPortState(jackOutput.c_str(), Jack()->OutputConnected());
}

// Bytes of one incoming message, from RtMidi's input thread or JACK's
// process thread: no lock, no allocation, no output.
void DeliverMidiBytes(const uint8_t* bytes, size_t count);

void ReceiveFromJack(const uint8_t* bytes, size_t count)
{
    // What RtMidi's ignore flags drop on the ALSA path: SysEx, MIDI time
    // code and clock, active sensing.
    if (count == 0 || bytes[0] == 0xF0 || bytes[0] == 0xF1 || bytes[0] == 0xF8 || bytes[0] == 0xFE) {
        return;
    }
    DeliverMidiBytes(bytes, count);
}

// Drops the reader's defaults for missing keys, which name no port, for "off",
// and stores that one key. True when name was such a default.
bool ReplaceMissingKeyDefault(const char* name, char (&field)[kSettingsTextSize], const char* fallback,
                              const char* key)
{
    if (std::strcmp(name, fallback) != 0) {
        return false;
    }
    SetSettingsText(field, "off");
    WriteSetting("midi", key);
    return true;
}

void TraceDroppedMessages()
{
    uint32_t tail = droppedTail.load(std::memory_order_relaxed);
    const uint32_t head = droppedHead.load(std::memory_order_acquire);
    while (tail != head) {
        const uint32_t length = droppedLengths[tail % kTraceSlots].load(std::memory_order_relaxed);
        DebugTrace("NOT EXPECTING %d midi callback msg len\n", static_cast<int>(length));
        ++tail;
    }
    droppedTail.store(tail, std::memory_order_release);
    if (const uint32_t lost = droppedUntraced.exchange(0, std::memory_order_relaxed)) {
        DebugTrace("%u more midi callback messages of unexpected length\n", lost);
    }
}

} // namespace

MidiStatus CurrentMidiStatus()
{
    MidiStatus status;
    status.input = inputState;
    status.output = outputState;
    status.serverAway = jackBackEnd && !JackServerHere();
    return status;
}

bool CreateMidiPorts(RtMidi::Api firstApi, RtMidi::Api fallbackApi)
{
    LibraryErrorBuffer::Install();
    std::unique_ptr<RtMidiIn> in = firstApi == RtMidi::UNIX_JACK ? nullptr : CreateMidiIn(firstApi);
    if (!in && fallbackApi != firstApi) {
        // RtMidi does not fall back by itself (ALSA throws without /dev/snd/seq).
        SayOnStderr(BackEndName(firstApi) + " cannot be opened; using " + BackEndName(fallbackApi) + " instead");
    }
    if (!in && (firstApi == RtMidi::UNIX_JACK || fallbackApi == RtMidi::UNIX_JACK)) {
        // JACK MIDI is two ports of the engine's own client.
        jackBackEnd = true;
        audioEngine.EnableJackMidi(ReceiveFromJack);
        midiOutput = std::make_unique<MidiOutputPort>(nullptr);
        midiOutput->UseJack(audioEngine.JackMidi());
        inputState = MidiPortState::Off;
        outputState = MidiPortState::Off;
        return true;
    }
    if (!in && fallbackApi != firstApi) {
        in = CreateMidiIn(fallbackApi);
    }
    if (!in) {
        return false;
    }
    midiInput = std::move(in);
    std::unique_ptr<RtMidiOut> out = CreateMidiOut(midiInput->getCurrentApi());
    if (!out) {
        return false;
    }
    midiOutput = std::make_unique<MidiOutputPort>(std::move(out));
    InstallCallback();
    inputState = MidiPortState::Off;
    outputState = MidiPortState::Off;
    return true;
}

void ListMidiPorts()
{
    midiInputNames.clear();
    midiOutputNames.clear();
    if (jackBackEnd) {
        if (audioEngine.ListJackMidiPorts()) {
            midiInputNames.emplace_back("off");
            for (const std::string& name : audioEngine.JackMidiSources()) {
                midiInputNames.push_back(name);
            }
            midiOutputNames.emplace_back("off");
            for (const std::string& name : audioEngine.JackMidiDestinations()) {
                midiOutputNames.push_back(name);
            }
        }
        return;
    }
    if (!midiInput || !midiOutput || !midiOutput->HasBackEnd()) {
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

namespace {
// Position + 1 of name in the live JACK MIDI ports, -1 when absent.
int FindJackPort(const char* name, bool sources)
{
    audioEngine.ListJackMidiPorts();
    const std::vector<std::string>& names = sources ? audioEngine.JackMidiSources() : audioEngine.JackMidiDestinations();
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) {
            return static_cast<int>(i) + 1;
        }
    }
    return -1;
}
} // namespace

int FindMidiInputPort(const char* name)
{
    if (std::strcmp(name, "off") == 0) {
        return 0;
    }
    if (jackBackEnd) {
        return FindJackPort(name, true);
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
    if (jackBackEnd) {
        return FindJackPort(name, false);
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

// Under JACK MIDI: takes the chosen port of one direction (a name missing
// from the settings becomes "off") and connects it, or waits for it.
static bool ChooseJackPort(const char* name, char (&setting)[kSettingsTextSize], const char* none, const char* key, const char* direction,
                    std::string& jackName, const MidiPortState& state)
{
    const std::string chosen = name;
    const bool missing = ReplaceMissingKeyDefault(chosen.c_str(), setting, none, key);
    jackName = missing ? "off" : chosen;
    const MidiPortState before = state;
    ChooseJackPorts();
    if (state == MidiPortState::Absent && before != MidiPortState::Absent) {
        SayOnStderr(std::string("MIDI ") + direction + " port \"" + chosen + "\" is not there; it opens when it appears");
    }
    return state != MidiPortState::NoMidi;
}

bool OpenMidiInputByName(const char* name)
{
    if (jackBackEnd) {
        return ChooseJackPort(name, currentSettings.midiInputDevice, "no input", "indev", "input", jackInput, inputState);
    }
    if (!midiInput) {
        inputState = MidiPortState::NoMidi;
        return false;
    }
    const std::string chosen = name;
    int port = FindMidiInputPort(chosen.c_str());
    if (port == -1 && ReplaceMissingKeyDefault(chosen.c_str(), currentSettings.midiInputDevice, "no input", "indev")) {
        port = 0;
    }
    try {
        midiInput->closePort();
        if (port <= 0) {
            // An absent port stays chosen; PollMidi opens it when it appears.
            if (port < 0 && inputState != MidiPortState::Absent) {
                SayOnStderr("MIDI input port \"" + chosen + "\" is not there; it opens when it appears");
            }
            inputState = port == 0 ? MidiPortState::Off : MidiPortState::Absent;
            return true;
        }
        midiInput->openPort(static_cast<unsigned int>(port - 1), "RtMidi Input");
    } catch (const RtMidiError& error) {
        error.printMessage();
        inputState = MidiPortState::Failed;
        return false;
    }
    inputState = midiInput->isPortOpen() ? MidiPortState::Open : MidiPortState::Failed;
    return inputState == MidiPortState::Open;
}

bool OpenMidiOutputByName(const char* name)
{
    if (jackBackEnd) {
        return ChooseJackPort(name, currentSettings.midiOutputDevice, "no output", "outdev", "output", jackOutput,
                              outputState);
    }
    if (!midiOutput || !midiOutput->HasBackEnd()) {
        outputState = MidiPortState::NoMidi;
        return false;
    }
    const std::string chosen = name;
    int port = FindMidiOutputPort(chosen.c_str());
    if (port == -1 &&
        ReplaceMissingKeyDefault(chosen.c_str(), currentSettings.midiOutputDevice, "no output", "outdev")) {
        port = 0;
    }
    if (port <= 0) {
        midiOutput->ClosePort();
        if (port < 0 && outputState != MidiPortState::Absent) {
            SayOnStderr("MIDI output port \"" + chosen + "\" is not there; it opens when it appears");
        }
        outputState = port == 0 ? MidiPortState::Off : MidiPortState::Absent;
        return true;
    }
    const bool opened = midiOutput->OpenPort(static_cast<unsigned int>(port - 1), "RtMidi Output");
    outputState = opened ? MidiPortState::Open : MidiPortState::Failed;
    return opened;
}

bool PollMidi()
{
    LibraryErrorBuffer::Flush();
    TraceDroppedMessages();
    if (midiOutput) {
        if (const uint32_t failed = midiOutput->TakeSendErrors()) {
            SayOnStderr(std::to_string(failed) + " MIDI messages could not be sent");
        }
    }
    if (jackBackEnd) {
        // The engine reconnects the chosen ports whenever its client
        // (re)starts and when they appear: only the states are read here.
        const int here = JackServerHere() ? 1 : 0;
        if (jackServerSeen >= 0 && here != jackServerSeen) {
            SayOnStderr(here != 0 ? "the JACK server is back; MIDI ports reopened"
                                  : "the JACK server has gone; MIDI is off until it returns");
        }
        jackServerSeen = here;
        const MidiPortState input = JackPortState(jackInput.c_str(), Jack()->InputConnected());
        const MidiPortState output = JackPortState(jackOutput.c_str(), Jack()->OutputConnected());
        if (input == MidiPortState::Open && inputState == MidiPortState::Absent) {
            SayOnStderr("MIDI input port \"" + jackInput + "\" appeared and is open");
        }
        if (output == MidiPortState::Open && outputState == MidiPortState::Absent) {
            SayOnStderr("MIDI output port \"" + jackOutput + "\" appeared and is open");
        }
        const bool changed = input != inputState || output != outputState;
        inputState = input;
        outputState = output;
        return changed;
    }
    bool changed = false;
    // Stored ports that were absent open as soon as they appear.
    if (inputState == MidiPortState::Absent && FindMidiInputPort(currentSettings.midiInputDevice) > 0) {
        if (OpenMidiInputByName(currentSettings.midiInputDevice)) {
            SayOnStderr("MIDI input port \"" + std::string(currentSettings.midiInputDevice) + "\" appeared and is open");
        }
        changed = true;
    }
    if (outputState == MidiPortState::Absent && FindMidiOutputPort(currentSettings.midiOutputDevice) > 0) {
        if (OpenMidiOutputByName(currentSettings.midiOutputDevice)) {
            SayOnStderr("MIDI output port \"" + std::string(currentSettings.midiOutputDevice) + "\" appeared and is open");
        }
        changed = true;
    }
    return changed;
}

void SetMidiPlugin(IAudioPlugin* plugin)
{
    midiPlugin.store(plugin, std::memory_order_seq_cst);
    // A callback that read the old pointer may still be inside it.
    WaitForCallbacksToLeave();
}

void MidiInputCallback(double, std::vector<unsigned char>* bytes, void*)
{
    if (bytes != nullptr) {
        DeliverMidiBytes(bytes->data(), bytes->size());
    }
}

namespace {
void DeliverMidiBytes(const uint8_t* bytes, size_t count)
{
    MidiMessage message;
    switch (count) {
    case 0:
        return;
    case 3:
        message.data2 = bytes[2];
        [[fallthrough]];
    case 2:
        message.data1 = bytes[1];
        [[fallthrough]];
    case 1:
        message.status = bytes[0];
        break;
    default: {
        // Traced later by the UI thread; one slot per message, dropped when full.
        const uint32_t head = droppedHead.load(std::memory_order_relaxed);
        if (head - droppedTail.load(std::memory_order_acquire) < kTraceSlots) {
            droppedLengths[head % kTraceSlots].store(static_cast<uint32_t>(count), std::memory_order_relaxed);
            droppedHead.store(head + 1, std::memory_order_release);
        } else {
            droppedUntraced.fetch_add(1, std::memory_order_relaxed);
        }
        return;
    }
    }
    // The channel test looks at the low nibble of every status, system ones too.
    const uint16_t channel = LoadSharedSetting(currentSettings.midiInputChannel);
    if (channel != 0 && channel != (message.status & 0x0F) + 1) {
        return;
    }
    callbacksInside.fetch_add(1, std::memory_order_seq_cst);
    if (IAudioPlugin* plugin = midiPlugin.load(std::memory_order_seq_cst)) {
        plugin->ReceiveMidiMessage(message);
    }
    callbacksInside.fetch_sub(1, std::memory_order_release);
}
} // namespace

void CloseMidiPorts()
{
    // JACK MIDI ports go with the engine's client, on its thread: nothing
    // here waits on the server.
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
    WaitForCallbacksToLeave();
}

void DeleteMidiPorts()
{
    CloseMidiPorts();
    midiInput.reset();
    midiOutput.reset();
    jackBackEnd = false;
    jackServerSeen = -1;
    jackInput = "off";
    jackOutput = "off";
    inputState = MidiPortState::NoMidi;
    outputState = MidiPortState::NoMidi;
    midiInputNames.clear();
    midiOutputNames.clear();
}
