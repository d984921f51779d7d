#include "core/ChunkBuffer.h"
#include "tests/core/FailingChunkAllocator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

TEST(ChunkBuffer, FirstAppendAllocatesOnePageLessOverhead)
{
    ChunkBuffer chunk(4096);
    EXPECT_EQ(chunk.Bytes(), nullptr);
    ASSERT_TRUE(chunk.Resize(8));
    EXPECT_EQ(chunk.Capacity(), 4000);
    const uint8_t* first = chunk.Bytes();
    for (int i = 2; i <= 7; ++i) {
        ASSERT_TRUE(chunk.Resize(8 * i));
        EXPECT_EQ(chunk.Capacity(), 4000);
        EXPECT_EQ(chunk.Bytes(), first);
    }
    EXPECT_EQ(chunk.Size(), 56);
}

TEST(ChunkBuffer, GrowthFillsWholePagesAndKeepsBytes)
{
    ChunkBuffer chunk(4096);
    ASSERT_TRUE(chunk.Resize(4000));
    std::memset(chunk.Bytes(), 0xAB, 4000);
    ASSERT_TRUE(chunk.Resize(4001));
    // g = max(2000, 4096) = 4096; (4001 + 4096 + 96) rounded down to pages, less 96.
    EXPECT_EQ(chunk.Capacity(), 8192 - 96);
    for (int i = 0; i < 4000; ++i) {
        ASSERT_EQ(chunk.Bytes()[i], 0xAB);
    }
    ASSERT_TRUE(chunk.Resize(20000));
    EXPECT_EQ(chunk.Capacity(), ((20000 + 8192 + 96) / 4096) * 4096 - 96);
}

TEST(ChunkBuffer, SmallGranularityAddsHalfTheSize)
{
    ChunkBuffer chunk(64);
    ASSERT_TRUE(chunk.Resize(10));
    EXPECT_EQ(chunk.Capacity(), 74);
    ASSERT_TRUE(chunk.Resize(200));
    EXPECT_EQ(chunk.Capacity(), 300);
}

TEST(ChunkBuffer, ShrinkOnlyWhenAskedAndWorthIt)
{
    ChunkBuffer chunk(64);
    ASSERT_TRUE(chunk.Resize(1000));
    const int32_t big = chunk.Capacity();
    ASSERT_TRUE(chunk.Resize(10));
    EXPECT_EQ(chunk.Capacity(), big);
    ASSERT_TRUE(chunk.Resize(1000));
    ASSERT_TRUE(chunk.Resize(10, true));
    EXPECT_LT(chunk.Capacity(), big);
    EXPECT_EQ(chunk.Size(), 10);
}

TEST(ChunkBuffer, FailedGrowthKeepsTheOldBufferAndSize)
{
    AllocatorGuard guard;
    ChunkBuffer::SetAllocatorForTests(FailingRealloc);
    ChunkBuffer chunk(4096);
    ASSERT_TRUE(chunk.Resize(16));
    std::memset(chunk.Bytes(), 7, 16);
    failuresLeft = 2; // both the reallocation and the fresh allocation fail
    EXPECT_FALSE(chunk.Resize(5000));
    EXPECT_EQ(chunk.Size(), 16);
    EXPECT_EQ(chunk.Capacity(), 4000);
    EXPECT_EQ(chunk.Bytes()[15], 7);
    failuresLeft = 1; // the fresh allocation succeeds and copies
    EXPECT_TRUE(chunk.Resize(5000));
    EXPECT_EQ(chunk.Bytes()[15], 7);
}
