#pragma once

#include "standalone/AudioDevice.h"

#include <cstdint>
#include <string>
#include <vector>

// Called once per device buffer on the audio thread with non-interleaved
// 64-bit samples (channel 1 at [0, n), channel 2 at [n, 2n)); xrun is true
// when the device lost samples before this buffer. Real-time: the callee must
// not allocate or block.
using AudioProcessFunction = void (*)(void* user, double* output, const double* input, uint32_t frames, bool xrun);

// What the server (or the device layer) says, looked at without opening a
// stream. A device layer without a server is always present.
struct AudioServerInfo {
    bool present = false;
    uint32_t sampleRate = 0;    // 0: no fixed rate (ALSA)
    uint32_t bufferFrames = 0;  // 0: no fixed buffer size (ALSA)
};

// Where the stream goes: device names and the first channel (0-based) of
// each two-channel pair, at the requested rate and buffer size (a server's
// own values win over these).
struct AudioRoute {
    std::string inputDevice;
    std::string outputDevice;
    unsigned int inputFirstChannel = 0;
    unsigned int outputFirstChannel = 0;
    unsigned int sampleRate = 0;
    unsigned int bufferFrames = 0;

    bool SameDevices(const AudioRoute& other) const
    {
        return inputDevice == other.inputDevice && outputDevice == other.outputDevice &&
               inputFirstChannel == other.inputFirstChannel && outputFirstChannel == other.outputFirstChannel;
    }
};

// One audio device layer: the engine's control thread drives it through
// these calls, and only that thread (every call may wait on the device layer
// or the server, none is real-time safe). The audio thread only runs the
// process function given to Open.
class IAudioBackEnd {
public:
    virtual ~IAudioBackEnd() = default;

    // The cheap look first: is the server there, at which rate and size.
    virtual AudioServerInfo LookAtServer() = 0;
    // Every device the layer offers; failed tells whether the layer could not
    // look (a busy server), as opposed to finding nothing.
    virtual std::vector<AudioDevice> ListDevices(bool* failed) = 0;
    // Prepares the stream on route. A layer that can keep a running stream
    // (KeepsRunningStream) re-routes it in place; otherwise the stream must
    // be closed first. error gets the layer's message on failure.
    virtual bool Open(const AudioRoute& route, AudioProcessFunction process, void* user, std::string* error) = 0;
    // Starts delivering callbacks.
    virtual bool Start(std::string* error) = 0;
    // Stops the callbacks: drained when delivering is true, cut otherwise.
    virtual void Stop(bool delivering) = 0;
    // Closes the stream and lets go of everything of the server.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // True when a new start may keep the open stream and only re-route it.
    virtual bool KeepsRunningStream() const = 0;
    // True once the server went away or the stream ended by itself.
    virtual bool Lost() = 0;
    // The running stream's rate, buffer size (as the server runs it now) and
    // the latency from its inputs to its outputs in frames.
    virtual uint32_t SampleRate() = 0;
    virtual uint32_t BufferFrames() = 0;
    virtual uint32_t LatencyFrames() = 0;
    // The client name the server gave (JACK); empty otherwise or while closed.
    virtual std::string ClientName() const = 0;
};
