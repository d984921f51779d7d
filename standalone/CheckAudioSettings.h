#pragma once

#include "standalone/AppSettings.h"

#include <cstdint>
#include <string>

// The numbers of the settings a stream is opened with.
struct AudioNumbers {
    uint32_t sampleRate = 0;
    uint32_t ioVectorSize = 0;
    uint32_t signalVectorSize = 0;
};

// Reads and checks the values only a hand-edited settings file can spoil
// (rate, sizes, channel numbers). Under JACK (serverSizes) the rate and IO
// vector size are the server's and not checked. Returns an empty text when
// every value can work, else the reason. Any thread.
std::string CheckAudioSettings(const AppSettings& settings, bool serverSizes, AudioNumbers* numbers);
