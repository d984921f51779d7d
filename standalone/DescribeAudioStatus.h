#pragma once

#include "standalone/AudioStatus.h"

#include <string>

// One line saying what the state means for the user, for standard error and
// the status line, e.g. "JACK server is not running; audio starts when it
// does"; short enough for the status line. Empty for Off and Running.
// Any thread.
std::string DescribeAudioStatus(const AudioStatus& status);
