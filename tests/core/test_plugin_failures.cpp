#include "core/IStandalonePlugin.h"
#include "tests/core/FailingChunkAllocator.h"
#include "tests/core/TestEditor.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

class PlainPlugin : public IStandalonePlugin {
public:
    PlainPlugin() : IStandalonePlugin("Test", "", "Maker", "1-1 2-2", nullptr, nullptr)
    {
        for (int i = 0; i < ParameterCount(); ++i) {
            parameters[static_cast<size_t>(i)]->ConfigureDouble("p", 1.0 + i, 0.0, 10.0, 0.5);
        }
    }
};

} // namespace

TEST(PluginStateFailures, FailedAppendStopsAndLeavesTheChunkAsItWas)
{
    PlainPlugin plug;
    ChunkBuffer chunk;
    // 4000 bytes fit the first allocation; two more values fit, the third must grow.
    ASSERT_TRUE(chunk.Resize(4000 - 16));
    std::memset(chunk.Bytes(), 0xAB, 4000 - 16);
    AllocatorGuard guard;
    ChunkBuffer::SetAllocatorForTests(FailingRealloc);
    failuresLeft = 2;
    EXPECT_FALSE(plug.SerializeParams(chunk));
    EXPECT_EQ(chunk.Size(), 4000 - 16);
    EXPECT_EQ(chunk.Bytes()[4000 - 17], 0xAB);

    // With memory back, the whole state lands after the old bytes, in order.
    ASSERT_TRUE(plug.SerializeParams(chunk));
    ASSERT_EQ(chunk.Size(), 4000 - 16 + 56);
    for (int i = 0; i < 7; ++i) {
        double v = 0.0;
        std::memcpy(&v, chunk.Bytes() + 4000 - 16 + 8 * i, 8);
        EXPECT_EQ(v, 1.0 + i) << i;
    }
}

TEST(PluginStateFailures, PresetThatCouldNotBeStoredStaysFree)
{
    PlainPlugin plug;
    AllocatorGuard guard;
    ChunkBuffer::SetAllocatorForTests(FailingRealloc);
    failuresLeft = 2;
    plug.StoreFirstFreePreset();
    EXPECT_FALSE(plug.presets[0]->initialized);
    EXPECT_EQ(plug.presets[0]->chunk.Size(), 0);

    failuresLeft = 2;
    EXPECT_FALSE(plug.LoadPresetSlot(0)); // capturing the current values fails too
    EXPECT_FALSE(plug.presets[0]->initialized);

    plug.StoreFirstFreePreset();
    EXPECT_TRUE(plug.presets[0]->initialized);
    EXPECT_EQ(plug.presets[0]->chunk.Size(), 56);
}
