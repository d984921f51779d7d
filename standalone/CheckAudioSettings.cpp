#include "standalone/CheckAudioSettings.h"

#include <cstdlib>

namespace {
// Values beyond these only come from a hand-edited settings file.
constexpr long kMinRate = 1000;
constexpr long kMaxRate = 768000;
constexpr long kMaxVectorSize = 8192;

long ReadNumber(const char* text) { return std::strtol(text, nullptr, 10); }
} // namespace

std::string CheckAudioSettings(const AppSettings& settings, bool serverSizes, AudioNumbers* numbers)
{
    const long rate = ReadNumber(settings.sampleRate);
    const long frames = ReadNumber(settings.ioVectorSize);
    const long vector = ReadNumber(settings.signalVectorSize);
    if (!serverSizes && (rate < kMinRate || rate > kMaxRate)) {
        return "sample rate \"" + std::string(settings.sampleRate) + "\" is not between 1000 and 768000 Hz";
    }
    if (!serverSizes && (frames < 1 || frames > kMaxVectorSize)) {
        return "IO vector size \"" + std::string(settings.ioVectorSize) + "\" is not between 1 and 8192";
    }
    if (vector < 1 || vector > kMaxVectorSize) {
        return "signal vector size \"" + std::string(settings.signalVectorSize) + "\" is not between 1 and 8192";
    }
    if (settings.inputChannel1 < 1 || settings.outputChannel1 < 1) {
        return std::string(settings.inputChannel1 < 1 ? "input" : "output") +
               " channel 0 does not exist: channels count from 1";
    }
    numbers->sampleRate = rate > 0 && rate <= kMaxRate ? static_cast<uint32_t>(rate) : 0;
    numbers->ioVectorSize = frames > 0 && frames <= kMaxVectorSize ? static_cast<uint32_t>(frames) : 0;
    numbers->signalVectorSize = static_cast<uint32_t>(vector);
    return std::string();
}
