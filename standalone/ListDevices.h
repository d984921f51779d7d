#pragma once

#include "standalone/RunOptions.h"

// --list-devices: prints the audio input and output devices and the MIDI
// input and output ports of the chosen driver (--driver, else the one
// settings.ini names), one name a line under a heading for each list, in the
// names the options take, and says so when a list is empty. Reads
// settings.ini without writing it. Returns the exit code: 0, or 1 when JACK
// is chosen and no server answers. Main thread only.
int ListDevices(const RunOptions& options);
