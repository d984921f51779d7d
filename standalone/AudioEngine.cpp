#include "standalone/AudioEngine.h"

#include "core/IAudioPlugin.h"
#include "platform/DebugTrace.h"
#include "standalone/AudioCallbackCore.h"
#include "standalone/HostSettings.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

AudioEngine audioEngine;

namespace {

constexpr unsigned int kChannels = 2;
constexpr const char* kExcludedDevice = "Generic Low Latency ASIO Driver";
constexpr long kDefaultSignalVector = 32;
// Anything larger only comes from a hand-edited settings file.
constexpr long kMaxSignalVector = 8192;

int ReadInteger(const char* text)
{
    return static_cast<int>(std::strtol(text, nullptr, 10));
}

} // namespace

AudioEngine::~AudioEngine() { ShutdownAudio(); }

void AudioEngine::ShutdownAudio()
{
    StopAudioStream();
    CloseAudioStream();
    audioApi.reset();
}

bool AudioEngine::CreateAudioApi()
{
    SettleLostStream();
    if (audioApi) {
        CloseAudioStream();
        audioApi.reset();
    }
    const RtAudio::Api api = currentSettings.driverType == 1 ? RtAudio::UNIX_JACK : RtAudio::LINUX_ALSA;
    try {
        audioApi = std::make_unique<RtAudio>(api);
    } catch (RtAudioError& error) {
        error.printMessage();
        audioApi.reset();
    }
    return audioApi != nullptr;
}

void AudioEngine::ProbeAudioDevices()
{
    std::vector<RtAudio::DeviceInfo> infos;
    if (audioApi) {
        unsigned int count = 0;
        try {
            count = audioApi->getDeviceCount();
        } catch (RtAudioError& error) {
            error.printMessage();
        }
        infos.resize(count);
        for (unsigned int id = 0; id < count; ++id) {
            try {
                infos[id] = audioApi->getDeviceInfo(id);
            } catch (RtAudioError& error) {
                error.printMessage();
                infos[id].probed = false;
            }
        }
    }
    ApplyDeviceInfos(infos);
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
            std::printf("%s: Probe Status = Unsuccessful\n", info.name.c_str());
            std::fflush(stdout);
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

bool AudioEngine::StartAudioFromSettings()
{
    const char* inputName =
        currentSettings.driverType == 1 ? currentSettings.audioOutputDevice : currentSettings.audioInputDevice;
    const int inputId = FindDeviceByName(inputName);
    const int outputId = FindDeviceByName(currentSettings.audioOutputDevice);
    const int sampleRate = ReadInteger(currentSettings.sampleRate);
    const int bufferFrames = ReadInteger(currentSettings.ioVectorSize);
    if (inputId == -1 || outputId == -1) {
        return false;
    }
    return StartAudioStream(inputId, outputId, sampleRate, bufferFrames, currentSettings.inputChannel1 - 1,
                            currentSettings.outputChannel1 - 1);
}

bool AudioEngine::StartAudioStream(int inputId, int outputId, int sampleRate, int bufferFrames,
                                   int inputFirstChannel, int outputFirstChannel)
{
    SettleLostStream();
    if (!audioApi) {
        std::fputs("Snarlbox: no audio driver is available; audio stays off.\n", stderr);
        return false;
    }
    // From here on a stopped stream is our own doing, not a lost one.
    streamActive = false;
    if (audioApi->isStreamOpen()) {
        if (audioApi->isStreamRunning()) {
            try {
                audioApi->abortStream();
            } catch (RtAudioError& error) {
                error.printMessage();
            }
        }
        CloseAudioStream();
    }

    RtAudio::StreamParameters outputParameters;
    outputParameters.deviceId = static_cast<unsigned int>(outputId);
    outputParameters.nChannels = kChannels;
    outputParameters.firstChannel = static_cast<unsigned int>(outputFirstChannel);
    RtAudio::StreamParameters inputParameters;
    inputParameters.deviceId = static_cast<unsigned int>(inputId);
    inputParameters.nChannels = kChannels;
    inputParameters.firstChannel = static_cast<unsigned int>(inputFirstChannel);

    ioVectorSize = static_cast<unsigned int>(bufferFrames);
    long vector = std::strtol(currentSettings.signalVectorSize, nullptr, 10);
    if (vector <= 0 || vector > kMaxSignalVector) {
        std::fprintf(stderr, "Snarlbox: signal vector size \"%s\" is not usable; using %ld.\n",
                     currentSettings.signalVectorSize, kDefaultSignalVector);
        vector = kDefaultSignalVector;
    }
    callbackState.signalVectorSize = static_cast<uint32_t>(vector);

    DebugTrace("\ntrying to start audio stream @ %i sr, %i iovs, %i sigvs\nindev = %i:%s\noutdev = %i:%s\n",
               sampleRate, static_cast<int>(ioVectorSize), static_cast<int>(callbackState.signalVectorSize),
               inputId, DeviceNameAt(inputId).c_str(), outputId, DeviceNameAt(outputId).c_str());

    RtAudio::StreamOptions options;
    options.flags = RTAUDIO_NONINTERLEAVED;
    options.numberOfBuffers = 0;
    options.streamName = "";
    options.priority = 0;

    callbackState.Reset();

    if (audioPlugin != nullptr) {
        audioPlugin->ChangeBlockSize(static_cast<int>(callbackState.signalVectorSize));
        audioPlugin->ChangeSampleRate(static_cast<double>(sampleRate));
        audioPlugin->ResetState();
    }

    try {
        audioApi->openStream(&outputParameters, &inputParameters, RTAUDIO_FLOAT64,
                             static_cast<unsigned int>(sampleRate), &ioVectorSize, &AudioEngine::AudioCallback,
                             this, &options);
        audioApi->startStream();
    } catch (RtAudioError& error) {
        error.printMessage();
        // A stream that opened but would not start is of no use; don't keep it.
        CloseAudioStream();
        return false;
    }
    streamActive = true;
    stallReported = false;
    lastTicks = CallbackTicks();
    lastProgress = std::chrono::steady_clock::now();
    streamSettings = currentSettings;
    return true;
}

void AudioEngine::StopAudioStream()
{
    SettleLostStream();
    if (!audioApi || !audioApi->isStreamRunning()) {
        streamActive = false;
        return;
    }
    streamActive = false;
    try {
        audioApi->stopStream();
    } catch (RtAudioError& error) {
        error.printMessage();
    }
}

void AudioEngine::CloseAudioStream()
{
    SettleLostStream();
    streamActive = false;
    if (audioApi && audioApi->isStreamOpen()) {
        try {
            audioApi->closeStream();
        } catch (RtAudioError& error) {
            error.printMessage();
        }
    }
}

bool AudioEngine::PollAudioStream()
{
    if (!streamActive || !audioApi) {
        return false;
    }
    if (audioApi->isStreamRunning()) {
        const auto now = std::chrono::steady_clock::now();
        const uint32_t ticks = CallbackTicks();
        if (ticks != lastTicks) {
            lastTicks = ticks;
            lastProgress = now;
            return false;
        }
        if (stallReported || now - lastProgress < std::chrono::seconds(1)) {
            return false;
        }
        stallReported = true;
        std::fputs("Snarlbox: the audio stream has stopped processing (the audio server may have changed its "
                   "buffer size); audio is off until the audio settings are applied again.\n",
                   stderr);
        return true;
    }
    std::fputs("Snarlbox: the audio stream has ended (the audio server quit or dropped Snarlbox); "
               "audio is off until the audio settings are applied again.\n",
               stderr);
    SettleLostStream();
    return true;
}

void AudioEngine::SettleLostStream()
{
    if (!streamActive || !audioApi || audioApi->isStreamRunning()) {
        return;
    }
    streamActive = false;
    // RtAudio's JACK back end closes the stream on a thread of its own when the
    // server goes away; wait for it rather than race it on the same stream.
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (audioApi->isStreamOpen() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    if (audioApi->isStreamOpen()) {
        // Still being closed by the library: leave the object to that thread
        // rather than delete it underneath; a fresh one serves the next start.
        std::fputs("Snarlbox: the audio driver did not finish closing the stream; starting over with a new one.\n",
                   stderr);
        (void)audioApi.release();
        CreateAudioApi();
        return;
    }
    // Let the closing thread return from the library before the object may go.
    std::this_thread::sleep_for(50ms);
}

int AudioEngine::AudioCallback(void* outputBuffer, void* inputBuffer, unsigned int frames, double /*streamTime*/,
                               RtAudioStreamStatus status, void* userData)
{
    auto* engine = static_cast<AudioEngine*>(userData);
    engine->callbackTicks.fetch_add(1, std::memory_order_relaxed);
    return AudioCallbackCore(static_cast<double*>(outputBuffer), static_cast<const double*>(inputBuffer), frames,
                             status != 0, engine->callbackState, engine->audioPlugin, currentSettings);
}
