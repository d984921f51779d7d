#pragma once

#include "core/ChunkBuffer.h"

// One stored parameter state under a name.
struct PresetSlot {
    bool initialized = false;
    char presetName[256] = "empty";
    ChunkBuffer chunk{4096};
};
