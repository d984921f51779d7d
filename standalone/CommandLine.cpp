#include "standalone/CommandLine.h"

#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kGoOn = -1;
constexpr int kUsageError = 2;
// The buffer sizes Preferences offers.
constexpr long kBufferSizes[] = {32, 64, 128, 256, 512, 1024, 2048, 4096, 8192};

// Owns what GLib's parser hands back.
struct Parsed {
    gchar* driver = nullptr;
    gchar* inputDevice = nullptr;
    gchar* outputDevice = nullptr;
    gchar* sampleRate = nullptr;
    gchar* bufferSize = nullptr;
    gchar* midiInput = nullptr;
    gchar* midiOutput = nullptr;
    gchar* jackName = nullptr;
    gchar* sound = nullptr;
    gboolean listDevices = FALSE;
    gboolean noGui = FALSE;
    gboolean render = FALSE;
    gboolean version = FALSE;
    gchar** rest = nullptr;
    ~Parsed()
    {
        for (gchar* text : {driver, inputDevice, outputDevice, sampleRate, bufferSize, midiInput, midiOutput,
                            jackName, sound}) {
            g_free(text);
        }
        g_strfreev(rest);
    }
};

int Refuse(const std::string& text)
{
    std::fprintf(stderr, "Snarlbox: %s (see snarlbox --help)\n", text.c_str());
    return kUsageError;
}

// Whole decimal digits only, within limits.
bool ReadCount(const char* text, long low, long high, long& value)
{
    if (text == nullptr || *text == '\0' || std::strlen(text) > 9) {
        return false;
    }
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return false;
        }
    }
    value = std::strtol(text, nullptr, 10);
    return value >= low && value <= high;
}

// A name for a settings field: not empty, fits the 99 bytes kept, valid UTF-8.
bool NameFits(const char* text)
{
    return text != nullptr && *text != '\0' && std::strlen(text) < 100 && g_utf8_validate(text, -1, nullptr);
}

std::optional<std::string> Keep(const gchar* text)
{
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

} // namespace

int ParseCommandLine(int argc, char** argv, RunOptions& options)
{
    Parsed p;
    const GOptionEntry entries[] = {
        {"no-gui", 0, 0, G_OPTION_ARG_NONE, &p.noGui, "Run audio and MIDI without a window or display", nullptr},
        {"driver", 'd', 0, G_OPTION_ARG_STRING, &p.driver, "Audio driver for this run: alsa or jack", "DRIVER"},
        {"input-device", 'i', 0, G_OPTION_ARG_STRING, &p.inputDevice, "Audio input device (as --list-devices names it)",
         "NAME"},
        {"output-device", 'o', 0, G_OPTION_ARG_STRING, &p.outputDevice,
         "Audio output device (as --list-devices names it)", "NAME"},
        {"sample-rate", 'r', 0, G_OPTION_ARG_STRING, &p.sampleRate, "Sample rate in Hz, 8000 to 384000", "HZ"},
        {"buffer-size", 'b', 0, G_OPTION_ARG_STRING, &p.bufferSize, "Device buffer in frames: 32, 64, ... 8192",
         "FRAMES"},
        {"midi-input", 0, 0, G_OPTION_ARG_STRING, &p.midiInput, "MIDI input port, or off", "PORT"},
        {"midi-output", 0, 0, G_OPTION_ARG_STRING, &p.midiOutput, "MIDI output port, or off", "PORT"},
        {"jack-name", 'n', 0, G_OPTION_ARG_STRING, &p.jackName, "JACK client name (default Snarlbox)", "NAME"},
        {"sound", 's', 0, G_OPTION_ARG_STRING, &p.sound, "Sound to open: a sound file or a sound's name", "SOUND"},
        {"list-devices", 'l', 0, G_OPTION_ARG_NONE, &p.listDevices,
         "List the audio devices and MIDI ports of the driver and exit", nullptr},
        {"render", 0, 0, G_OPTION_ARG_NONE, &p.render,
         "Process the file IN through the effect into OUT, as the LV2 plug-in does, and exit", nullptr},
        {"version", 'V', 0, G_OPTION_ARG_NONE, &p.version, "Print the version and exit", nullptr},
        {G_OPTION_REMAINING, 0, 0, G_OPTION_ARG_FILENAME_ARRAY, &p.rest, nullptr, "[--render IN OUT]"},
        {},
    };
    GOptionContext* context = g_option_context_new(nullptr);
    g_option_context_set_summary(context,
                                 "Snarlbox, a stereo distortion. Options change this run only; settings.ini keeps "
                                 "what Preferences chose.");
    g_option_context_add_main_entries(context, entries, nullptr);
    GError* failure = nullptr;
    // GLib parses a copy, so argv stays as launched; the strv form frees
    // the entries it takes out.
    gchar** args = g_new0(gchar*, static_cast<gsize>(argc) + 1);
    for (int i = 0; i < argc; ++i) {
        args[i] = g_strdup(argv[i]);
    }
    const gboolean parsed = g_option_context_parse_strv(context, &args, &failure);
    g_strfreev(args);
    g_option_context_free(context);
    if (!parsed) {
        const std::string text = failure != nullptr ? failure->message : "cannot read the command line";
        g_clear_error(&failure);
        return Refuse(text);
    }
    if (p.version) {
        std::printf("Snarlbox %s\n", SNARLBOX_VERSION);
        return 0;
    }

    const guint restCount = p.rest != nullptr ? g_strv_length(p.rest) : 0;
    if (p.render) {
        if (restCount != 2) {
            return Refuse("--render takes an input and an output file: --render IN.wav OUT.wav");
        }
        options.render = true;
        options.renderInput = p.rest[0];
        options.renderOutput = p.rest[1];
    } else if (restCount != 0) {
        return Refuse(std::string("unexpected argument \"") + p.rest[0] + "\"");
    }
    if (p.driver != nullptr) {
        if (g_ascii_strcasecmp(p.driver, "alsa") == 0) {
            options.driverType = 0;
        } else if (g_ascii_strcasecmp(p.driver, "jack") == 0) {
            options.driverType = 1;
        } else {
            return Refuse(std::string("--driver: \"") + p.driver + "\" is not a driver; use alsa or jack");
        }
    }
    long number = 0;
    if (p.sampleRate != nullptr && !ReadCount(p.sampleRate, 8000, 384000, number)) {
        return Refuse(std::string("--sample-rate: \"") + p.sampleRate + "\" is not a sample rate from 8000 to 384000 Hz");
    }
    if (p.bufferSize != nullptr) {
        bool known = false;
        if (ReadCount(p.bufferSize, 1, 8192, number)) {
            for (long size : kBufferSizes) {
                known = known || size == number;
            }
        }
        if (!known) {
            return Refuse(std::string("--buffer-size: \"") + p.bufferSize +
                          "\" is not a buffer size; use 32, 64, 128, 256, 512, 1024, 2048, 4096 or 8192");
        }
    }
    const struct {
        const char* option;
        const gchar* value;
    } names[] = {{"--input-device", p.inputDevice}, {"--output-device", p.outputDevice},
                 {"--midi-input", p.midiInput},     {"--midi-output", p.midiOutput},
                 {"--jack-name", p.jackName},       {"--sound", p.sound}};
    for (const auto& name : names) {
        if (name.value != nullptr && !NameFits(name.value)) {
            return Refuse(std::string(name.option) + " needs a name of 1 to 99 bytes");
        }
    }
    if (p.jackName != nullptr && std::strchr(p.jackName, ':') != nullptr) {
        return Refuse("--jack-name: a JACK client name cannot hold \":\"");
    }
    options.inputDevice = Keep(p.inputDevice);
    options.outputDevice = Keep(p.outputDevice);
    options.sampleRate = Keep(p.sampleRate);
    options.bufferSize = Keep(p.bufferSize);
    options.midiInput = Keep(p.midiInput);
    options.midiOutput = Keep(p.midiOutput);
    options.jackClientName = Keep(p.jackName);
    options.sound = Keep(p.sound);
    options.listDevices = p.listDevices != FALSE;
    options.noGui = p.noGui != FALSE;
    return kGoOn;
}
