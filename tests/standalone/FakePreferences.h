#pragma once

#include "standalone/AppSettings.h"
#include "standalone/IPreferencesHost.h"
#include "standalone/IPreferencesView.h"

#include <map>
#include <string>
#include <vector>

// The dialog's controls in memory.
class FakePreferencesView : public IPreferencesView {
public:
    struct Control {
        std::vector<std::string> items;
        int selection = -1;
        bool enabled = true;
        bool checked = false;
        std::string text;
    };
    std::map<int, Control> controls;
    int endResult = 0;

    void AddItem(int id, const char* text) override { controls[id].items.push_back(text); }
    void ClearItems(int id) override
    {
        controls[id].items.clear();
        controls[id].selection = -1;
    }
    int ItemCount(int id) override { return static_cast<int>(controls[id].items.size()); }
    std::string ItemText(int id, int index) override
    {
        const auto& items = controls[id].items;
        return index >= 0 && index < static_cast<int>(items.size()) ? items[static_cast<size_t>(index)] : "";
    }
    void SelectItem(int id, int index) override
    {
        controls[id].selection = index >= 0 && index < ItemCount(id) ? index : -1;
    }
    int SelectedItem(int id) override { return controls[id].selection; }
    void EnableControl(int id, bool enabled) override { controls[id].enabled = enabled; }
    void SetChecked(int id, bool checked) override { controls[id].checked = checked; }
    bool IsChecked(int id) override { return controls[id].checked; }
    void SetText(int id, const char* text) override { controls[id].text = text; }
    void EndDialog(int result) override { endResult = result; }

    std::vector<std::string> Items(int id) { return controls[id].items; }
    std::string Selected(int id) { return ItemText(id, SelectedItem(id)); }
};

// Devices per driver type, counting what the dialog asks for.
class FakePreferencesHost : public IPreferencesHost {
public:
    struct Device {
        std::string name;
        AudioDeviceInfo info;
    };
    // Index = device id; per driver type.
    std::vector<Device> devices[2];
    const uint16_t* driverType = nullptr;
    bool midiObjects = true;
    bool jackServer = true;
    uint32_t serverFrames = 0;  // the JACK server's buffer size, 0 = unknown
    bool midiServerAway = false;
    std::vector<std::string> midiIn{"off", "Port A"};
    std::vector<std::string> midiOut{"off", "Port B"};
    int createCount = 0;
    int probeCount = 0;
    int startCount = 0;
    int writeCount = 0;
    int listCount = 0;
    // Like the real host: a start that succeeds copies the current settings
    // into the stream settings, and the stream then runs.
    AppSettings* current = nullptr;
    AppSettings* stream = nullptr;
    bool startSucceeds = true;
    bool running = false;
    std::vector<std::string> openedInputs;
    std::vector<std::string> openedOutputs;

    std::vector<Device>& Current() { return devices[driverType && *driverType == 1 ? 1 : 0]; }

    bool CreateAudioApi() override
    {
        running = false; // a new API object closes the stream
        return ++createCount > 0;
    }
    void ProbeAudioDevices() override { ++probeCount; }
    std::vector<uint32_t> InputDeviceIds() override { return Ids(true); }
    std::vector<uint32_t> OutputDeviceIds() override { return Ids(false); }
    std::string DeviceNameAt(int id) override
    {
        return id >= 0 && id < static_cast<int>(Current().size()) ? Current()[static_cast<size_t>(id)].name : "";
    }
    AudioDeviceInfo DeviceInfo(uint32_t id) override
    {
        return id < Current().size() ? Current()[id].info : AudioDeviceInfo{};
    }
    bool StartAudioFromSettings() override
    {
        ++startCount;
        if (startSucceeds && current != nullptr && stream != nullptr) {
            *stream = *current;
        }
        running = startSucceeds;
        return startSucceeds;
    }
    bool StreamRunning() override { return running; }
    bool JackServerRunning() override { return jackServer; }
    uint32_t ServerBufferFrames() override { return driverType && *driverType == 1 ? serverFrames : 0; }
    bool MidiObjectsExist() override { return midiObjects; }
    bool MidiServerAway() override { return midiServerAway; }
    std::vector<std::string> MidiInputNames() override { return midiIn; }
    std::vector<std::string> MidiOutputNames() override { return midiOut; }
    void ListMidiPorts() override { ++listCount; }
    void OpenMidiInputByName(const char* name) override { openedInputs.push_back(name); }
    void OpenMidiOutputByName(const char* name) override { openedOutputs.push_back(name); }
    void WriteSettings() override { ++writeCount; }

private:
    std::vector<uint32_t> Ids(bool inputs)
    {
        std::vector<uint32_t> ids;
        for (size_t i = 0; i < Current().size(); ++i) {
            const AudioDeviceInfo& info = Current()[i].info;
            if ((inputs ? info.inputChannels : info.outputChannels) > 0) {
                ids.push_back(static_cast<uint32_t>(i));
            }
        }
        return ids;
    }
};
