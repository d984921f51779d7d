#pragma once

#include <cstddef>
#include <cstdint>

// An owned, growable byte buffer whose capacity grows in page-sized steps.
// Not thread-safe; the state code uses it under the plug-in lock.
class ChunkBuffer {
public:
    explicit ChunkBuffer(int32_t granularity = 4096, int32_t minimumCapacity = 0);
    ~ChunkBuffer();
    ChunkBuffer(const ChunkBuffer&) = delete;
    ChunkBuffer& operator=(const ChunkBuffer&) = delete;

    int32_t Size() const { return size; }
    int32_t Capacity() const { return capacity; }
    // Null while the size is 0.
    uint8_t* Bytes() { return size > 0 ? data : nullptr; }
    const uint8_t* Bytes() const { return size > 0 ? data : nullptr; }

    // Growing keeps the existing bytes (new bytes are undefined). Returns
    // false, leaving buffer and size as they were, when memory runs out.
    bool Resize(int32_t newSize, bool allowShrink = false);

    // Tests only: replace the allocator (null restores the C library's).
    using ReallocFunction = void* (*)(void* block, size_t bytes);
    static void SetAllocatorForTests(ReallocFunction reallocate);

private:
    uint8_t* data = nullptr;
    int32_t size = 0;
    int32_t capacity = 0;
    int32_t minimumCapacity;
    int32_t granularity;
};
