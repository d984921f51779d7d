#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Size of every text field of the settings record, terminating NUL included.
inline constexpr size_t kSettingsTextSize = 100;

// The host's settings record. Plain and fixed-size; copied as a whole.
// monoInput, midiInputChannel and midiOutputChannel are read by the audio and
// MIDI threads: those threads read them with LoadSharedSetting, and the UI
// thread stores them with StoreSharedSetting (the copy assignment below does
// so), which keeps the record free of data races without locks.
struct AppSettings {
    uint16_t driverType = 0;
    char audioInputDevice[kSettingsTextSize] = {};
    char audioOutputDevice[kSettingsTextSize] = {};
    char sampleRate[kSettingsTextSize] = {};
    char ioVectorSize[kSettingsTextSize] = {};
    char signalVectorSize[kSettingsTextSize] = {};
    uint16_t inputChannel1 = 0;
    uint16_t inputChannel2 = 0;
    uint16_t outputChannel1 = 0;
    uint16_t outputChannel2 = 0;
    uint16_t monoInput = 0;
    char midiInputDevice[kSettingsTextSize] = {};
    char midiOutputDevice[kSettingsTextSize] = {};
    uint16_t midiInputChannel = 0;
    uint16_t midiOutputChannel = 0;
    // 1: the program starts with the sound the knobs held at the end of the
    // last run instead of the defaults.
    uint16_t startWithLastSound = 0;

    // Fields start zeroed (constant-initialized for the host's globals).
    AppSettings() = default;
    AppSettings(const AppSettings& other) = default;
    // UI thread only: whole-record copy; the thread-shared fields are stored
    // atomically so audio and MIDI threads may read them meanwhile.
    AppSettings& operator=(const AppSettings& other);
};

// Relaxed atomic access to a 16-bit settings field shared between threads.
// Any thread, real-time safe (no locks, no allocation).
inline uint16_t LoadSharedSetting(const uint16_t& field)
{
    return std::atomic_ref<uint16_t>(const_cast<uint16_t&>(field)).load(std::memory_order_relaxed);
}
// UI thread only (the one writer); real-time safe.
inline void StoreSharedSetting(uint16_t& field, uint16_t value)
{
    std::atomic_ref<uint16_t>(field).store(value, std::memory_order_relaxed);
}

// Stores the built-in defaults into every field. UI thread only.
void DefaultSettings(AppSettings& settings);

// Copies text into a settings text field, cut to 99 bytes (never inside a
// UTF-8 sequence) and NUL-terminated. UI thread only.
void SetSettingsText(char (&field)[kSettingsTextSize], const char* text);

// True when the records agree in every field (texts as NUL-terminated strings).
// UI thread only.
bool SettingsEqual(const AppSettings& a, const AppSettings& b);
// True when a and b agree in the audio fields: driver, devices, sample rate,
// vector sizes, channels and mono input. UI thread only.
bool AudioSettingsEqual(const AppSettings& a, const AppSettings& b);
// True when a and b agree in the MIDI ports and channels. UI thread only.
bool MidiSettingsEqual(const AppSettings& a, const AppSettings& b);
