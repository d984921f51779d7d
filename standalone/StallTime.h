#pragma once

#include <chrono>
#include <cstdint>

// How long a running stream may deliver no callback before the engine takes
// it for stopped: a floor (longer under JACK, whose server speaks first), and
// never less than a few of its buffers (at 8000 Hz and 8192 frames one
// buffer lasts about a second). rate 0 gives the floor. Any thread.
std::chrono::milliseconds StallTime(bool jack, uint32_t frames, uint32_t rate);
