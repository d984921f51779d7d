#pragma once

#include "standalone/AppSettings.h"
#include "standalone/AudioCallbackState.h"
#include "standalone/AudioDevice.h"
#include "standalone/AudioStatus.h"
#include "standalone/IAudioBackEnd.h"
#include "standalone/JackMidiPorts.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class IAudioPlugin;
class IAudioBackEnd;
class JackBackEnd;
class RtAudioBackEnd;

// The host's audio engine: one duplex stream (2 in, 2 out) that runs the
// plug-in, on one of two back ends chosen by the driver type: 1 is JACK (a
// client of our own, JackBackEnd), any other value ALSA (RtAudioBackEnd).
//
// Every call into a back end runs on the engine's control thread, so that
// nothing the audio library or server does (a server that has gone or hangs,
// a stream that stopped calling back) can hold up the user-interface thread.
// The control thread opens, watches, stops and reopens the stream; once asked
// to run, it keeps trying with the stored settings until the stream runs,
// looking at the cheap things first and backing off. The user-interface
// thread asks with bounded waits and reads the state (Status) and the
// counters. The audio thread only writes relaxed atomic counters.
class AudioEngine {
public:
    std::vector<std::string> deviceNames;   // by device id, unprobed ones too
    std::vector<uint32_t> inputDeviceIds;   // usable devices with inputs, ascending
    std::vector<uint32_t> outputDeviceIds;  // usable devices with outputs, ascending

    // UI thread only.
    AudioEngine();
    // UI thread only: ends the control thread if ShutdownAudio has not,
    // waiting up to 10 s for it to let go of the audio library.
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // The plug-in the callback runs. Setting another (or null) waits until no
    // callback is inside the old one, so it may be destroyed afterwards.
    // UI thread only.
    void SetAudioPlugin(IAudioPlugin* plugin);

    // Takes the driver type of currentSettings for the listings and stops the
    // stream (audio stays off until the next start). Always true.
    // UI thread only; bounded.
    bool CreateAudioApi();
    // Lists the devices of the current driver type afresh (the control
    // thread asks the back end; the wait is bounded, and a back end that does
    // not answer leaves the lists empty) into deviceNames and the id lists;
    // an unusable device is reported on standard output. UI thread only.
    void ProbeAudioDevices();
    // The list-building half of ProbeAudioDevices, for given devices
    // (index = device id). UI thread only.
    void ApplyDeviceInfos(const std::vector<AudioDevice>& devices);
    // First id whose name equals text byte for byte, or -1. UI thread only.
    int FindDeviceByName(const char* text) const;
    // Name of device id, or an empty string outside the list. UI thread only.
    std::string DeviceNameAt(int id) const;
    // Channels and rates of device id of the last listing (under JACK the
    // server's rate); an empty record outside the list. UI thread only.
    AudioDevice DeviceAt(uint32_t id) const;
    // What the last listing found of the server: whether it answered, and
    // its rate and buffer size (0 under ALSA). UI thread only.
    bool ServerAnswered() const { return listedServer.present; }
    uint32_t ServerSampleRate() const { return listedServer.sampleRate; }
    uint32_t ServerBufferFrames() const { return listedServer.bufferFrames; }

    // A first start (no settings file yet) goes to JACK when a JACK server
    // answers: driver type 1 and the server's first device with outputs
    // ("system" where there is one) go into settings; true then. Otherwise
    // settings stay as they are (ALSA). UI thread only; bounded.
    bool PreferJackOnFirstStart(AppSettings& settings);

    // The JACK client name for the next open (default "Snarlbox"); not
    // stored in the settings. UI thread only.
    void SetClientName(const std::string& name);
    // The name JACK actually gave the audio stream's client (after a rename
    // on a clash); empty while no stream runs on JACK. UI thread only.
    std::string ClientName() const;

    // MIDI over JACK: makes the engine's client carry MIDI ports whose events
    // go to receive (JACK's process thread). UI thread, before the first start.
    void EnableJackMidi(JackMidiPorts::ReceiveFunction receive);
    // The MIDI ports, or null when MIDI does not run over JACK. The object
    // lives as long as the engine. Any thread.
    JackMidiPorts* JackMidi() const { return jackMidi.get(); }
    // The other clients' JACK MIDI ports, as of the last ProbeAudioDevices or
    // ListJackMidiPorts: sources (for our input) and destinations.
    // UI thread only.
    const std::vector<std::string>& JackMidiSources() const { return midiSources; }
    const std::vector<std::string>& JackMidiDestinations() const { return midiDestinations; }
    // Lists the JACK MIDI ports afresh (bounded wait); false when the server
    // did not answer. UI thread only.
    bool ListJackMidiPorts();
    // Connects the MIDI ports to these JACK ports ("" = none), now when the
    // client runs and otherwise once it does. UI thread only; bounded.
    void ChooseJackMidiPorts(const std::string& input, const std::string& output);

    // Starts the stream from a copy of currentSettings: every value is checked
    // first (devices, channels, rate, sizes); one that cannot work leaves a
    // running stream as it is, or else says why on standard error and, where
    // waiting can help (no server, no device, other rate), keeps trying in
    // the background. Under JACK the server's rate and buffer size are used,
    // and a running client with the same devices is kept with its
    // connections. True when the stream runs; streamSettings then holds the
    // copy. UI thread only; waits for the control thread at most a few seconds.
    bool StartAudioFromSettings();
    // Stops and closes the stream and keeps it off: stopped when it delivers
    // callbacks, aborted when it does not. UI thread only; bounded (a back
    // end that does not answer finishes the stop in the background).
    void StopAudioStream();
    // Kept for the shutdown order; the stream is closed by StopAudioStream.
    // UI thread only.
    void CloseAudioStream() {}
    // The exit order: stop, end the control thread. False when the audio
    // library did not let go within about a second: the control thread is
    // then left behind and the process must end with _exit. UI thread only;
    // bounded.
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

    // The back ends' process function; user is the engine. Audio thread; no
    // allocation, no lock but the plug-in lock, no output.
    static void ProcessBuffer(void* user, double* output, const double* input, uint32_t frames, bool xrun);

private:
    enum class Request : uint8_t { Start, Stop, List, Midi, Quit };
    struct Job {
        Request request = Request::Stop;
        AppSettings settings;
        std::string midiInput;
        std::string midiOutput;
        uint32_t number = 0;
    };
    // What a List job found, handed to the UI thread.
    struct Listing {
        AudioServerInfo server;
        std::vector<AudioDevice> devices;
        std::vector<std::string> midiSources;
        std::vector<std::string> midiDestinations;
    };

    void EnsureControlThread();
    // Asks the control thread to quit and joins it, or leaves it behind
    // (detached) when it does not answer within wait. UI thread only.
    bool EndControlThread(std::chrono::milliseconds wait);
    // Queues a job and waits up to timeout for it to be done; false on timeout.
    bool Ask(Job job, std::chrono::milliseconds timeout, bool* started = nullptr);
    // Has the control thread list the devices of the settings' driver (JACK
    // when jack) into listing; false when it is stuck or does not answer.
    bool AskForListing(const AppSettings& settings, bool jack);
    void ControlLoop();
    // The back end for the driver type, made when first needed; a stream on
    // the other one is ended.
    IAudioBackEnd& BackEnd(bool jack);
    // The JACK back end, made when first needed (a new client name closes
    // the old client).
    JackBackEnd& Jack();
    // The ALSA back end, made when first needed.
    RtAudioBackEnd& Alsa();
    // Keeps the JACK client running for MIDI over JACK while no audio
    // stream runs on it; the client when it runs. An absent server is asked
    // again after a pause, at once when the user asked (asked).
    JackBackEnd* KeepMidiClient(bool asked);
    bool TryStart(const AppSettings& settings);
    // Refuses a start: a running stream stays and the reason is said; else
    // the state is published and retried where waiting helps.
    bool Refuse(bool running, const AppSettings& settings, AudioState state, const std::string& detail,
                uint32_t serverRate = 0);
    // Prepares the plug-in and the callback state with no callback inside
    // the plug-in (held back while the stream runs).
    void PreparePlugin(uint32_t vector, uint32_t rate);
    void EndStream();
    void Watch();
    void ListOnControlThread(bool jack, Listing* listing);
    void Publish(AudioState state, const std::string& detail, uint32_t serverRate = 0);

    // Shared with the control thread (guarded by mutex).
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    std::atomic<bool> serverLost{false};  // set by libjack's thread, read by the control thread
    uint32_t requestNumber = 0, doneNumber = 0;
    bool lastStartResult = false;
    AudioStatus status;
    AppSettings runningSettings;  // the settings of the running stream
    uint32_t runningChange = 0;   // status.change when it started
    Listing listing;              // filled by List jobs
    std::string clientName = "Snarlbox";

    // Control thread only.
    std::thread controlThread;
    std::unique_ptr<JackBackEnd> jackEnd;
    std::unique_ptr<RtAudioBackEnd> alsaEnd;
    IAudioBackEnd* backEnd = nullptr;  // the stream's: one of the two, or none
    bool backEndIsJack = false;
    std::string jackClientName;        // the name jackEnd was made with
    JackMidiPorts* jackEndMidi = nullptr;  // and its MIDI ports
    std::chrono::steady_clock::time_point nextMidiTry;
    std::chrono::steady_clock::time_point midiProgress;  // when the MIDI-only client last ran a cycle
    uint32_t midiCycles = 0;
    bool wanted = false;           // keep trying to run with wantedSettings
    AppSettings wantedSettings;
    std::chrono::steady_clock::time_point nextTry;
    std::chrono::milliseconds retryGap{0};
    std::chrono::steady_clock::time_point lastProgress;
    uint32_t lastTicks = 0;

    // UI thread only.
    AudioServerInfo listedServer;
    std::vector<AudioDevice> listedDevices;
    std::vector<std::string> midiSources;
    std::vector<std::string> midiDestinations;
    uint32_t reportedChange = 0;
    uint32_t printedXruns = 0;
    uint32_t adoptedChange = 0;
    bool slowToAnswer = false;     // a stop was not done within its wait
    bool controlThreadStuck = false;

    // Made by the UI thread before the first start; lives as long as the engine.
    std::unique_ptr<JackMidiPorts> jackMidi;

    // The audio thread's side.
    AudioCallbackState callbackState;
    std::atomic<IAudioPlugin*> audioPlugin{nullptr};
    std::atomic<bool> holdCallbacks{false};
    std::atomic<uint32_t> callbacksInside{0};
    std::atomic<uint32_t> callbackTicks{0};
    std::atomic<uint32_t> xruns{0};
    std::atomic<uint64_t> busyNanos{0};
};

// The process's one engine. UI thread only (the callback gets it as user data).
extern AudioEngine audioEngine;
