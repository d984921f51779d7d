#include "effect/CreatePlugin.h"

#include "effect/DistortionEffect.h"

#include <mutex>
#include <new>

std::unique_ptr<IAudioPlugin> CreatePlugin(IMidiOutputPort* midiOutput, const uint16_t* midiOutputChannel)
{
    static std::mutex creationLock;
    std::lock_guard<std::mutex> lock(creationLock);
    // Running out of memory gives no plug-in rather than an exception that
    // would cross the host's start-up.
    try {
        return std::make_unique<DistortionEffect>(midiOutput, midiOutputChannel);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
