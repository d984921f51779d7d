#pragma once

#include "standalone/AudioStatus.h"

#include <string>

// One line for standard error saying what the state means for the user,
// e.g. "JACK server is not running; audio starts when it does". Empty for
// Off and Running. Any thread.
std::string DescribeAudioStatus(const AudioStatus& status);
