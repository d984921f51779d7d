#include "standalone/PreferencesDialog.h"

#include "standalone/IPreferencesView.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kDriverNames[] = {"ALSA", "JACK"};
constexpr const char* kIoVectorSizeChoices[] = {"32", "64", "128", "256", "512", "1024", "2048", "4096", "8192"};
constexpr const char* kSignalVectorSizeChoices[] = {"16", "32", "64", "128", "256", "512", "1024"};
constexpr int kIoChoiceCount = sizeof(kIoVectorSizeChoices) / sizeof(kIoVectorSizeChoices[0]);
constexpr int kSignalChoiceCount = sizeof(kSignalVectorSizeChoices) / sizeof(kSignalVectorSizeChoices[0]);

std::string Number(unsigned int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%i", static_cast<int>(value));
    return text;
}

// The place of text in list id; -1 when the list does not hold it.
int PositionOf(IPreferencesView& view, int id, const char* text)
{
    const int count = view.ItemCount(id);
    for (int i = 0; i < count; ++i) {
        if (view.ItemText(id, i) == text) {
            return i;
        }
    }
    return -1;
}

bool ListHolds(IPreferencesView& view, int id, const char* text) { return PositionOf(view, id, text) >= 0; }

std::string Quoted(const char* text) { return std::string("\"") + text + "\""; }

// Last position whose name equals text, 0 when none does.
int LastPositionOf(const std::vector<std::string>& names, const char* text)
{
    int position = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == text) {
            position = static_cast<int>(i);
        }
    }
    return position;
}

} // namespace

PreferencesDialog::PreferencesDialog(IPreferencesView& view, IPreferencesHost& host, AppSettings& current,
                                     AppSettings& backup, const AppSettings& stream)
    : view(view), host(host), current(current), backup(backup), stream(stream)
{
}

bool PreferencesDialog::PreferencesProc(Message message, int controlId, Notification notification)
{
    switch (message) {
    case kInitialise:
        // Devices and ports come and go while the program runs: list them afresh.
        host.ProbeAudioDevices();
        host.ListMidiPorts();
        FillPreferences();
        backup = current;
        ExplainBlankLists();
        return true;
    case kCommand:
        Command(controlId, notification);
        if (result == 0) {
            ExplainBlankLists();
        }
        return true;
    default:
        return false;
    }
}

void PreferencesDialog::FillPreferences()
{
    view.ClearItems(kDriverType);
    for (const char* name : kDriverNames) {
        view.AddItem(kDriverType, name);
    }
    view.SelectItem(kDriverType, current.driverType < 2 ? current.driverType : -1);
    FillDeviceDependentControls();
    FillMidiControls();
    view.SetChecked(kStartWithLastSound, current.startWithLastSound != 0);
}

void PreferencesDialog::FillDeviceDependentControls()
{
    vectorSizeClash = false;
    FillAudioDeviceControls();
    view.SetChecked(kMonoInput, current.monoInput != 0);
    view.ClearItems(kIoVectorSize);
    for (const char* size : kIoVectorSizeChoices) {
        view.AddItem(kIoVectorSize, size);
    }
    // Under JACK the server's buffer size is the one that runs.
    const uint32_t serverFrames = view.SelectedItem(kDriverType) != 0 ? host.ServerBufferFrames() : 0;
    SelectByText(kIoVectorSize, serverFrames != 0 ? Number(serverFrames).c_str() : current.ioVectorSize);
    view.ClearItems(kSignalVectorSize);
    for (const char* size : kSignalVectorSizeChoices) {
        view.AddItem(kSignalVectorSize, size);
    }
    SelectByText(kSignalVectorSize, current.signalVectorSize);
}

void PreferencesDialog::FillAudioDeviceControls()
{
    // JACK runs one duplex device: the input list only mirrors the output
    // choice. JACK has no driver control panel, so its button stays disabled.
    const bool jackMode = view.SelectedItem(kDriverType) != 0;
    view.EnableControl(kAudioInputDevice, !jackMode);
    view.EnableControl(kDriverConfig, false);
    view.ClearItems(kAudioInputDevice);
    view.ClearItems(kAudioOutputDevice);

    const std::vector<uint32_t> inputIds = host.InputDeviceIds();
    const std::vector<uint32_t> outputIds = host.OutputDeviceIds();
    std::vector<std::string> inputNames;
    std::vector<std::string> outputNames;
    for (uint32_t id : inputIds) {
        inputNames.push_back(host.DeviceNameAt(static_cast<int>(id)));
        view.AddItem(kAudioInputDevice, inputNames.back().c_str());
    }
    for (uint32_t id : outputIds) {
        outputNames.push_back(host.DeviceNameAt(static_cast<int>(id)));
        view.AddItem(kAudioOutputDevice, outputNames.back().c_str());
    }
    const int inputPosition = LastPositionOf(inputNames, current.audioInputDevice);
    const int outputPosition = LastPositionOf(outputNames, current.audioOutputDevice);
    // Empty device lists select nothing and leave the dependent lists empty.
    view.SelectItem(kAudioInputDevice, jackMode ? outputPosition : inputPosition);
    view.SelectItem(kAudioOutputDevice, outputPosition);

    AudioDeviceInfo input;
    AudioDeviceInfo output;
    if (!inputIds.empty()) {
        input = host.DeviceInfo(inputIds[static_cast<size_t>(inputPosition)]);
    }
    if (!outputIds.empty()) {
        output = host.DeviceInfo(outputIds[static_cast<size_t>(outputPosition)]);
    }
    FillInputChannelLists(input.inputChannels);
    FillOutputChannelLists(output.outputChannels);
    FillSampleRates(input, output);
}

void PreferencesDialog::FillChannelPair(int leftId, int rightId, unsigned int channels, int left, int right)
{
    view.ClearItems(leftId);
    view.ClearItems(rightId);
    // The left list stops one short so that the right channel, left + 1, exists.
    for (unsigned int n = 1; n < channels; ++n) {
        view.AddItem(leftId, Number(n).c_str());
        view.AddItem(rightId, Number(n).c_str());
    }
    if (channels > 0) {
        view.AddItem(rightId, Number(channels).c_str());
    }
    view.SelectItem(leftId, left - 1);
    view.SelectItem(rightId, right - 1);
}

void PreferencesDialog::FillInputChannelLists(unsigned int inputChannels)
{
    FillChannelPair(kInputChannel1, kInputChannel2, inputChannels, current.inputChannel1, current.inputChannel2);
}

void PreferencesDialog::FillOutputChannelLists(unsigned int outputChannels)
{
    FillChannelPair(kOutputChannel1, kOutputChannel2, outputChannels, current.outputChannel1,
                    current.outputChannel2);
}

void PreferencesDialog::FillSampleRates(const AudioDeviceInfo& input, const AudioDeviceInfo& output)
{
    view.ClearItems(kSampleRate);
    for (unsigned int rate : input.sampleRates) {
        for (unsigned int other : output.sampleRates) {
            if (rate == other) {
                view.AddItem(kSampleRate, Number(rate).c_str());
            }
        }
    }
    // A JACK server offers its one rate, which is the one that runs.
    if (view.SelectedItem(kDriverType) != 0 && view.ItemCount(kSampleRate) == 1) {
        view.SelectItem(kSampleRate, 0);
        return;
    }
    SelectByText(kSampleRate, current.sampleRate);
}

void PreferencesDialog::FillMidiList(int id, const std::vector<std::string>& names,
                                     char (&field)[kSettingsTextSize])
{
    view.ClearItems(id);
    int found = -1;
    for (size_t i = 0; i < names.size(); ++i) {
        view.AddItem(id, names[i].c_str());
        if (found < 0 && names[i] == field) {
            found = static_cast<int>(i);
        }
    }
    int& absent = id == kMidiInputDevice ? absentInputItem : absentOutputItem;
    absent = -1;
    if (found < 0) {
        // The stored port is not there now (a keyboard unplugged): it stays
        // chosen, shown as absent, and opens when it appears.
        view.AddItem(id, (std::string(field) + " (absent)").c_str());
        found = static_cast<int>(names.size());
        absent = found;
    }
    view.SelectItem(id, found);
}

bool PreferencesDialog::FillMidiControls()
{
    if (!host.MidiObjectsExist()) {
        return false;
    }
    FillMidiList(kMidiInputDevice, host.MidiInputNames(), current.midiInputDevice);
    FillMidiList(kMidiOutputDevice, host.MidiOutputNames(), current.midiOutputDevice);
    for (int id : {kMidiInputChannel, kMidiOutputChannel}) {
        view.ClearItems(id);
        view.AddItem(id, "all");
        for (unsigned int channel = 1; channel <= 16; ++channel) {
            view.AddItem(id, Number(channel).c_str());
        }
    }
    view.SelectItem(kMidiInputChannel, current.midiInputChannel);
    view.SelectItem(kMidiOutputChannel, current.midiOutputChannel);
    return true;
}

void PreferencesDialog::ExplainBlankLists()
{
    std::string notes;
    auto note = [&notes](const std::string& text) {
        notes += notes.empty() ? text : "\n" + text;
    };
    const bool jackMode = view.SelectedItem(kDriverType) != 0;
    const int inputs = view.ItemCount(kAudioInputDevice);
    const int outputs = view.ItemCount(kAudioOutputDevice);
    if (outputs == 0 || (!jackMode && inputs == 0)) {
        // Every list that depends on a device is empty too; one reason says it all.
        if (jackMode && !host.JackServerRunning()) {
            note("JACK server is not running");
        } else if (outputs == 0 && inputs == 0) {
            note("no audio devices found");
        } else {
            note(outputs == 0 ? "no audio output devices found" : "no audio input devices found");
        }
    } else {
        // The list shows its first device while the stored one is missing:
        // only picking a device changes the setting.
        if (!jackMode && !ListHolds(view, kAudioInputDevice, current.audioInputDevice)) {
            note("no input device named " + Quoted(current.audioInputDevice) + "; choose one");
        }
        if (!ListHolds(view, kAudioOutputDevice, current.audioOutputDevice)) {
            note(std::string(jackMode ? "no device named " : "no output device named ") +
                 Quoted(current.audioOutputDevice) + "; choose one");
        }
        struct Pair {
            int left;
            int right;
            const char* direction;
            uint16_t first;
        };
        for (const Pair& pair : {Pair{kInputChannel1, kInputChannel2, "input", current.inputChannel1},
                                 Pair{kOutputChannel1, kOutputChannel2, "output", current.outputChannel1}}) {
            if (view.SelectedItem(pair.left) >= 0) {
                continue;
            }
            const int channels = view.ItemCount(pair.right);
            if (channels < 2) {
                note("the " + std::string(pair.direction) + " device has " + std::to_string(channels) + " " +
                     pair.direction + " channel" + (channels == 1 ? "" : "s") + "; Snarlbox needs 2");
            } else {
                note(std::string(pair.direction) + " channels " + std::to_string(pair.first) + "/" +
                     std::to_string(pair.first + 1) + " are not on this device");
            }
        }
        if (view.SelectedItem(kSampleRate) < 0) {
            const bool oneDevice = jackMode || view.ItemText(kAudioInputDevice, view.SelectedItem(kAudioInputDevice)) ==
                                                   view.ItemText(kAudioOutputDevice, view.SelectedItem(kAudioOutputDevice));
            note(std::string(current.sampleRate) + " Hz is not offered by " +
                 (oneDevice ? "this device" : "these devices"));
        }
    }
    if (view.SelectedItem(kIoVectorSize) < 0) {
        note("IO vector size " + Quoted(current.ioVectorSize) + " is not one of the sizes offered");
    }
    if (view.SelectedItem(kSignalVectorSize) < 0) {
        note(vectorSizeClash ? std::string("IO vector size is smaller than the signal vector size")
                             : "signal vector size " + Quoted(current.signalVectorSize) +
                                   " is not one of the sizes offered");
    }
    view.SetText(kAudioNote, notes.c_str());

    std::string midiNote;
    if (!host.MidiObjectsExist()) {
        midiNote = host.MidiServerAway() ? "JACK server is not running" : "MIDI is not available";
    }
    view.SetText(kMidiNote, midiNote.c_str());
}

void PreferencesDialog::SelectByText(int id, const char* text)
{
    view.SelectItem(id, PositionOf(view, id, text));
}

void PreferencesDialog::StoreSelectedText(int id, char (&field)[kSettingsTextSize])
{
    const int selection = view.SelectedItem(id);
    if (selection >= 0) {
        SetSettingsText(field, view.ItemText(id, selection).c_str());
    }
}

void PreferencesDialog::VectorSizeChanged()
{
    // A list without a selection stands for the stored setting of that list.
    const int ioSelection = view.SelectedItem(kIoVectorSize);
    const int sigSelection = view.SelectedItem(kSignalVectorSize);
    std::string io = ioSelection >= 0 && ioSelection < kIoChoiceCount ? kIoVectorSizeChoices[ioSelection]
                                                                      : current.ioVectorSize;
    std::string sig = sigSelection >= 0 && sigSelection < kSignalChoiceCount
                          ? kSignalVectorSizeChoices[sigSelection]
                          : current.signalVectorSize;
    SetSettingsText(current.ioVectorSize, io.c_str());
    vectorSizeClash = std::strtol(io.c_str(), nullptr, 10) < std::strtol(sig.c_str(), nullptr, 10);
    if (vectorSizeClash) {
        SetSettingsText(current.signalVectorSize, kSignalVectorSizeChoices[0]);
        view.SelectItem(kSignalVectorSize, -1);
    } else {
        SetSettingsText(current.signalVectorSize, sig.c_str());
    }
}

void PreferencesDialog::End(int dialogResult)
{
    result = dialogResult;
    view.EndDialog(dialogResult);
}

void PreferencesDialog::Command(int controlId, Notification notification)
{
    const bool selected = notification == kSelectionChanged;
    switch (controlId) {
    case kDriverType: {
        const int selection = view.SelectedItem(kDriverType);
        if (!selected || selection < 0 || selection == current.driverType) {
            return;
        }
        current.driverType = static_cast<uint16_t>(selection);
        host.CreateAudioApi();
        host.ProbeAudioDevices();
        const std::vector<uint32_t> inputIds = host.InputDeviceIds();
        const std::vector<uint32_t> outputIds = host.OutputDeviceIds();
        SetSettingsText(current.audioInputDevice,
                        inputIds.empty() ? "" : host.DeviceNameAt(static_cast<int>(inputIds[0])).c_str());
        SetSettingsText(current.audioOutputDevice,
                        outputIds.empty() ? "" : host.DeviceNameAt(static_cast<int>(outputIds[0])).c_str());
        current.outputChannel1 = 1;
        current.outputChannel2 = 2;
        FillDeviceDependentControls();
        return;
    }
    case kAudioInputDevice:
    case kAudioOutputDevice: {
        if (!selected || view.SelectedItem(controlId) < 0) {
            return;
        }
        if (controlId == kAudioInputDevice) {
            StoreSelectedText(kAudioInputDevice, current.audioInputDevice);
            current.inputChannel1 = 1;
            current.inputChannel2 = 2;
        } else {
            StoreSelectedText(kAudioOutputDevice, current.audioOutputDevice);
            current.outputChannel1 = 1;
            current.outputChannel2 = 2;
        }
        FillAudioDeviceControls();
        return;
    }
    case kIoVectorSize:
    case kSignalVectorSize:
        if (selected) {
            VectorSizeChanged();
        }
        return;
    case kSampleRate:
        if (selected) {
            StoreSelectedText(kSampleRate, current.sampleRate);
        }
        return;
    case kInputChannel1:
    case kOutputChannel1: {
        const int s = view.SelectedItem(controlId);
        if (!selected || s < 0) {
            return;
        }
        if (controlId == kInputChannel1) {
            current.inputChannel1 = static_cast<uint16_t>(s + 1);
            current.inputChannel2 = static_cast<uint16_t>(s + 2);
            view.SelectItem(kInputChannel2, s + 1);
        } else {
            current.outputChannel1 = static_cast<uint16_t>(s + 1);
            current.outputChannel2 = static_cast<uint16_t>(s + 2);
            view.SelectItem(kOutputChannel2, s + 1);
        }
        return;
    }
    case kInputChannel2:
        // The right channel always follows the left one.
        if (selected) {
            view.SelectItem(kInputChannel2, current.inputChannel2 - 1);
        }
        return;
    case kOutputChannel2:
        if (selected) {
            view.SelectItem(kOutputChannel2, current.outputChannel2 - 1);
        }
        return;
    case kMonoInput:
        StoreSharedSetting(current.monoInput, view.IsChecked(kMonoInput) ? 1 : 0);
        return;
    case kStartWithLastSound:
        current.startWithLastSound = view.IsChecked(kStartWithLastSound) ? 1 : 0;
        return;
    case kMidiInputDevice:
        if (selected && view.SelectedItem(kMidiInputDevice) >= 0) {
            // The absent entry stands for the stored name as it is.
            if (view.SelectedItem(kMidiInputDevice) != absentInputItem) {
                StoreSelectedText(kMidiInputDevice, current.midiInputDevice);
            }
            host.OpenMidiInputByName(current.midiInputDevice);
        }
        return;
    case kMidiOutputDevice:
        if (selected && view.SelectedItem(kMidiOutputDevice) >= 0) {
            if (view.SelectedItem(kMidiOutputDevice) != absentOutputItem) {
                StoreSelectedText(kMidiOutputDevice, current.midiOutputDevice);
            }
            host.OpenMidiOutputByName(current.midiOutputDevice);
        }
        return;
    case kMidiInputChannel:
    case kMidiOutputChannel: {
        const int s = view.SelectedItem(controlId);
        if (selected && s >= 0) {
            StoreSharedSetting(controlId == kMidiInputChannel ? current.midiInputChannel : current.midiOutputChannel,
                               static_cast<uint16_t>(s));
        }
        return;
    }
    case kDriverConfig:
        // JACK has no driver control panel to show; the button has no effect.
        return;
    case kApply:
        host.StartAudioFromSettings();
        return;
    case kOk:
        // A stream that is not running is started even when nothing changed:
        // OK is how a user asks for audio again.
        if (!SettingsEqual(current, stream) || !host.StreamRunning()) {
            host.StartAudioFromSettings();
        }
        End(1);
        return;
    case kCancel:
        End(2);
        current.startWithLastSound = backup.startWithLastSound;
        if (!AudioSettingsEqual(current, backup) || !MidiSettingsEqual(current, backup)) {
            current = backup;
            host.CreateAudioApi();
            host.ProbeAudioDevices();
            host.StartAudioFromSettings();
        }
        return;
    default:
        return;
    }
}
