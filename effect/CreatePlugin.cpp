#include "effect/CreatePlugin.h"

#include "effect/DistortionEffect.h"

#include <mutex>

std::unique_ptr<IAudioPlugin> CreatePlugin(IMidiOutputPort* midiOutput, const uint16_t* midiOutputChannel)
{
    static std::mutex creationLock;
    std::lock_guard<std::mutex> lock(creationLock);
    return std::make_unique<DistortionEffect>(midiOutput, midiOutputChannel);
}
