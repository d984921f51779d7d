#include "standalone/RtAudioBackEnd.h"

#include "platform/DebugTrace.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <cstdio>

namespace {

// alsa-lib's own lines (a card that is not there, at every look while the
// engine waits for a device) go to the debug trace; the status line says
// once what is missing.
__attribute__((format(printf, 5, 6))) void TraceAlsaError(const char* file, int line, const char* function, int,
                                                           const char* format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    DebugTrace("ALSA: %s:%d (%s) %s\n", file, line, function, text);
}

} // namespace

RtAudioBackEnd::RtAudioBackEnd() { snd_lib_error_set_handler(TraceAlsaError); }

RtAudioBackEnd::~RtAudioBackEnd() { Close(); }

bool RtAudioBackEnd::MakeApi(std::string* error)
{
    if (api) {
        return true;
    }
    try {
        api = std::make_unique<RtAudio>(RtAudio::LINUX_ALSA);
    } catch (RtAudioError& thrown) {
        thrown.printMessage();
        if (error != nullptr) {
            *error = thrown.getMessage();
        }
        return false;
    }
    return true;
}

AudioServerInfo RtAudioBackEnd::LookAtServer()
{
    AudioServerInfo info;
    info.present = MakeApi(nullptr);
    return info;
}

std::vector<AudioDevice> RtAudioBackEnd::ListDevices(bool* failed)
{
    listed.clear();
    *failed = false;
    if (!MakeApi(nullptr)) {
        *failed = true;
        return listed;
    }
    unsigned int count = 0;
    try {
        count = api->getDeviceCount();
    } catch (RtAudioError& thrown) {
        thrown.printMessage();
        *failed = true;
    }
    for (unsigned int id = 0; id < count; ++id) {
        AudioDevice device;
        try {
            const RtAudio::DeviceInfo info = api->getDeviceInfo(id);
            device.name = info.name;
            device.probed = info.probed;
            device.inputChannels = info.inputChannels;
            device.outputChannels = info.outputChannels;
            device.sampleRates = info.sampleRates;
        } catch (RtAudioError& thrown) {
            thrown.printMessage();
            device.probed = false;
        }
        listed.push_back(device);
    }
    return listed;
}

bool RtAudioBackEnd::Open(const AudioRoute& route, AudioProcessFunction function, void* data, std::string* error)
{
    Close();
    if (!MakeApi(error)) {
        return false;
    }
    int inputId = -1;
    int outputId = -1;
    for (size_t id = 0; id < listed.size(); ++id) {
        if (inputId < 0 && listed[id].name == route.inputDevice) {
            inputId = static_cast<int>(id);
        }
        if (outputId < 0 && listed[id].name == route.outputDevice) {
            outputId = static_cast<int>(id);
        }
    }
    if (inputId < 0 || outputId < 0) {
        *error = "the device is no longer listed";
        return false;
    }
    RtAudio::StreamParameters outputParameters;
    outputParameters.deviceId = static_cast<unsigned int>(outputId);
    outputParameters.nChannels = 2;
    outputParameters.firstChannel = route.outputFirstChannel;
    RtAudio::StreamParameters inputParameters;
    inputParameters.deviceId = static_cast<unsigned int>(inputId);
    inputParameters.nChannels = 2;
    inputParameters.firstChannel = route.inputFirstChannel;
    RtAudio::StreamOptions options;
    options.flags = RTAUDIO_NONINTERLEAVED;
    options.numberOfBuffers = 0;
    options.streamName = "Snarlbox";
    options.priority = 0;
    process = function;
    user = data;
    unsigned int frames = route.bufferFrames;
    try {
        api->openStream(&outputParameters, &inputParameters, RTAUDIO_FLOAT64, route.sampleRate, &frames,
                        &RtAudioBackEnd::Callback, this, &options);
    } catch (RtAudioError& thrown) {
        thrown.printMessage();
        *error = thrown.getMessage();
        Close();
        return false;
    }
    openRate = route.sampleRate;
    openFrames = frames;
    return true;
}

bool RtAudioBackEnd::Start(std::string* error)
{
    try {
        api->startStream();
    } catch (RtAudioError& thrown) {
        thrown.printMessage();
        *error = thrown.getMessage();
        Close();
        return false;
    }
    started = true;
    return true;
}

void RtAudioBackEnd::Stop(bool delivering)
{
    if (!api || !api->isStreamRunning()) {
        return;
    }
    started = false;
    // Draining waits for callbacks; a stream that stopped calling back
    // would make it wait for ever, so that one is aborted.
    try {
        if (delivering) {
            api->stopStream();
        } else {
            api->abortStream();
        }
    } catch (RtAudioError& thrown) {
        thrown.printMessage();
    }
}

void RtAudioBackEnd::Close()
{
    if (api && api->isStreamOpen()) {
        Stop(false);
        try {
            api->closeStream();
        } catch (RtAudioError& thrown) {
            thrown.printMessage();
        }
    }
    started = false;
    openRate = 0;
    openFrames = 0;
}

bool RtAudioBackEnd::IsOpen() const { return api && api->isStreamOpen(); }

bool RtAudioBackEnd::Lost()
{
    // A stream that stopped running without being asked to went away.
    return started && api && !api->isStreamRunning();
}

uint32_t RtAudioBackEnd::LatencyFrames()
{
    if (!IsOpen()) {
        return 0;
    }
    try {
        return static_cast<uint32_t>(api->getStreamLatency());
    } catch (RtAudioError& thrown) {
        thrown.printMessage();
    }
    return openFrames;
}

int RtAudioBackEnd::Callback(void* output, void* input, unsigned int frames, double, RtAudioStreamStatus status,
                             void* arg)
{
    auto* self = static_cast<RtAudioBackEnd*>(arg);
    self->process(self->user, static_cast<double*>(output), static_cast<const double*>(input), frames, status != 0);
    return 0;
}
