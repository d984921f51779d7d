#include "standalone/StallTime.h"

#include <algorithm>

namespace {
using namespace std::chrono_literals;
constexpr auto kStallTime = 750ms;
constexpr auto kJackStallTime = 2000ms;
constexpr int64_t kStallPeriods = 4;
} // namespace

std::chrono::milliseconds StallTime(bool jack, uint32_t frames, uint32_t rate)
{
    const std::chrono::milliseconds floor = jack ? kJackStallTime : kStallTime;
    if (rate == 0) {
        return floor;
    }
    return std::max(floor, std::chrono::milliseconds(kStallPeriods * 1000 * frames / rate));
}
