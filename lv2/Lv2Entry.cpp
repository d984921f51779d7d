// The plug-in's C entry point and the descriptor's callbacks, which hand each
// call to its Lv2Instance. Nothing may throw through them into the host.

#include "lv2/HostBlockLength.h"
#include "lv2/Lv2Instance.h"
#include "lv2/Lv2Interface.h"

#include <lv2/core/lv2.h>

#include <algorithm>
#include <cstdio>
#include <new>

namespace {

// Conversion buffers for a host that names no block length, and the most
// that one instance keeps for a host that names a huge one: longer blocks
// are converted in chunks.
constexpr int32_t kUnnamedBlockFrames = 1024;
constexpr int32_t kLargestBufferFrames = 8192;

LV2_Handle Instantiate(const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const* features)
{
    const int32_t hostLength = HostBlockLength(features);
    const int32_t frames = std::clamp(hostLength > 0 ? hostLength : kUnnamedBlockFrames, Lv2Instance::kVectorFrames,
                                      kLargestBufferFrames);
    try {
        return new Lv2Instance(sampleRate, frames);
    } catch (const std::bad_alloc&) {
        std::fputs("Snarlbox: not enough memory for a new plug-in instance\n", stderr);
        return nullptr;
    }
}

void ConnectPort(LV2_Handle instance, uint32_t port, void* data)
{
    static_cast<Lv2Instance*>(instance)->ConnectPort(port, data);
}

void Activate(LV2_Handle instance) { static_cast<Lv2Instance*>(instance)->Activate(); }

void Run(LV2_Handle instance, uint32_t frames) { static_cast<Lv2Instance*>(instance)->Run(frames); }

void Deactivate(LV2_Handle) {}

void Cleanup(LV2_Handle instance) { delete static_cast<Lv2Instance*>(instance); }

const void* ExtensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {
    Lv2Interface::kPluginUri, Instantiate, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData,
};

} // namespace

// The one symbol the plug-in's shared object exports.
LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
