#pragma once

#include "standalone/AudioStatus.h"

// True for the states the engine retries by itself with the stored settings
// (a server or device that may come back, a stream being restarted): no
// sound now, but no need for the user either. Any thread.
inline bool AudioComesBack(AudioState state)
{
    switch (state) {
    case AudioState::ServerDown:
    case AudioState::UnknownDevice:
    case AudioState::RateMismatch:
    case AudioState::Lost:
    case AudioState::BufferSizeChanged:
    case AudioState::Stalled:
    case AudioState::StartFailed:
        return true;
    case AudioState::Off:
    case AudioState::Running:
    case AudioState::NoDriver:
    case AudioState::BadSetting:
        break;
    }
    return false;
}
