#pragma once

#include "effect/VectorPosition.h"
#include "lv2/Lv2Interface.h"

#include <cstdint>
#include <memory>
#include <vector>

class DistortionEffect;

// One plug-in instance in an LV2 host: the effect, the host's port buffers and
// the effect's 32-frame signal vectors laid over the host's stream, so the
// sound does not depend on how the host cuts its blocks.
class Lv2Instance {
public:
    // The signal vector of the stream: the standalone program's default size.
    static constexpr int32_t kVectorFrames = 32;

    // Instantiation thread; allocates the effect and conversion buffers of
    // bufferFrames frames (at least one vector), the most converted at once.
    Lv2Instance(double sampleRate, int32_t bufferFrames);
    ~Lv2Instance();
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    // Any thread the host connects from; real-time safe. Unknown ports are ignored.
    void ConnectPort(uint32_t port, void* data);
    // The bypass crossfade's length: click-free, yet short.
    static constexpr double kBypassFadeSeconds = 0.005;

    // Instantiation thread, before run(): the stream starts over at a vector's
    // first frame. The sound state (clipper, last outputs) carries on.
    void Activate();
    // Audio thread; real-time safe: no allocation, no system call, no lock but
    // the plug-in lock (uncontended). Any frame count; changed controls reach
    // the effect first. Missing audio buffers process nothing. The effect
    // runs on while bypassed, so switching back is seamless.
    void Run(uint32_t frames);

private:
    // Changed control values, made safe like a stored state, into the effect.
    void ReadControls();
    // n frames from the conversion buffers through the vector grid.
    void ProcessConverted(int32_t n);
    // Crossfades n processed frames with the dry ones toward the bypass
    // switch's side.
    void MixWithDry(int32_t n, double target);

    std::unique_ptr<DistortionEffect> effect;
    int32_t bufferFrames;
    std::vector<double> left;  // bufferFrames samples
    std::vector<double> right; // bufferFrames samples
    const float* inputs[2] = {nullptr, nullptr};
    float* outputs[2] = {nullptr, nullptr};
    const float* controls[Lv2Interface::kControlCount] = {};
    const float* enabledPort = nullptr; // unconnected: enabled
    // The bypass crossfade: the effect's share of the output (1 processed,
    // 0 dry), moving by mixStep a frame toward the switch; below 0 until the
    // first run, which starts on the switch's side without a fade.
    double mix = -1.0;
    double mixStep = 1.0;
    std::vector<double> dryLeft;  // bufferFrames samples
    std::vector<double> dryRight; // bufferFrames samples
    float seenControls[Lv2Interface::kControlCount] = {};
    bool controlsSeen[Lv2Interface::kControlCount] = {};
    VectorPosition position;
};
