#include "lv2/Lv2Instance.h"

#include "core/ClampStoredValue.h"
#include "effect/DistortionEffect.h"

#include <algorithm>
#include <cmath>
#include <cstring>

Lv2Instance::Lv2Instance(double sampleRate, int32_t frames)
    : effect(std::make_unique<DistortionEffect>(nullptr, nullptr, false)),
      bufferFrames(std::max(frames, kVectorFrames)),
      left(static_cast<size_t>(bufferFrames)),
      right(static_cast<size_t>(bufferFrames)),
      dryLeft(static_cast<size_t>(bufferFrames)),
      dryRight(static_cast<size_t>(bufferFrames))
{
    mixStep = 1.0 / std::max(1.0, std::round(sampleRate * kBypassFadeSeconds));
    // The order a host of the effect keeps before a stream starts.
    effect->LoadPresetSlot(0);
    effect->ChangeBlockSize(kVectorFrames);
    effect->ChangeSampleRate(sampleRate);
}

Lv2Instance::~Lv2Instance() = default;

void Lv2Instance::ConnectPort(uint32_t port, void* data)
{
    using namespace Lv2Interface;
    switch (port) {
    case kInputLeft: inputs[0] = static_cast<const float*>(data); break;
    case kInputRight: inputs[1] = static_cast<const float*>(data); break;
    case kOutputLeft: outputs[0] = static_cast<float*>(data); break;
    case kOutputRight: outputs[1] = static_cast<float*>(data); break;
    case kEnabled: enabledPort = static_cast<const float*>(data); break;
    default:
        if (port >= kFirstControl && port < kFirstControl + kControlCount) {
            controls[port - kFirstControl] = static_cast<const float*>(data);
        }
        break;
    }
}

void Lv2Instance::Activate()
{
    effect->ResetState();
    position = VectorPosition{};
    mix = -1.0;
}

void Lv2Instance::ReadControls()
{
    for (uint32_t i = 0; i < Lv2Interface::kControlCount; ++i) {
        if (controls[i] == nullptr) {
            continue;
        }
        const float value = *controls[i];
        // Bit for bit, so a NaN that stays is no change either.
        if (controlsSeen[i] && std::memcmp(&value, &seenControls[i], sizeof value) == 0) {
            continue;
        }
        seenControls[i] = value;
        controlsSeen[i] = true;
        const int paramIndex = Lv2Interface::kControlPorts[i].paramIndex;
        IParameter& parameter = *effect->ParameterAt(paramIndex);
        parameter.value = ClampStoredValue(parameter, static_cast<double>(value));
        effect->ParameterChanged(paramIndex);
    }
}

void Lv2Instance::ProcessConverted(int32_t n)
{
    int32_t at = 0;
    while (at < n) {
        // Up to the end of the current vector, never past it: the hold and
        // frame patterns restart exactly on the grid.
        const int32_t piece = std::min(n - at, kVectorFrames - position.frame);
        double* io[2] = {left.data() + at, right.data() + at};
        effect->ContinueVector(io, io, piece, position);
        if (position.frame >= kVectorFrames) {
            position = VectorPosition{};
        }
        at += piece;
    }
}

void Lv2Instance::MixWithDry(int32_t n, double target)
{
    if (mix == target) {
        if (target == 0.0) {
            std::copy_n(dryLeft.begin(), n, left.begin());
            std::copy_n(dryRight.begin(), n, right.begin());
        }
        return;
    }
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
        mix = target > mix ? std::min(target, mix + mixStep) : std::max(target, mix - mixStep);
        if (mix < 1.0) { // at 1 the effect's samples stay exact
            left[i] = dryLeft[i] + (left[i] - dryLeft[i]) * mix;
            right[i] = dryRight[i] + (right[i] - dryRight[i]) * mix;
        }
    }
}

void Lv2Instance::Run(uint32_t frames)
{
    effect->EnterPluginLock();
    ReadControls();
    // A NaN switch counts as on, as an unconnected one does.
    const double target = enabledPort != nullptr && *enabledPort < 0.5f ? 0.0 : 1.0;
    if (mix < 0.0) {
        mix = target;
    }
    if (inputs[0] != nullptr && inputs[1] != nullptr && outputs[0] != nullptr && outputs[1] != nullptr) {
        uint32_t done = 0;
        while (done < frames) {
            const uint32_t chunk = std::min(frames - done, static_cast<uint32_t>(bufferFrames));
            const auto n = static_cast<int32_t>(chunk);
            // All of a chunk's input is read before any of its output is
            // written: hosts may hand the same buffer for both.
            for (int32_t i = 0; i < n; ++i) {
                left[static_cast<size_t>(i)] = inputs[0][done + static_cast<uint32_t>(i)];
                right[static_cast<size_t>(i)] = inputs[1][done + static_cast<uint32_t>(i)];
            }
            std::copy_n(left.begin(), n, dryLeft.begin());
            std::copy_n(right.begin(), n, dryRight.begin());
            ProcessConverted(n);
            MixWithDry(n, target);
            for (int32_t i = 0; i < n; ++i) {
                outputs[0][done + static_cast<uint32_t>(i)] = static_cast<float>(left[static_cast<size_t>(i)]);
                outputs[1][done + static_cast<uint32_t>(i)] = static_cast<float>(right[static_cast<size_t>(i)]);
            }
            done += static_cast<uint32_t>(n);
        }
    }
    effect->LeavePluginLock();
}
