#pragma once

#include "core/ChunkBuffer.h"

#include <cstdlib>

// A ChunkBuffer allocator for the failure tests: the next failuresLeft
// attempts return null, later ones reallocate. The guard puts the real
// allocator back when a test ends, a failed assertion included.
inline int failuresLeft = 0;

inline void* FailingRealloc(void* block, size_t bytes)
{
    if (failuresLeft > 0) {
        --failuresLeft;
        return nullptr;
    }
    return std::realloc(block, bytes);
}

struct AllocatorGuard {
    ~AllocatorGuard() { ChunkBuffer::SetAllocatorForTests(nullptr); }
};
