#pragma once

#include <lv2/core/lv2.h>

#include <cstdint>

// The longest block the host says it will hand run(): the options feature's
// buf-size maxBlockLength, else its nominalBlockLength; 0 when the host says
// neither (no options or no URID map among the features, or no such option).
// Instantiation thread; reads the features only.
int32_t HostBlockLength(const LV2_Feature* const* features);
