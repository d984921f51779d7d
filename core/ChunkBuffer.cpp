#include "core/ChunkBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
void* LibcRealloc(void* block, size_t bytes) { return std::realloc(block, bytes); }
ChunkBuffer::ReallocFunction reallocFunction = LibcRealloc;

int64_t RoundDown4096(int64_t x) { return x - (x % 4096); }
} // namespace

void ChunkBuffer::SetAllocatorForTests(ReallocFunction reallocate)
{
    reallocFunction = reallocate != nullptr ? reallocate : LibcRealloc;
}

ChunkBuffer::ChunkBuffer(int32_t granularityBytes, int32_t minimumCapacityBytes)
    : minimumCapacity(minimumCapacityBytes), granularity(granularityBytes)
{
}

ChunkBuffer::~ChunkBuffer() { std::free(data); }

bool ChunkBuffer::Resize(int32_t newSize, bool allowShrink)
{
    if (newSize < 0) {
        return false;
    }
    if (newSize == size) {
        return true;
    }
    const bool grow = newSize > capacity;
    const bool shrink = allowShrink && newSize < size && newSize < capacity / 2 &&
                        static_cast<int64_t>(newSize) < static_cast<int64_t>(capacity) - 4LL * granularity;
    if (grow || shrink) {
        int64_t g = std::max<int64_t>(newSize / 2, granularity);
        int64_t newCapacity;
        if (granularity >= 4096) {
            g = std::clamp<int64_t>(RoundDown4096(g), 4096, 4194304);
            // Capacity plus 96 bytes of allocator overhead fills whole pages.
            newCapacity = RoundDown4096(newSize + g + 96) - 96;
        } else {
            newCapacity = newSize + g;
        }
        newCapacity = std::max<int64_t>(newCapacity, minimumCapacity);
        if (newCapacity > INT32_MAX) {
            return false;
        }
        if (newCapacity != capacity) {
            void* block = reallocFunction(data, static_cast<size_t>(newCapacity));
            if (block == nullptr) {
                // A fresh block and a copy may still work where growing in place failed.
                block = reallocFunction(nullptr, static_cast<size_t>(newCapacity));
                if (block == nullptr) {
                    return false;
                }
                if (data != nullptr) {
                    std::memcpy(block, data, static_cast<size_t>(std::min(newSize, size)));
                    std::free(data);
                }
            }
            data = static_cast<uint8_t*>(block);
            capacity = static_cast<int32_t>(newCapacity);
        }
    }
    size = newSize;
    return true;
}
