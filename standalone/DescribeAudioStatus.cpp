#include "standalone/DescribeAudioStatus.h"

std::string DescribeAudioStatus(const AudioStatus& status)
{
    switch (status.state) {
    case AudioState::Off:
    case AudioState::Running:
        return std::string();
    case AudioState::NoDriver:
        return "no " + status.driver + " audio driver is available; audio stays off";
    case AudioState::ServerDown:
        return "JACK server is not running; audio starts when it does";
    case AudioState::UnknownDevice:
        return "no device named \"" + status.detail + "\" (Preferences...); audio starts when it appears";
    case AudioState::BadSetting:
        return "audio is off: " + status.detail + " (Preferences...)";
    case AudioState::RateMismatch:
        return "the server runs at " + std::to_string(status.serverRate) + " Hz; Snarlbox is set to " +
               std::to_string(status.sampleRate) + " Hz (Preferences...)";
    case AudioState::Lost:
        return "the audio server quit or the device went away; audio restarts when it can";
    case AudioState::BufferSizeChanged:
        return "audio server changed its buffer size; restarting...";
    case AudioState::Stalled:
        return "the audio stream has stopped processing; restarting...";
    case AudioState::StartFailed:
        return "the audio stream could not start (" + status.detail + "); trying again";
    }
    return std::string();
}
