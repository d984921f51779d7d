// The engine's control thread: starts, watches, restarts and stops the
// stream on whichever back end the driver type names. Nothing here runs on
// the user-interface thread.
#include "standalone/AudioEngine.h"

#include "core/IAudioPlugin.h"
#include "platform/DebugTrace.h"
#include "standalone/AudioCallbackCore.h"
#include "standalone/AudioComesBack.h"
#include "standalone/CheckAudioSettings.h"
#include "standalone/DescribeAudioStatus.h"
#include "standalone/HostSettings.h"
#include "standalone/JackBackEnd.h"
#include "standalone/RtAudioBackEnd.h"
#include "standalone/SayOnStderr.h"
#include "standalone/StallTime.h"

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kRetryInterval = 300ms;
constexpr auto kLongestRetryInterval = 3000ms;
constexpr int kProbeRetries = 3;
constexpr auto kProbeRetryGap = 100ms;
constexpr auto kMidiStallTime = 2s;

int FindName(const std::vector<AudioDevice>& devices, const std::string& name)
{
    for (size_t id = 0; id < devices.size(); ++id) {
        if (devices[id].name == name) {
            return static_cast<int>(id);
        }
    }
    return -1;
}

} // namespace

JackBackEnd& AudioEngine::Jack()
{
    std::string name;
    {
        std::lock_guard<std::mutex> lock(mutex);
        name = clientName;
    }
    // MIDI over JACK is enabled after the first listing at start-up: the
    // client is made again to carry the MIDI ports.
    if (!jackEnd || jackClientName != name || jackEndMidi != jackMidi.get()) {
        if (backEnd == jackEnd.get() && jackEnd) {
            EndStream();
            backEnd = nullptr;
        }
        jackEnd.reset();
        jackEnd = std::make_unique<JackBackEnd>(name, jackMidi.get());
        jackEnd->SetLostNotice(
            [](void* self) {
                auto* engine = static_cast<AudioEngine*>(self);
                engine->serverLost.store(true, std::memory_order_release);
                engine->wake.notify_all();
            },
            this);
        jackClientName = name;
        jackEndMidi = jackMidi.get();
    }
    return *jackEnd;
}

IAudioBackEnd& AudioEngine::BackEnd(bool jack)
{
    if (backEnd != nullptr && backEndIsJack != jack) {
        EndStream();
    }
    backEnd = jack ? static_cast<IAudioBackEnd*>(&Jack()) : &Alsa();
    backEndIsJack = jack;
    return *backEnd;
}

RtAudioBackEnd& AudioEngine::Alsa()
{
    if (!alsaEnd) {
        alsaEnd = std::make_unique<RtAudioBackEnd>();
    }
    return *alsaEnd;
}

JackBackEnd* AudioEngine::KeepMidiClient(bool asked)
{
    if (!jackMidi) {
        return nullptr;
    }
    JackBackEnd& jack = Jack();
    const auto now = Clock::now();
    if (jack.Active()) {
        if (jack.Cycles() != midiCycles) {
            midiCycles = jack.Cycles();
            midiProgress = now;
        }
        // A client the server never runs (seen once a server came back at
        // once under the same name) is opened afresh, as a stalled stream is.
        if (jack.IsOpen() || now - midiProgress < kMidiStallTime) {
            jackMidi->Refresh(jack.Client());
            return &jack;
        }
        DebugTrace("JACK MIDI client runs no cycles; reopening\n");
        jack.Close();
    }
    if (now < nextMidiTry && !asked) {
        return nullptr;
    }
    if (jack.Lost()) {
        jack.Close();
    }
    if (!jack.StartMidiOnly()) {
        // An absent server is asked again a little later.
        nextMidiTry = now + kRetryInterval;
        return nullptr;
    }
    midiCycles = jack.Cycles();
    midiProgress = now;
    return &jack;
}

void AudioEngine::ControlLoop()
{
    for (;;) {
        Job job;
        bool have = false;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait_for(lock, 100ms,
                          [&] { return !jobs.empty() || serverLost.load(std::memory_order_acquire); });
            serverLost.store(false, std::memory_order_relaxed);
            if (!jobs.empty()) {
                job = std::move(jobs.front());
                jobs.pop_front();
                have = true;
            }
        }
        if (!have) {
            Watch();
            continue;
        }
        bool started = false;
        Listing found;
        switch (job.request) {
        case Request::Start:
            started = TryStart(job.settings);
            break;
        case Request::Stop:
        case Request::Quit:
            wanted = false;
            EndStream();
            Publish(AudioState::Off, std::string());
            break;
        case Request::List:
            ListOnControlThread(job.settings.driverType == 1, &found);
            break;
        case Request::Midi:
            if (jackMidi) {
                JackBackEnd* jack = KeepMidiClient(true);
                jackMidi->Choose(jack != nullptr ? jack->Client() : nullptr, job.midiInput, job.midiOutput);
            }
            break;
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (job.request == Request::List) {
                listing = std::move(found);
            }
            lastStartResult = started;
            doneNumber = job.number;
            wake.notify_all();
        }
        if (job.request == Request::Quit) {
            backEnd = nullptr;
            jackEnd.reset();
            alsaEnd.reset();
            return;
        }
    }
}

void AudioEngine::ListOnControlThread(bool jack, Listing* found)
{
    // Each driver type has its own back end: a running stream of the other
    // type is not disturbed.
    IAudioBackEnd* end = jack ? static_cast<IAudioBackEnd*>(&Jack()) : &Alsa();
    found->server = end->LookAtServer();
    if (found->server.present) {
        bool failed = false;
        found->devices = end->ListDevices(&failed);
        // A JACK server busy with other clients may turn a look away for a moment.
        for (int again = 0; jack && failed && again < kProbeRetries; ++again) {
            std::this_thread::sleep_for(kProbeRetryGap);
            found->devices = end->ListDevices(&failed);
        }
        if (jack) {
            found->midiSources = jackEnd->OtherPorts(JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
            found->midiDestinations = jackEnd->OtherPorts(JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
        }
    }
    if (jack && !jackEnd->IsOpen() && !jackMidi) {
        // Nothing of the server is kept for a listing.
        jackEnd->Close();
    }
}

bool AudioEngine::Refuse(bool running, const AppSettings& settings, AudioState state, const std::string& detail,
                         uint32_t serverRate)
{
    const bool jack = settings.driverType == 1;
    if (running) {
        AudioStatus said;
        said.state = state;
        said.detail = detail;
        said.driver = jack ? "JACK" : "ALSA";
        said.serverRate = serverRate;
        said.sampleRate = Status().sampleRate;
        SayOnStderr(DescribeAudioStatus(said) + "; the running stream stays as it is");
        return false;
    }
    // Nothing half-open is kept while waiting (the JACK client stays only
    // while it carries MIDI).
    if (backEnd != nullptr && backEnd->IsOpen()) {
        EndStream();
    } else if (jack && jackEnd && !jackMidi) {
        jackEnd->Close();
    }
    wanted = AudioComesBack(state);
    wantedSettings = settings;
    nextTry = Clock::now() + retryGap;
    Publish(state, detail, serverRate);
    return false;
}

void AudioEngine::PreparePlugin(uint32_t vector, uint32_t rate)
{
    // Callbacks of a running stream pass silence meanwhile and never touch
    // the plug-in or the callback state.
    holdCallbacks.store(true, std::memory_order_seq_cst);
    const auto deadline = Clock::now() + 2s;
    while (callbacksInside.load(std::memory_order_seq_cst) != 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    callbackState.signalVectorSize = vector;
    callbackState.Reset();
    callbacksInside.fetch_add(1, std::memory_order_seq_cst);
    if (IAudioPlugin* plugin = audioPlugin.load(std::memory_order_seq_cst)) {
        plugin->ChangeBlockSize(static_cast<int>(vector));
        plugin->ChangeSampleRate(static_cast<double>(rate));
        plugin->ResetState();
    }
    callbacksInside.fetch_sub(1, std::memory_order_seq_cst);
    holdCallbacks.store(false, std::memory_order_seq_cst);
}

bool AudioEngine::TryStart(const AppSettings& settings)
{
    const bool jack = settings.driverType == 1;
    IAudioBackEnd& end = BackEnd(jack);
    const bool running = end.IsOpen() && !end.Lost();
    if (jack && !running && end.Lost()) {
        end.Close();
    }
    AudioNumbers numbers;
    const std::string bad = CheckAudioSettings(settings, jack, &numbers);
    if (!running) {
        std::lock_guard<std::mutex> lock(mutex);
        status.driver = jack ? "JACK" : "ALSA";
        status.sampleRate = numbers.sampleRate;
    }
    if (!bad.empty()) {
        return Refuse(running, settings, AudioState::BadSetting, bad);
    }
    // The cheap look first: a server that is not there needs no listing.
    const AudioServerInfo server = end.LookAtServer();
    if (!server.present) {
        return Refuse(running, settings, jack ? AudioState::ServerDown : AudioState::NoDriver, std::string());
    }
    if (jack) {
        // The server's rate and buffer size win over the stored ones.
        numbers.sampleRate = server.sampleRate;
        numbers.ioVectorSize = server.bufferFrames;
    }
    bool failed = false;
    std::vector<AudioDevice> devices = end.ListDevices(&failed);
    for (int again = 0; jack && failed && again < kProbeRetries; ++again) {
        std::this_thread::sleep_for(kProbeRetryGap);
        devices = end.ListDevices(&failed);
    }
    // JACK runs one duplex device: the input follows the output device.
    AudioRoute route;
    route.inputDevice = jack ? settings.audioOutputDevice : settings.audioInputDevice;
    route.outputDevice = settings.audioOutputDevice;
    route.inputFirstChannel = settings.inputChannel1 - 1u;
    route.outputFirstChannel = settings.outputChannel1 - 1u;
    route.sampleRate = numbers.sampleRate;
    route.bufferFrames = numbers.ioVectorSize;
    const int inputId = FindName(devices, route.inputDevice);
    const int outputId = FindName(devices, route.outputDevice);
    if (inputId < 0 || outputId < 0) {
        if (failed) {
            // Not "no such device": the back end could not look (a server
            // busy starting or stopping); the next try looks again.
            return Refuse(running, settings, AudioState::StartFailed, "the audio devices could not be listed");
        }
        return Refuse(running, settings, AudioState::UnknownDevice,
                      inputId < 0 ? route.inputDevice : route.outputDevice);
    }
    const AudioDevice& input = devices[static_cast<size_t>(inputId)];
    const AudioDevice& output = devices[static_cast<size_t>(outputId)];
    if (settings.inputChannel1 + 1u > input.inputChannels) {
        return Refuse(running, settings, AudioState::BadSetting,
                      "input channels " + std::to_string(settings.inputChannel1) + "/" +
                          std::to_string(settings.inputChannel1 + 1) + ": \"" + route.inputDevice + "\" has " +
                          std::to_string(input.inputChannels) + " inputs");
    }
    if (settings.outputChannel1 + 1u > output.outputChannels) {
        return Refuse(running, settings, AudioState::BadSetting,
                      "output channels " + std::to_string(settings.outputChannel1) + "/" +
                          std::to_string(settings.outputChannel1 + 1) + ": \"" + route.outputDevice + "\" has " +
                          std::to_string(output.outputChannels) + " outputs");
    }

    // A back end that can keep its running stream (JACK) only re-routes it,
    // so connections made by hand stay; any other stream is ended first.
    const bool keep = running && end.KeepsRunningStream();
    if (!keep && end.IsOpen()) {
        EndStream();
    }
    DebugTrace("\ntrying to start audio stream @ %i sr, %i iovs, %i sigvs\nindev = %i:%s\noutdev = %i:%s\n",
               static_cast<int>(numbers.sampleRate), static_cast<int>(numbers.ioVectorSize),
               static_cast<int>(numbers.signalVectorSize), inputId, route.inputDevice.c_str(), outputId,
               route.outputDevice.c_str());
    PreparePlugin(numbers.signalVectorSize, numbers.sampleRate);
    std::string error;
    if (!end.Open(route, &AudioEngine::ProcessBuffer, this, &error) || !end.Start(&error)) {
        return Refuse(false, settings, AudioState::StartFailed, error);
    }
    lastTicks = CallbackTicks();
    lastProgress = Clock::now();
    wanted = true;
    wantedSettings = settings;
    retryGap = std::chrono::duration_cast<std::chrono::milliseconds>(kRetryInterval);
    // Asked of the back end before the lock: the user-interface thread never
    // waits on the library through it.
    const uint32_t rate = end.SampleRate();
    const uint32_t frames = end.BufferFrames();
    const uint32_t latency = end.LatencyFrames();
    const std::string name = end.ClientName();
    {
        std::lock_guard<std::mutex> lock(mutex);
        status.driver = jack ? "JACK" : "ALSA";
        status.device = route.outputDevice;
        status.sampleRate = rate;
        status.bufferFrames = frames;
        runningSettings = settings;
        // A restart in place is a change too.
        ++status.change;
    }
    Publish(AudioState::Running, std::string());
    {
        std::lock_guard<std::mutex> lock(mutex);
        status.clientName = name;
        status.latencyFrames = latency;
        runningChange = status.change;
    }
    return true;
}

void AudioEngine::EndStream()
{
    if (backEnd == nullptr) {
        return;
    }
    const bool delivering = CallbackTicks() != lastTicks || Clock::now() - lastProgress < 200ms;
    backEnd->Stop(delivering && !backEnd->Lost());
    backEnd->Close();
    std::lock_guard<std::mutex> lock(mutex);
    status.clientName.clear();
}

void AudioEngine::Watch()
{
    const auto now = Clock::now();
    if (backEnd != nullptr && backEnd->IsOpen() && backEnd->Lost()) {
        // Closed at once: libjack must not find the dead client at the next open.
        Publish(AudioState::Lost, std::string());
        EndStream();
        retryGap = std::chrono::duration_cast<std::chrono::milliseconds>(kRetryInterval);
        nextTry = Clock::now() + retryGap;
        return;
    }
    KeepMidiClient(false);
    if (backEnd == nullptr || !backEnd->IsOpen()) {
        if (wanted && AudioComesBack(Status().state) && now >= nextTry) {
            if (!TryStart(wantedSettings)) {
                // Back off while nothing changes.
                retryGap = std::min(retryGap * 2, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                      kLongestRetryInterval));
                nextTry = Clock::now() + retryGap;
            }
        }
        return;
    }
    const uint32_t ticks = CallbackTicks();
    if (ticks != lastTicks) {
        lastTicks = ticks;
        lastProgress = now;
    }
    // The server changed its buffer size (the callback takes any length),
    // or a connection changed the latency: the status follows.
    const uint32_t frames = backEnd->BufferFrames();
    const uint32_t latency = backEnd->LatencyFrames();
    uint32_t rate = 0;
    bool resized = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        rate = status.sampleRate;
        if (frames != status.bufferFrames || latency != status.latencyFrames) {
            resized = frames != status.bufferFrames;
            status.bufferFrames = frames;
            status.latencyFrames = latency;
            ++status.change;
        }
    }
    if (resized) {
        SayOnStderr("the audio server runs at " + std::to_string(frames) + " frames now");
    }
    if (now - lastProgress > StallTime(backEndIsJack, frames, rate)) {
        Publish(AudioState::Stalled, std::string());
        EndStream();
        nextTry = Clock::now();
    }
}

void AudioEngine::ProcessBuffer(void* user, double* output, const double* input, uint32_t frames, bool xrun)
{
    auto* engine = static_cast<AudioEngine*>(user);
    const auto begin = Clock::now();
    engine->callbacksInside.fetch_add(1, std::memory_order_seq_cst);
    if (engine->holdCallbacks.load(std::memory_order_seq_cst)) {
        std::fill(output, output + 2 * static_cast<size_t>(frames), 0.0);
    } else {
        IAudioPlugin* plugin = engine->audioPlugin.load(std::memory_order_seq_cst);
        AudioCallbackCore(output, input, frames, engine->callbackState, plugin, currentSettings);
    }
    engine->callbacksInside.fetch_sub(1, std::memory_order_release);
    // Counted here and printed by the user-interface thread's poll.
    if (xrun) {
        engine->xruns.fetch_add(1, std::memory_order_relaxed);
    }
    engine->callbackTicks.fetch_add(1, std::memory_order_relaxed);
    const auto spent = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - begin).count();
    engine->busyNanos.fetch_add(static_cast<uint64_t>(spent), std::memory_order_relaxed);
}
