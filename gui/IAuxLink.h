#pragma once

#include <cstdint>

// An extra parameter binding of a control, beyond its main one.
struct IAuxLink {
    double value = 0.0; // normalized
    int32_t paramIndex = -1;
};
