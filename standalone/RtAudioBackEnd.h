#pragma once

#include "standalone/IAudioBackEnd.h"

#include <rtaudio/RtAudio.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

// The ALSA back end, on RtAudio: one duplex stream of 64-bit
// non-interleaved samples, opened at the requested rate and buffer size
// (RtAudio may settle on another size). A new start always closes the old
// stream first. RtAudio's errors are caught here and passed on as text.
// Control thread only, except the callback (audio thread).
class RtAudioBackEnd : public IAudioBackEnd {
public:
    // Routes alsa-lib's error lines to the debug trace.
    RtAudioBackEnd();
    ~RtAudioBackEnd() override;
    RtAudioBackEnd(const RtAudioBackEnd&) = delete;
    RtAudioBackEnd& operator=(const RtAudioBackEnd&) = delete;

    AudioServerInfo LookAtServer() override;
    std::vector<AudioDevice> ListDevices(bool* failed) override;
    bool Open(const AudioRoute& route, AudioProcessFunction process, void* user, std::string* error) override;
    bool Start(std::string* error) override;
    void Stop(bool delivering) override;
    void Close() override;
    bool IsOpen() const override;
    bool KeepsRunningStream() const override { return false; }
    bool Lost() override;
    uint32_t SampleRate() override { return openRate; }
    uint32_t BufferFrames() override { return openFrames; }
    uint32_t LatencyFrames() override;
    std::string ClientName() const override { return std::string(); }

private:
    static int Callback(void* output, void* input, unsigned int frames, double time, RtAudioStreamStatus status,
                        void* self);
    bool MakeApi(std::string* error);

    std::unique_ptr<RtAudio> api;
    std::vector<AudioDevice> listed;  // the last listing: RtAudio's ids are its positions
    bool started = false;
    uint32_t openRate = 0;
    uint32_t openFrames = 0;
    AudioProcessFunction process = nullptr;
    void* user = nullptr;
};
