#pragma once

#include <string>

// One console line "Snarlbox: <text>" on standard error, dropped rather
// than waited for when nobody reads it.
// Any thread but the audio thread; allocates.
void SayOnStderr(const std::string& text);
