#pragma once

#include <string>
#include <vector>

// One audio device as a back end lists it: an ALSA device, or under JACK a
// client whose ports Snarlbox connects to. inputChannels counts what can be
// recorded from it, outputChannels what can be played to it.
struct AudioDevice {
    std::string name;
    bool probed = true;                  // false: the back end could not look at it
    unsigned int inputChannels = 0;
    unsigned int outputChannels = 0;
    std::vector<unsigned int> sampleRates;
};
