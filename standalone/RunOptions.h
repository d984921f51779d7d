#pragma once

#include "standalone/KnobValues.h"

#include <optional>
#include <string>

// What the command line asked of this run. Unset fields leave the settings
// as settings.ini has them; nothing here is ever written to settings.ini.
struct RunOptions {
    std::optional<int> driverType;            // 0 ALSA, 1 JACK
    std::optional<std::string> inputDevice;
    std::optional<std::string> outputDevice;
    std::optional<std::string> sampleRate;    // checked digits
    std::optional<std::string> bufferSize;    // checked digits
    std::optional<std::string> midiInput;
    std::optional<std::string> midiOutput;
    std::optional<std::string> jackClientName;
    std::optional<std::string> sound;         // a sound file or a sound's name
    std::optional<KnobValues> soundValues;    // that sound, once found
    bool listDevices = false;
    bool noGui = false;
    bool render = false;
    std::string renderInput;
    std::string renderOutput;
};
