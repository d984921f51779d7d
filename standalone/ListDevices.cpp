#include "standalone/ListDevices.h"

#include "standalone/AudioEngine.h"
#include "standalone/HostSettings.h"
#include "standalone/JackBackEnd.h"
#include "standalone/Midi.h"
#include "standalone/SettingsFile.h"

#include <glib.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void PrintList(const char* heading, const std::vector<std::string>& names, const char* none)
{
    std::printf("%s\n", heading);
    if (names.empty()) {
        std::printf("  (%s)\n", none);
    }
    for (const std::string& name : names) {
        std::printf("  %s\n", name.c_str());
    }
}

} // namespace

int ListDevices(const RunOptions& options)
{
    DefaultSettings(currentSettings);
    const std::string path = std::string(g_get_user_config_dir()) + "/Snarlbox/settings.ini";
    if (g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) {
        ReadSettingsFile(path.c_str(), currentSettings);
    }
    if (options.driverType) {
        currentSettings.driverType = static_cast<uint16_t>(*options.driverType);
    }
    const bool jack = currentSettings.driverType == 1;
    const char* driver = jack ? "JACK" : "ALSA";
    JackBackEnd::QuietJackMessages();
    audioEngine.CreateAudioApi();
    audioEngine.ProbeAudioDevices();
    std::vector<std::string> inputs, outputs;
    for (uint32_t id : audioEngine.inputDeviceIds) {
        inputs.push_back(audioEngine.DeviceNameAt(static_cast<int>(id)));
    }
    for (uint32_t id : audioEngine.outputDeviceIds) {
        outputs.push_back(audioEngine.DeviceNameAt(static_cast<int>(id)));
    }
    const std::string noAudio = jack ? "no JACK server runs, or it has no ports"
                                     : "no ALSA audio device here: no sound card";
    std::printf("Driver: %s\n", driver);
    PrintList("Audio input devices (--input-device):", inputs, noAudio.c_str());
    PrintList("Audio output devices (--output-device):", outputs, noAudio.c_str());

    CreateMidiPorts();
    ListMidiPorts();
    // The lists start with "off", which every MIDI option takes too.
    const char* noMidi = "no MIDI here: neither the ALSA sequencer nor a JACK server";
    PrintList("MIDI input ports (--midi-input):", midiInputNames, noMidi);
    PrintList("MIDI output ports (--midi-output):", midiOutputNames, noMidi);
    std::fflush(stdout);
    CloseMidiPorts();
    DeleteMidiPorts();
    // No card is an answer; a JACK server that is not there is a failure.
    return (jack && inputs.empty() && outputs.empty()) ? 1 : 0;
}
