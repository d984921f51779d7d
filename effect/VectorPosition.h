#pragma once

#include <cstdint>

// Where the processing stands inside one signal vector, for a host that
// hands the effect a vector in pieces. Frame 0 means a new vector starts.
struct VectorPosition {
    int32_t frame = 0;       // frames of the vector already processed
    int32_t holdCounter = 0; // frames since the held samples were taken
    double heldL = 0.0;
    double heldR = 0.0;
};
