#pragma once

#include "standalone/AudioCallbackState.h"

#include <rtaudio/RtAudio.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IAudioPlugin;

// The host's audio engine: the RtAudio object for the chosen driver type, the
// device lists, and the one duplex stream (2 in, 2 out, 64-bit floats,
// non-interleaved) that runs the plug-in. Driver type 1 is JACK, any other
// value ALSA. Starts read currentSettings; a successful start copies it to
// streamSettings. Everything runs on the UI thread except AudioCallback.
class AudioEngine {
public:
    std::unique_ptr<RtAudio> audioApi;      // none until CreateAudioApi
    std::vector<std::string> deviceNames;   // by RtAudio device id, unprobed ones too
    std::vector<uint32_t> inputDeviceIds;   // usable devices with inputs, ascending
    std::vector<uint32_t> outputDeviceIds;  // usable devices with outputs, ascending
    unsigned int ioVectorSize = 0;          // buffer frames; RtAudio may change it
    AudioCallbackState callbackState;       // signal vector size, warm-up, fade

    // UI thread only.
    AudioEngine() = default;
    // UI thread only: ShutdownAudio if it has not run yet.
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // The plug-in the callback runs; set before the first start. UI thread only.
    void SetAudioPlugin(IAudioPlugin* plugin) { audioPlugin = plugin; }

    // Replaces the API object for driverType of currentSettings (closing any
    // stream). Returns whether an API object exists afterwards. UI thread only.
    bool CreateAudioApi();
    // Rebuilds deviceNames and the id lists from the API object; an unusable
    // device is reported on standard output. UI thread only.
    void ProbeAudioDevices();
    // The list-building half of ProbeAudioDevices, for given device infos
    // (index = device id). UI thread only.
    void ApplyDeviceInfos(const std::vector<RtAudio::DeviceInfo>& infos);
    // First id whose name equals text byte for byte, or -1. UI thread only.
    int FindDeviceByName(const char* text) const;
    // Name of device id, or an empty string outside the list. UI thread only.
    std::string DeviceNameAt(int id) const;

    // Starts the stream on the devices named in currentSettings; false when a
    // device is unknown (the running stream is then left alone) or the start
    // fails. UI thread only.
    bool StartAudioFromSettings();
    // Aborts and closes any stream, prepares the plug-in and opens and starts
    // the duplex stream. Errors are reported on standard error; false when no
    // stream runs afterwards. UI thread only.
    bool StartAudioStream(int inputId, int outputId, int sampleRate, int bufferFrames,
                          int inputFirstChannel, int outputFirstChannel);
    // Stops the stream (at exit); errors are reported and ignored. UI thread only.
    void StopAudioStream();
    // Closes the stream if it is open. UI thread only.
    void CloseAudioStream();
    // The exit order: stop, close, delete the API object. Call before main
    // returns, while the audio libraries are still whole. UI thread only.
    void ShutdownAudio();

    // Notices a stream that ended without us (the JACK server quit and RtAudio
    // closed the stream from its own thread) or one that has stopped calling
    // back for over a second while it counts as running (RtAudio stops
    // processing when the JACK buffer size changes); reports it once on
    // standard error and returns true then. Call from the UI's periodic timer.
    // UI thread only.
    bool PollAudioStream();
    // Callbacks delivered since the engine was made. Any thread.
    uint32_t CallbackTicks() const { return callbackTicks.load(std::memory_order_relaxed); }
    // True while a stream we started is believed to be running. UI thread only.
    bool StreamActive() const { return streamActive; }

    // The RtAudio callback; userData is the engine. Always returns 0.
    // Audio thread; no allocation, no lock but the plug-in lock.
    static int AudioCallback(void* outputBuffer, void* inputBuffer, unsigned int frames,
                             double streamTime, RtAudioStreamStatus status, void* userData);

private:
    // Waits (bounded) for a stream RtAudio is closing on its own thread, so
    // that we neither touch it nor delete the object under that thread.
    void SettleLostStream();

    IAudioPlugin* audioPlugin = nullptr;
    bool streamActive = false;
    bool stallReported = false;
    uint32_t lastTicks = 0;
    std::chrono::steady_clock::time_point lastProgress;
    std::atomic<uint32_t> callbackTicks{0}; // written by the audio thread only
};

// The process's one engine. UI thread only (the callback gets it as user data).
extern AudioEngine audioEngine;
