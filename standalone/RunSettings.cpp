#include "standalone/RunSettings.h"

#include <cstring>

namespace {

using TextField = char (AppSettings::*)[kSettingsTextSize];

struct RunValues {
    bool driverSet = false;
    bool textSet[6] = {};
    AppSettings given;    // the run's values
    AppSettings fromFile; // what they replaced
};
RunValues run;

constexpr TextField kTextFields[6] = {&AppSettings::audioInputDevice, &AppSettings::audioOutputDevice,
                                      &AppSettings::sampleRate,       &AppSettings::ioVectorSize,
                                      &AppSettings::midiInputDevice,  &AppSettings::midiOutputDevice};

void SetText(AppSettings& settings, size_t field, const std::string& text)
{
    SetSettingsText(settings.*kTextFields[field], text.c_str());
    SetSettingsText(run.given.*kTextFields[field], text.c_str());
    run.textSet[field] = true;
}

} // namespace

void ApplyRunOptions(const RunOptions& options, AppSettings& settings)
{
    run = RunValues{};
    run.fromFile = settings;
    if (options.driverType) {
        settings.driverType = static_cast<uint16_t>(*options.driverType);
        run.given.driverType = settings.driverType;
        run.driverSet = true;
    }
    const std::optional<std::string>* values[6] = {&options.inputDevice, &options.outputDevice,
                                                   &options.sampleRate,  &options.bufferSize,
                                                   &options.midiInput,   &options.midiOutput};
    for (size_t i = 0; i < 6; ++i) {
        if (*values[i]) {
            SetText(settings, i, **values[i]);
        }
    }
    // One duplex device under JACK: the input is the output's.
    if (settings.driverType == 1 && options.outputDevice && !options.inputDevice) {
        SetText(settings, 0, *options.outputDevice);
    }
}

AppSettings SettingsForFile(const AppSettings& current)
{
    AppSettings kept = current;
    if (run.driverSet) {
        if (current.driverType == run.given.driverType) {
            kept.driverType = run.fromFile.driverType;
        } else {
            run.driverSet = false;
        }
    }
    for (size_t i = 0; i < 6; ++i) {
        if (!run.textSet[i]) {
            continue;
        }
        const TextField field = kTextFields[i];
        if (std::strcmp(current.*field, run.given.*field) == 0) {
            SetSettingsText(kept.*field, run.fromFile.*field);
        } else {
            run.textSet[i] = false;
        }
    }
    return kept;
}

void ForgetRunOptions()
{
    run = RunValues{};
}
