#include "standalone/AudioEngine.h"

#include "core/IAudioPlugin.h"
#include "platform/DebugTrace.h"
#include "platform/LibraryErrorBuffer.h"
#include "platform/WriteWithoutBlocking.h"
#include "standalone/AudioCallbackCore.h"
#include "standalone/AudioComesBack.h"
#include "standalone/DescribeAudioStatus.h"
#include "standalone/HostSettings.h"
#include "standalone/JackClientName.h"
#include "standalone/JackWatch.h"
#include "standalone/KeepForever.h"
#include "standalone/RtAudioJackClient.h"
#include "standalone/SayOnStderr.h"

#include <cstdlib>

AudioEngine audioEngine;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr unsigned int kChannels = 2;
constexpr const char* kExcludedDevice = "Generic Low Latency ASIO Driver";
// Values beyond these only come from a hand-edited settings file.
constexpr long kMinRate = 1000;
constexpr long kMaxRate = 768000;
constexpr long kMaxVectorSize = 8192;
// A stream that delivers nothing for this long has stopped. Under JACK the
// server's own word (shutdown, buffer size) comes first; silence alone is
// given longer there, as a loaded machine can hold a client back a while.
constexpr auto kStallTime = 750ms;
constexpr auto kJackStallTime = 2s;
// Between two tries of a stream that cannot run yet.
constexpr auto kRetryInterval = 300ms;
// Looks again at a JACK server's devices when the library could not list them.
constexpr int kProbeRetries = 3;
constexpr auto kProbeRetryGap = 100ms;
// How long the user-interface thread waits for the control thread.
constexpr auto kStartWait = 4s;
constexpr auto kStopWait = 1200ms;

long ReadNumber(const char* text) { return std::strtol(text, nullptr, 10); }

// Closes the stream when it is open; an error is reported and the close goes on.
void CloseStream(RtAudio& api)
{
    if (!api.isStreamOpen()) {
        return;
    }
    try {
        api.closeStream();
    } catch (RtAudioError& error) {
        error.printMessage();
    }
}

} // namespace

// Everything the control thread learned from the settings before it touches
// the running stream.
struct AudioEngine::Attempt {
    int inputId = -1;
    int outputId = -1;
    unsigned int rate = 0;
    unsigned int frames = 0;
    uint32_t vector = 0;
    std::string inputName;
    std::string outputName;
};

AudioEngine::AudioEngine() = default;

AudioEngine::~AudioEngine() { ShutdownAudio(); }

void AudioEngine::SetAudioPlugin(IAudioPlugin* plugin)
{
    audioPlugin.store(plugin, std::memory_order_seq_cst);
    // A callback that read the old pointer may still be inside it; the wait is
    // bounded by one block of processing.
    const auto deadline = Clock::now() + 2s;
    while (callbacksInside.load(std::memory_order_seq_cst) != 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
}

bool AudioEngine::CreateAudioApi()
{
    LibraryErrorBuffer::Install();
    StopAudioStream();
    audioApi.reset();
    const RtAudio::Api api = currentSettings.driverType == 1 ? RtAudio::UNIX_JACK : RtAudio::LINUX_ALSA;
    try {
        audioApi = std::make_unique<RtAudio>(api);
    } catch (RtAudioError& error) {
        error.printMessage();
        audioApi.reset();
    }
    return audioApi != nullptr;
}

namespace {
// failed, when given, tells whether the library reported an error.
std::vector<RtAudio::DeviceInfo> ProbeAll(RtAudio& api, bool* failed = nullptr)
{
    std::vector<RtAudio::DeviceInfo> infos;
    unsigned int count = 0;
    bool error = false;
    try {
        count = api.getDeviceCount();
    } catch (RtAudioError& thrown) {
        thrown.printMessage();
        error = true;
    }
    infos.resize(count);
    for (unsigned int id = 0; id < count; ++id) {
        try {
            infos[id] = api.getDeviceInfo(id);
        } catch (RtAudioError& thrown) {
            thrown.printMessage();
            infos[id].probed = false;
            error = true;
        }
        // RtAudio reports a failed look at a device as a device that did not probe.
        error = error || !infos[id].probed;
    }
    if (failed != nullptr) {
        *failed = error;
    }
    return infos;
}

int FindName(const std::vector<RtAudio::DeviceInfo>& infos, const char* name)
{
    for (size_t id = 0; id < infos.size(); ++id) {
        if (infos[id].name == name) {
            return static_cast<int>(id);
        }
    }
    return -1;
}
} // namespace

void AudioEngine::ProbeAudioDevices()
{
    ApplyDeviceInfos(audioApi ? ProbeAll(*audioApi) : std::vector<RtAudio::DeviceInfo>());
    LibraryErrorBuffer::Flush();
}

void AudioEngine::ApplyDeviceInfos(const std::vector<RtAudio::DeviceInfo>& infos)
{
    inputDeviceIds.clear();
    outputDeviceIds.clear();
    deviceNames.clear();
    for (size_t id = 0; id < infos.size(); ++id) {
        const RtAudio::DeviceInfo& info = infos[id];
        deviceNames.push_back(info.name);
        if (info.probed && info.name != kExcludedDevice) {
            if (info.inputChannels > 0) {
                inputDeviceIds.push_back(static_cast<uint32_t>(id));
            }
            if (info.outputChannels > 0) {
                outputDeviceIds.push_back(static_cast<uint32_t>(id));
            }
        } else {
            WriteWithoutBlocking(1, (info.name + ": Probe Status = Unsuccessful\n").c_str());
        }
    }
}

int AudioEngine::FindDeviceByName(const char* text) const
{
    for (size_t id = 0; id < deviceNames.size(); ++id) {
        if (deviceNames[id] == text) {
            return static_cast<int>(id);
        }
    }
    return -1;
}

std::string AudioEngine::DeviceNameAt(int id) const
{
    if (id < 0 || static_cast<size_t>(id) >= deviceNames.size()) {
        return std::string();
    }
    return deviceNames[static_cast<size_t>(id)];
}

AudioStatus AudioEngine::Status() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return status;
}

void AudioEngine::EnsureControlThread()
{
    if (!controlThread.joinable() && !controlThreadStuck) {
        LibraryErrorBuffer::Install();
        controlThread = std::thread([this] { ControlLoop(); });
    }
}

bool AudioEngine::Ask(Request request, const AppSettings* settings, std::chrono::milliseconds timeout,
                      bool* started)
{
    EnsureControlThread();
    std::unique_lock<std::mutex> lock(mutex);
    pending = request;
    if (settings != nullptr) {
        requested = *settings;
    }
    const uint32_t number = ++requestNumber;
    wake.notify_all();
    const bool done = wake.wait_for(lock, timeout, [&] { return doneNumber >= number; });
    if (started != nullptr) {
        *started = done && lastStartResult;
    }
    return done;
}

bool AudioEngine::StartAudioFromSettings()
{
    if (controlThreadStuck) {
        return false;
    }
    const AppSettings copy = currentSettings;
    bool started = false;
    const bool answered = Ask(Request::Start, &copy, kStartWait, &started);
    LibraryErrorBuffer::Flush();
    if (!answered) {
        SayOnStderr("the audio library is slow to answer; audio starts in the background when it can");
        return false;
    }
    if (started) {
        streamSettings = copy;
        std::lock_guard<std::mutex> lock(mutex);
        adoptedChange = runningChange;
    }
    return started;
}

void AudioEngine::StopAudioStream()
{
    if (!controlThread.joinable()) {
        return;
    }
    if (!Ask(Request::Stop, nullptr, kStopWait, nullptr)) {
        // Still inside the audio library: leave it there, never wait on it.
        controlThreadStuck = true;
        controlThread.detach();
    }
}

bool AudioEngine::ShutdownAudio()
{
    if (controlThread.joinable()) {
        if (Ask(Request::Quit, nullptr, kStopWait, nullptr)) {
            controlThread.join();
        } else {
            controlThreadStuck = true;
            controlThread.detach();
        }
    }
    if (!controlThreadStuck) {
        audioApi.reset();
    }
    LibraryErrorBuffer::Flush();
    return !controlThreadStuck;
}

bool AudioEngine::PollAudioStream()
{
    LibraryErrorBuffer::Flush();
    // One line per underflow, written here, never on the audio thread; a
    // reader that does not read loses lines rather than stopping anything.
    const uint32_t counted = Xruns();
    for (int lines = 0; printedXruns != counted && lines < 1000; ++lines) {
        ++printedXruns;
        WriteWithoutBlocking(1, "Stream underflow detected!\n");
    }
    printedXruns = counted;

    uint32_t change;
    {
        std::lock_guard<std::mutex> lock(mutex);
        change = status.change;
        // A restart in the background ran with the stored settings.
        if (status.state == AudioState::Running && runningChange != adoptedChange) {
            adoptedChange = runningChange;
            streamSettings = runningSettings;
        }
    }
    const bool changed = change != reportedChange;
    reportedChange = change;
    return changed;
}

void AudioEngine::Publish(AudioState state, const std::string& detail, uint32_t serverRate)
{
    std::string line;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (status.state == state && status.detail == detail && status.serverRate == serverRate) {
            return;
        }
        const AudioState before = status.state;
        status.state = state;
        status.detail = detail;
        status.serverRate = serverRate;
        ++status.change;
        line = DescribeAudioStatus(status);
        if (state == AudioState::Running && before != AudioState::Off && before != AudioState::Running) {
            line = "audio is back (" + status.driver + ", " + status.device + ", " +
                   std::to_string(status.sampleRate) + " Hz, " + std::to_string(status.bufferFrames) + " frames)";
        }
    }
    // Said once per change, from this thread, never waiting on the reader.
    if (!line.empty()) {
        SayOnStderr(line);
    }
}

void AudioEngine::ControlLoop()
{
    for (;;) {
        Request request = Request::None;
        uint32_t number = 0;
        AppSettings settings;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait_for(lock, 100ms, [&] { return pending != Request::None; });
            request = pending;
            pending = Request::None;
            number = requestNumber;
            settings = requested;
        }
        bool started = false;
        switch (request) {
        case Request::Start:
            started = TryStart(settings, true);
            break;
        case Request::Stop:
        case Request::Quit:
            wanted = false;
            EndStream(StreamServerGone());
            Publish(AudioState::Off, std::string());
            break;
        case Request::None:
            Watch();
            break;
        }
        if (request != Request::None) {
            std::lock_guard<std::mutex> lock(mutex);
            lastStartResult = started;
            doneNumber = number;
            wake.notify_all();
        }
        if (request == Request::Quit) {
            watch.reset();
            return;
        }
    }
}

void AudioEngine::EndStream(bool lost)
{
    if (!streamApi) {
        return;
    }
    // A JACK stream stops running by itself only where RtAudio kept the
    // server's notice and is closing it on a thread of its own.
    const bool closing = !streamApi->isStreamRunning() && streamApi->getCurrentApi() == RtAudio::UNIX_JACK;
    if (lost || closing) {
        // Its shutdown flag stays too: libjack may still set it.
        KeepForever(std::move(streamApi));
        KeepForever(std::move(streamGone));
        return;
    }
    if (streamApi->isStreamRunning()) {
        // Draining waits for callbacks; a stream that stopped calling back
        // would make it wait for ever, so that one is aborted. Under JACK the
        // drain only delays the same cut to silence (and a buffer-size change
        // stops the callbacks at any moment), so a JACK stream is aborted.
        const bool jack = streamApi->getCurrentApi() == RtAudio::UNIX_JACK;
        const bool delivering = CallbackTicks() != lastTicks || Clock::now() - lastProgress < 200ms;
        try {
            if (delivering && !jack) {
                streamApi->stopStream();
            } else {
                streamApi->abortStream();
            }
        } catch (RtAudioError& error) {
            error.printMessage();
        }
    }
    CloseStream(*streamApi);
    streamApi.reset();
    // The client is closed: libjack calls nothing of it any more.
    streamGone.reset();
}

bool AudioEngine::StreamServerGone() const
{
    return (streamGone && streamGone->load(std::memory_order_acquire)) || (watch && watch->ServerGone());
}

bool AudioEngine::TryStart(const AppSettings& settings, bool keepRunningStream)
{
    const bool jack = settings.driverType == 1;
    const bool running = keepRunningStream && streamApi != nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!running) {
            status.driver = jack ? "JACK" : "ALSA";
            status.sampleRate = static_cast<uint32_t>(ReadNumber(settings.sampleRate));
        }
    }
    // A refusal leaves a running stream alone: say why and keep it.
    auto refuse = [&](AudioState state, const std::string& detail, uint32_t serverRate = 0) {
        if (running) {
            AudioStatus said;
            said.state = state;
            said.detail = detail;
            said.driver = jack ? "JACK" : "ALSA";
            said.serverRate = serverRate;
            said.sampleRate = static_cast<uint32_t>(ReadNumber(settings.sampleRate));
            SayOnStderr(DescribeAudioStatus(said) + "; the running stream stays as it is");
            return false;
        }
        wanted = AudioComesBack(state);
        wantedSettings = settings;
        nextTry = Clock::now() + kRetryInterval;
        Publish(state, detail, serverRate);
        return false;
    };

    Attempt attempt;
    const long rate = ReadNumber(settings.sampleRate);
    const long frames = ReadNumber(settings.ioVectorSize);
    const long vector = ReadNumber(settings.signalVectorSize);
    if (rate < kMinRate || rate > kMaxRate) {
        return refuse(AudioState::BadSetting, "sample rate \"" + std::string(settings.sampleRate) +
                                                  "\" is not between 1000 and 768000 Hz");
    }
    if (frames < 1 || frames > kMaxVectorSize) {
        return refuse(AudioState::BadSetting,
                      "IO vector size \"" + std::string(settings.ioVectorSize) + "\" is not between 1 and 8192");
    }
    if (vector < 1 || vector > kMaxVectorSize) {
        return refuse(AudioState::BadSetting, "signal vector size \"" + std::string(settings.signalVectorSize) +
                                                  "\" is not between 1 and 8192");
    }
    if (settings.inputChannel1 < 1 || settings.outputChannel1 < 1) {
        return refuse(AudioState::BadSetting, std::string(settings.inputChannel1 < 1 ? "input" : "output") +
                                                  " channel 0 does not exist: channels count from 1");
    }
    attempt.rate = static_cast<unsigned int>(rate);
    attempt.frames = static_cast<unsigned int>(frames);
    attempt.vector = static_cast<uint32_t>(vector);

    if (jack) {
        if (!watch) {
            watch = std::make_unique<JackWatch>("snarlbox-watch");
        }
        if (watch->ServerGone()) {
            watch->Retire();
        }
        if (!watch->Open()) {
            return refuse(AudioState::ServerDown, std::string());
        }
    }
    std::unique_ptr<RtAudio> api;
    try {
        api = std::make_unique<RtAudio>(jack ? RtAudio::UNIX_JACK : RtAudio::LINUX_ALSA);
    } catch (RtAudioError& error) {
        error.printMessage();
        return refuse(AudioState::NoDriver, error.getMessage());
    }
    bool probeFailed = false;
    std::vector<RtAudio::DeviceInfo> infos = ProbeAll(*api, &probeFailed);
    // A JACK server busy with other clients may turn the library's listing
    // client away for a moment; look again before telling the user.
    for (int again = 0; jack && (probeFailed || infos.empty()) && again < kProbeRetries; ++again) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (pending == Request::Quit || pending == Request::Stop) {
                break;
            }
        }
        std::this_thread::sleep_for(kProbeRetryGap);
        infos = ProbeAll(*api, &probeFailed);
    }
    // JACK runs one duplex device: the input follows the output device.
    attempt.inputName = jack ? settings.audioOutputDevice : settings.audioInputDevice;
    attempt.outputName = settings.audioOutputDevice;
    attempt.inputId = FindName(infos, attempt.inputName.c_str());
    attempt.outputId = FindName(infos, attempt.outputName.c_str());
    if (attempt.inputId < 0 || attempt.outputId < 0) {
        if (jack && (probeFailed || infos.empty())) {
            // Not "no such device": the library could not look (a server busy
            // starting or stopping); the next try looks again.
            return refuse(AudioState::StartFailed, "the audio devices could not be listed");
        }
        return refuse(AudioState::UnknownDevice, attempt.inputId < 0 ? attempt.inputName : attempt.outputName);
    }
    const RtAudio::DeviceInfo& input = infos[static_cast<size_t>(attempt.inputId)];
    const RtAudio::DeviceInfo& output = infos[static_cast<size_t>(attempt.outputId)];
    if (static_cast<unsigned int>(settings.inputChannel1) + 1 > input.inputChannels) {
        return refuse(AudioState::BadSetting, "input channels " + std::to_string(settings.inputChannel1) + "/" +
                                                  std::to_string(settings.inputChannel1 + 1) + ": \"" +
                                                  attempt.inputName + "\" has " +
                                                  std::to_string(input.inputChannels) + " inputs");
    }
    if (static_cast<unsigned int>(settings.outputChannel1) + 1 > output.outputChannels) {
        return refuse(AudioState::BadSetting, "output channels " + std::to_string(settings.outputChannel1) + "/" +
                                                  std::to_string(settings.outputChannel1 + 1) + ": \"" +
                                                  attempt.outputName + "\" has " +
                                                  std::to_string(output.outputChannels) + " outputs");
    }
    if (jack && watch->SampleRate() != 0 && watch->SampleRate() != attempt.rate) {
        return refuse(AudioState::RateMismatch, std::string(), watch->SampleRate());
    }

    // From here on the old stream goes: a restart aborts it, never drains it.
    EndStream(StreamServerGone());

    DebugTrace("\ntrying to start audio stream @ %i sr, %i iovs, %i sigvs\nindev = %i:%s\noutdev = %i:%s\n",
               static_cast<int>(attempt.rate), static_cast<int>(attempt.frames), static_cast<int>(attempt.vector),
               attempt.inputId, attempt.inputName.c_str(), attempt.outputId, attempt.outputName.c_str());

    RtAudio::StreamParameters outputParameters;
    outputParameters.deviceId = static_cast<unsigned int>(attempt.outputId);
    outputParameters.nChannels = kChannels;
    outputParameters.firstChannel = settings.outputChannel1 - 1u;
    RtAudio::StreamParameters inputParameters;
    inputParameters.deviceId = static_cast<unsigned int>(attempt.inputId);
    inputParameters.nChannels = kChannels;
    inputParameters.firstChannel = settings.inputChannel1 - 1u;
    RtAudio::StreamOptions options;
    options.flags = RTAUDIO_NONINTERLEAVED;
    options.numberOfBuffers = 0;
    // Under JACK the stream's name is the client name patchbays show.
    options.streamName = JackClientName();
    options.priority = 0;

    // No stream runs now; the plug-in is held against SetAudioPlugin as a
    // callback holds it.
    callbackState.signalVectorSize = attempt.vector;
    callbackState.Reset();
    callbacksInside.fetch_add(1, std::memory_order_seq_cst);
    if (IAudioPlugin* plugin = audioPlugin.load(std::memory_order_seq_cst)) {
        plugin->ChangeBlockSize(static_cast<int>(attempt.vector));
        plugin->ChangeSampleRate(static_cast<double>(attempt.rate));
        plugin->ResetState();
    }
    callbacksInside.fetch_sub(1, std::memory_order_seq_cst);

    unsigned int bufferFrames = attempt.frames;
    auto gone = std::make_unique<std::atomic<bool>>(false);
    try {
        api->openStream(&outputParameters, &inputParameters, RTAUDIO_FLOAT64, attempt.rate, &bufferFrames,
                        &AudioEngine::AudioCallback, this, &options);
        if (jack) {
            TakeJackShutdownNotice(*api, options.streamName, gone.get());
        }
        api->startStream();
    } catch (RtAudioError& error) {
        error.printMessage();
        if (gone->load(std::memory_order_acquire)) {
            // The server went away meanwhile.
            KeepForever(std::move(api));
            KeepForever(std::move(gone));
        } else {
            CloseStream(*api);
        }
        return refuse(AudioState::StartFailed, error.getMessage());
    }
    streamApi = std::move(api);
    streamGone = std::move(gone);
    streamFrames = bufferFrames;
    lastTicks = CallbackTicks();
    lastProgress = Clock::now();
    wanted = true;
    wantedSettings = settings;
    {
        std::lock_guard<std::mutex> lock(mutex);
        status.driver = jack ? "JACK" : "ALSA";
        status.device = attempt.outputName;
        status.sampleRate = attempt.rate;
        status.bufferFrames = bufferFrames;
        runningSettings = settings;
    }
    Publish(AudioState::Running, std::string());
    {
        std::lock_guard<std::mutex> lock(mutex);
        runningChange = status.change;
    }
    return true;
}

void AudioEngine::Watch()
{
    const auto now = Clock::now();
    if (!streamApi) {
        if (wanted && AudioComesBack(Status().state) && now >= nextTry) {
            TryStart(wantedSettings, false);
            nextTry = Clock::now() + kRetryInterval;
        }
        return;
    }
    const uint32_t ticks = CallbackTicks();
    if (ticks != lastTicks) {
        lastTicks = ticks;
        lastProgress = now;
    }
    const bool jack = wantedSettings.driverType == 1;
    if ((jack && StreamServerGone()) || !streamApi->isStreamRunning()) {
        Publish(AudioState::Lost, std::string());
        EndStream(true);
        if (watch && watch->ServerGone()) {
            watch->Retire();
        }
        // The watch may hear of the loss a moment after the stream did.
        nextTry = Clock::now() + kRetryInterval;
        return;
    }
    if (jack && watch && watch->BufferSize() != 0 && watch->BufferSize() != streamFrames) {
        // RtAudio stops processing at the first buffer of another size.
        Publish(AudioState::BufferSizeChanged, std::to_string(watch->BufferSize()));
        EndStream(false);
        nextTry = Clock::now();
        return;
    }
    if (now - lastProgress > (jack ? kJackStallTime : kStallTime)) {
        Publish(AudioState::Stalled, std::string());
        EndStream(false);
        nextTry = Clock::now();
    }
}

int AudioEngine::AudioCallback(void* outputBuffer, void* inputBuffer, unsigned int frames, double /*streamTime*/,
                               RtAudioStreamStatus status, void* userData)
{
    auto* engine = static_cast<AudioEngine*>(userData);
    const auto begin = Clock::now();
    engine->callbacksInside.fetch_add(1, std::memory_order_seq_cst);
    IAudioPlugin* plugin = engine->audioPlugin.load(std::memory_order_seq_cst);
    AudioCallbackCore(static_cast<double*>(outputBuffer), static_cast<const double*>(inputBuffer), frames,
                      engine->callbackState, plugin, currentSettings);
    engine->callbacksInside.fetch_sub(1, std::memory_order_release);
    // Counted here and printed by the user-interface thread's poll.
    if (status != 0) {
        engine->xruns.fetch_add(1, std::memory_order_relaxed);
    }
    engine->callbackTicks.fetch_add(1, std::memory_order_relaxed);
    const auto spent = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - begin).count();
    engine->busyNanos.fetch_add(static_cast<uint64_t>(spent), std::memory_order_relaxed);
    return 0;
}
