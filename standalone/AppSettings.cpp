#include "standalone/AppSettings.h"

#include <cstring>

static_assert(alignof(uint16_t) >= std::atomic_ref<uint16_t>::required_alignment,
              "16-bit settings fields must be usable through atomic_ref");
static_assert(std::atomic_ref<uint16_t>::is_always_lock_free,
              "shared settings fields must be lock-free for the audio thread");

AppSettings& AppSettings::operator=(const AppSettings& other)
{
    if (this == &other) {
        return *this;
    }
    driverType = other.driverType;
    std::memcpy(audioInputDevice, other.audioInputDevice, kSettingsTextSize);
    std::memcpy(audioOutputDevice, other.audioOutputDevice, kSettingsTextSize);
    std::memcpy(sampleRate, other.sampleRate, kSettingsTextSize);
    std::memcpy(ioVectorSize, other.ioVectorSize, kSettingsTextSize);
    std::memcpy(signalVectorSize, other.signalVectorSize, kSettingsTextSize);
    inputChannel1 = other.inputChannel1;
    inputChannel2 = other.inputChannel2;
    outputChannel1 = other.outputChannel1;
    outputChannel2 = other.outputChannel2;
    StoreSharedSetting(monoInput, LoadSharedSetting(other.monoInput));
    std::memcpy(midiInputDevice, other.midiInputDevice, kSettingsTextSize);
    std::memcpy(midiOutputDevice, other.midiOutputDevice, kSettingsTextSize);
    StoreSharedSetting(midiInputChannel, LoadSharedSetting(other.midiInputChannel));
    StoreSharedSetting(midiOutputChannel, LoadSharedSetting(other.midiOutputChannel));
    startWithLastSound = other.startWithLastSound;
    return *this;
}

void SetSettingsText(char (&field)[kSettingsTextSize], const char* text)
{
    size_t length = strnlen(text, kSettingsTextSize);
    if (length > kSettingsTextSize - 1) {
        length = kSettingsTextSize - 1;
        // Back off over continuation bytes so a cut never leaves half a character.
        size_t start = length;
        while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
            --start;
        }
        if (start < length && (static_cast<unsigned char>(text[start]) & 0xC0) == 0xC0) {
            length = start;
        }
    }
    std::memmove(field, text, length);
    field[length] = '\0';
}

void DefaultSettings(AppSettings& settings)
{
    AppSettings defaults;
    defaults.driverType = 0;
    SetSettingsText(defaults.audioInputDevice, "default");
    SetSettingsText(defaults.audioOutputDevice, "default");
    SetSettingsText(defaults.sampleRate, "44100");
    SetSettingsText(defaults.ioVectorSize, "512");
    SetSettingsText(defaults.signalVectorSize, "32");
    defaults.inputChannel1 = 1;
    defaults.inputChannel2 = 2;
    defaults.outputChannel1 = 1;
    defaults.outputChannel2 = 2;
    defaults.monoInput = 0;
    SetSettingsText(defaults.midiInputDevice, "off");
    SetSettingsText(defaults.midiOutputDevice, "off");
    defaults.midiInputChannel = 0;
    defaults.midiOutputChannel = 0;
    defaults.startWithLastSound = 0;
    settings = defaults;
}

namespace {
bool TextEqual(const char (&a)[kSettingsTextSize], const char (&b)[kSettingsTextSize])
{
    return std::strncmp(a, b, kSettingsTextSize) == 0;
}
}

bool AudioSettingsEqual(const AppSettings& a, const AppSettings& b)
{
    return a.driverType == b.driverType && TextEqual(a.audioInputDevice, b.audioInputDevice) &&
           TextEqual(a.audioOutputDevice, b.audioOutputDevice) && TextEqual(a.sampleRate, b.sampleRate) &&
           TextEqual(a.ioVectorSize, b.ioVectorSize) && TextEqual(a.signalVectorSize, b.signalVectorSize) &&
           a.inputChannel1 == b.inputChannel1 && a.inputChannel2 == b.inputChannel2 &&
           a.outputChannel1 == b.outputChannel1 && a.outputChannel2 == b.outputChannel2 &&
           LoadSharedSetting(a.monoInput) == LoadSharedSetting(b.monoInput);
}

bool MidiSettingsEqual(const AppSettings& a, const AppSettings& b)
{
    return TextEqual(a.midiInputDevice, b.midiInputDevice) && TextEqual(a.midiOutputDevice, b.midiOutputDevice) &&
           LoadSharedSetting(a.midiInputChannel) == LoadSharedSetting(b.midiInputChannel) &&
           LoadSharedSetting(a.midiOutputChannel) == LoadSharedSetting(b.midiOutputChannel);
}

bool SettingsEqual(const AppSettings& a, const AppSettings& b)
{
    return AudioSettingsEqual(a, b) && MidiSettingsEqual(a, b);
}
