#include "effect/CreatePlugin.h"
#include "effect/DistortionEffect.h"
#include "tests/core/TestEditor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
// Allocations left before operator new starts failing; negative: never fails.
std::atomic<int> allocationsLeft{-1};

void* Allocate(size_t bytes)
{
    if (allocationsLeft.load() >= 0 && allocationsLeft.fetch_sub(1) <= 0) {
        return nullptr;
    }
    return std::malloc(bytes == 0 ? 1 : bytes);
}
void* AllocateOrThrow(size_t bytes)
{
    if (void* block = Allocate(bytes)) {
        return block;
    }
    throw std::bad_alloc();
}
} // namespace

// Every plain form of new and delete, so that every allocator sees matching calls.
void* operator new(size_t bytes) { return AllocateOrThrow(bytes); }
void* operator new[](size_t bytes) { return AllocateOrThrow(bytes); }
void* operator new(size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes); }
void* operator new[](size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes); }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace {

// An editor that checks, while it is destroyed, that the effect around it is
// still an effect (its own parts not yet gone).
class ProbeEditor : public TestEditor {
public:
    ProbeEditor(IAudioPlugin* plugin, bool& sawWholeEffect) : plug(plugin), seen(sawWholeEffect) {}
    ~ProbeEditor() override { seen = dynamic_cast<DistortionEffect*>(plug) != nullptr; }
    IAudioPlugin* plug;
    bool& seen;
};

} // namespace

TEST(PluginLifecycle, CreatePluginGivesNullWhenMemoryRunsOut)
{
    for (int after : {0, 5, 12}) {
        allocationsLeft = after;
        std::unique_ptr<IAudioPlugin> plugin = CreatePlugin(nullptr, nullptr);
        allocationsLeft = -1;
        EXPECT_EQ(plugin, nullptr) << after;
    }
    EXPECT_NE(CreatePlugin(nullptr, nullptr), nullptr);
}

TEST(PluginLifecycle, EditorGoesWhileTheEffectIsWhole)
{
    bool sawWholeEffect = false;
    {
        DistortionEffect effect(nullptr, nullptr, false);
        effect.AttachEditor(std::make_unique<ProbeEditor>(&effect, sawWholeEffect));
    }
    EXPECT_TRUE(sawWholeEffect);
}
