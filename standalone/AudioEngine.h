#pragma once

#include "standalone/AppSettings.h"
#include "standalone/AudioCallbackState.h"
#include "standalone/AudioStatus.h"

#include <rtaudio/RtAudio.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class IAudioPlugin;
class JackWatch;

// The host's audio engine: the RtAudio object the preferences dialog lists
// devices with, and the one duplex stream (2 in, 2 out, 64-bit floats,
// non-interleaved) that runs the plug-in. Driver type 1 is JACK, any other
// value ALSA.
//
// The stream lives on a control thread of its own, so that nothing the
// audio library does (a server that has gone, a stream that stopped calling
// back) can hold up the user-interface thread. The control thread opens,
// watches, stops and reopens it; once asked to run, it keeps trying with the
// stored settings until the stream runs (server back, new buffer size,
// server started late, rates that agree again). The user-interface thread
// asks with bounded waits and reads the state (Status) and the counters.
// The audio thread only writes relaxed atomic counters.
class AudioEngine {
public:
    std::unique_ptr<RtAudio> audioApi;      // for listing devices; none until CreateAudioApi
    std::vector<std::string> deviceNames;   // by RtAudio device id, unprobed ones too
    std::vector<uint32_t> inputDeviceIds;   // usable devices with inputs, ascending
    std::vector<uint32_t> outputDeviceIds;  // usable devices with outputs, ascending

    // UI thread only.
    AudioEngine();
    // UI thread only: ShutdownAudio if it has not run yet.
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // The plug-in the callback runs. Setting another (or null) waits until no
    // callback is inside the old one, so it may be destroyed afterwards.
    // UI thread only.
    void SetAudioPlugin(IAudioPlugin* plugin);

    // Replaces the listing object for driverType of currentSettings and stops
    // the stream (audio stays off until the next start). Returns whether a
    // listing object exists afterwards. UI thread only; bounded.
    bool CreateAudioApi();
    // Rebuilds deviceNames and the id lists from the listing object; an
    // unusable device is reported on standard output. UI thread only.
    void ProbeAudioDevices();
    // The list-building half of ProbeAudioDevices, for given device infos
    // (index = device id). UI thread only.
    void ApplyDeviceInfos(const std::vector<RtAudio::DeviceInfo>& infos);
    // First id whose name equals text byte for byte, or -1. UI thread only.
    int FindDeviceByName(const char* text) const;
    // Name of device id, or an empty string outside the list. UI thread only.
    std::string DeviceNameAt(int id) const;

    // Starts the stream from a copy of currentSettings: every value is checked
    // first (devices, channels, rate, sizes); one that cannot work leaves a
    // running stream as it is, or else says why on standard error and, where
    // waiting can help (no server, no device, other rate), keeps trying in
    // the background. True when the stream runs; streamSettings then holds
    // the copy. UI thread only; waits for the control thread at most a few
    // seconds.
    bool StartAudioFromSettings();
    // Stops and closes the stream and keeps it off: stopped when it delivers
    // callbacks, aborted when it does not. UI thread only; bounded.
    void StopAudioStream();
    // Kept for the shutdown order; the stream is closed by StopAudioStream.
    // UI thread only.
    void CloseAudioStream() {}
    // The exit order: stop, end the control thread, delete the listing object.
    // False when the audio library did not let go within about a second: the
    // control thread is then left behind and the process must end with
    // _exit. UI thread only; bounded.
    bool ShutdownAudio();

    // The user-interface thread's periodic look (every half second): prints
    // "Stream underflow detected!" once per underflow the callback counted,
    // says once on standard error what changed (stream lost, restarting,
    // back), and updates streamSettings after a restart in the background.
    // Returns true when the state changed since the last look. UI thread only.
    bool PollAudioStream();
    // A copy of the current state. UI thread (any thread but the audio thread).
    AudioStatus Status() const;
    // True while the stream delivers callbacks. UI thread only.
    bool StreamActive() const { return Status().state == AudioState::Running; }

    // Counters written by the audio thread. Any thread, lock-free.
    uint32_t CallbackTicks() const { return callbackTicks.load(std::memory_order_relaxed); }
    uint32_t Xruns() const { return xruns.load(std::memory_order_relaxed); }
    // Nanoseconds spent in callbacks since the engine was made.
    uint64_t BusyNanos() const { return busyNanos.load(std::memory_order_relaxed); }

    // The RtAudio callback; userData is the engine. Always returns 0.
    // Audio thread; no allocation, no lock but the plug-in lock, no output.
    static int AudioCallback(void* outputBuffer, void* inputBuffer, unsigned int frames, double streamTime,
                             RtAudioStreamStatus status, void* userData);

private:
    enum class Request : uint8_t { None, Start, Stop, Quit };
    struct Attempt;

    void EnsureControlThread();
    // Posts a request and waits up to timeout for it to be done; false on timeout.
    bool Ask(Request request, const AppSettings* settings, std::chrono::milliseconds timeout, bool* started);
    void ControlLoop();
    bool TryStart(const AppSettings& settings, bool keepRunningStream);
    // Stops, closes and deletes the stream; a lost one is left alone for good.
    void EndStream(bool lost);
    // The stream's client or the watch heard that the server went away.
    bool StreamServerGone() const;
    void Watch();
    void Publish(AudioState state, const std::string& detail, uint32_t serverRate = 0);

    // Shared with the control thread (guarded by mutex).
    mutable std::mutex mutex;
    std::condition_variable wake;
    Request pending = Request::None;
    uint32_t requestNumber = 0, doneNumber = 0;
    bool lastStartResult = false;
    AppSettings requested;
    AudioStatus status;
    AppSettings runningSettings;  // the settings of the running stream
    uint32_t runningChange = 0;   // status.change when it started

    // Control thread only.
    std::thread controlThread;
    std::unique_ptr<RtAudio> streamApi;
    // Set by libjack when the server shuts the stream's client down.
    std::unique_ptr<std::atomic<bool>> streamGone;
    std::unique_ptr<JackWatch> watch;
    bool wanted = false;           // keep trying to run with wantedSettings
    AppSettings wantedSettings;
    std::chrono::steady_clock::time_point nextTry;
    std::chrono::steady_clock::time_point lastProgress;
    uint32_t lastTicks = 0;
    unsigned int streamFrames = 0; // buffer frames RtAudio settled on

    // UI thread only.
    uint32_t reportedChange = 0;
    uint32_t printedXruns = 0;
    uint32_t adoptedChange = 0;
    bool controlThreadStuck = false;

    // The audio thread's side.
    AudioCallbackState callbackState;
    std::atomic<IAudioPlugin*> audioPlugin{nullptr};
    std::atomic<uint32_t> callbacksInside{0};
    std::atomic<uint32_t> callbackTicks{0};
    std::atomic<uint32_t> xruns{0};
    std::atomic<uint64_t> busyNanos{0};
};

// The process's one engine. UI thread only (the callback gets it as user data).
extern AudioEngine audioEngine;
