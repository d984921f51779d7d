// The plug-in inside a lilv host of the tests' own.

#include "tests/lv2/CountAllocations.h"
#include "tests/lv2/LilvHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <thread>

namespace {

// Block lengths from 1 to 4096, with now and then an empty run between them.
std::function<uint32_t()> RandomLengths(unsigned seed)
{
    auto rng = std::make_shared<std::mt19937>(seed);
    return [rng]() -> uint32_t {
        const uint32_t pick = (*rng)() % 100;
        if (pick < 3) {
            return 0;
        }
        if (pick < 40) {
            return 1 + (*rng)() % 40; // short blocks, often cutting a vector
        }
        return 1 + (*rng)() % 4096;
    };
}

struct Lv2Host : ::testing::Test {
    void SetUp() override { ASSERT_NE(host.plugin, nullptr) << "the bundle at " << BundleFolder() << " did not load"; }
    LilvHost host;
};

} // namespace

TEST_F(Lv2Host, RandomBlockLengthsSoundAsThirtyTwoFrameVectors)
{
    const Stereo input = Noise(21, 60000);
    for (const Controls& controls : {kEveryStage, kDefaultControls, Controls{200.0f, 15.0f, 0.9f, 1.0f, 1.0f, 1.0f}}) {
        const Stereo expected = ReferenceRender(controls, input);
        for (bool inPlace : {false, true}) {
            LilvHost::Instance plugin(host, controls, 0, 0, inPlace);
            ASSERT_NE(plugin.instance, nullptr);
            const Stereo out = plugin.Process(input, RandomLengths(inPlace ? 5u : 6u));
            EXPECT_EQ(FirstDifference(out, expected), -1) << "coarse " << controls[0] << (inPlace ? ", in place" : "");
        }
    }
}

TEST_F(Lv2Host, BlocksLongerThanTheHostsMaximumAreConvertedInChunks)
{
    // A host that promises 100 frames (or names only a nominal 48) and then
    // hands 4096 at once: the instance converts through its own buffers.
    const Stereo input = Noise(22, 20000);
    const Stereo expected = ReferenceRender(kEveryStage, input);
    LilvHost::Instance promisedMax(host, kEveryStage, 100, 64);
    LilvHost::Instance promisedNominal(host, kEveryStage, 0, 48);
    ASSERT_NE(promisedMax.instance, nullptr);
    ASSERT_NE(promisedNominal.instance, nullptr);
    EXPECT_EQ(FirstDifference(promisedMax.Process(input, [] { return 4096u; }), expected), -1);
    EXPECT_EQ(FirstDifference(promisedNominal.Process(input, RandomLengths(7)), expected), -1);
}

TEST_F(Lv2Host, ControlChangesApplyFromTheNextFrameWithoutRestartingTheVector)
{
    // Even and odd at 0 leave no trace of earlier samples in the sound, so a
    // gain of 0.5 from frame 45 on halves exactly the frames from 45 on,
    // whose hold and frame patterns stay those of their vectors.
    const Controls shaped = {5.0f, 3.0f, 0.8f, 1.0f, 0.0f, 0.0f};
    const Stereo input = Noise(23, 200);
    const Stereo full = ReferenceRender(shaped, input);
    LilvHost::Instance plugin(host, shaped);
    ASSERT_NE(plugin.instance, nullptr);
    Stereo out{std::vector<float>(200), std::vector<float>(200)};
    plugin.Run(input, out, 0, 45);
    plugin.controls[3] = 0.5f;
    plugin.Run(input, out, 45, 155);
    for (size_t i = 0; i < 200; ++i) {
        const float factor = i < 45 ? 1.0f : 0.5f;
        ASSERT_EQ(out.left[i], full.left[i] * factor) << i;
        ASSERT_EQ(out.right[i], full.right[i] * factor) << i;
    }

    // A new activation starts the stream over at the first frame of a vector.
    lilv_instance_deactivate(plugin.instance);
    lilv_instance_activate(plugin.instance);
    plugin.controls[3] = 1.0f;
    EXPECT_EQ(FirstDifference(plugin.Process(input, [] { return 7u; }), full), -1);
}

TEST_F(Lv2Host, UnsafeControlValuesAreTakenLikeAStoredState)
{
    // Not a number gives the default; anything else, infinities too, is clamped into the range.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Controls sent = {nan, 1e9f, -3.0f, 5.0f, inf, -inf};
    const Controls taken = {1.0f, 15.0f, 0.0f, 1.0f, 1.0f, 0.0f};
    const Stereo input = Noise(24, 3000);
    LilvHost::Instance plugin(host, sent);
    ASSERT_NE(plugin.instance, nullptr);
    EXPECT_EQ(FirstDifference(plugin.Process(input, RandomLengths(8)), ReferenceRender(taken, input)), -1);

    const Controls sentToo = {-7.0f, nan, 0.5f, nan, 0.25f, 2.0f};
    const Controls takenToo = {1.0f, 1.0f, 0.5f, 1.0f, 0.25f, 1.0f};
    LilvHost::Instance other(host, sentToo);
    ASSERT_NE(other.instance, nullptr);
    EXPECT_EQ(FirstDifference(other.Process(input, RandomLengths(9)), ReferenceRender(takenToo, input)), -1);
}

TEST_F(Lv2Host, RunAllocatesNothing)
{
    LilvHost::Instance plugin(host, kEveryStage, 256);
    ASSERT_NE(plugin.instance, nullptr);
    StartCountingAllocations();
    uint32_t frames = 0;
    for (uint32_t n : {0u, 1u, 31u, 300u, 2000u, 1764u}) {
        plugin.controls[0] = 1.0f + static_cast<float>(n % 50); // a control change before every run
        lilv_instance_run(plugin.instance, n);
        frames += n;
    }
    const int duringRuns = StopCountingAllocations();
    EXPECT_EQ(frames, 4096u);
    EXPECT_EQ(duringRuns, 0);

    // The count sees an allocation when there is one.
    StartCountingAllocations();
    auto probe = std::make_unique<int>(3);
    EXPECT_EQ(StopCountingAllocations(), 1);
}

TEST_F(Lv2Host, DescriptionCarriesEachParametersDisplayPrecision)
{
    DistortionEffect effect(nullptr, nullptr, false);
    LilvNode* unitPredicate = lilv_new_uri(host.world, "http://lv2plug.in/ns/extensions/units#unit");
    LilvNode* renderPredicate = lilv_new_uri(host.world, "http://lv2plug.in/ns/extensions/units#render");
    const char* symbols[6] = {"coarse", "fine", "wet", "gain", "even", "odd"};
    const int params[6] = {0, 1, 2, 3, 5, 6};
    for (int i = 0; i < 6; ++i) {
        LilvNode* symbol = lilv_new_string(host.world, symbols[i]);
        const LilvPort* port = lilv_plugin_get_port_by_symbol(host.plugin, symbol);
        lilv_node_free(symbol);
        ASSERT_NE(port, nullptr) << symbols[i];
        LilvNode* unit = lilv_port_get(host.plugin, port, unitPredicate);
        ASSERT_NE(unit, nullptr) << symbols[i];
        LilvNode* render = lilv_world_get(host.world, unit, renderPredicate, nullptr);
        ASSERT_NE(render, nullptr) << symbols[i];
        const std::string expected = "%." + std::to_string(effect.ParameterAt(params[i])->displayPrecision) + "f";
        EXPECT_EQ(lilv_node_as_string(render), expected) << symbols[i];
        lilv_node_free(render);
        lilv_node_free(unit);
    }
    lilv_node_free(renderPredicate);
    lilv_node_free(unitPredicate);
}

// Two instances in one process, run at the same time on two threads, each
// with its own settings and signal: neither hears the other.
TEST_F(Lv2Host, Lv2ThreadsTwoInstancesKeepTheirOwnSound)
{
    const Controls quiet = {3.0f, 2.0f, 1.0f, 0.7f, 0.3f, 0.9f};
    const Stereo loudInput = Noise(26, 40000);
    Stereo quietInput = Noise(27, 40000);
    for (float& x : quietInput.left) {
        x *= 0.5f;
    }
    LilvHost::Instance loud(host, kEveryStage);
    LilvHost::Instance soft(host, quiet);
    ASSERT_NE(loud.instance, nullptr);
    ASSERT_NE(soft.instance, nullptr);
    Stereo loudOut, softOut;
    std::thread a([&] { loudOut = loud.Process(loudInput, RandomLengths(10)); });
    std::thread b([&] { softOut = soft.Process(quietInput, RandomLengths(11)); });
    a.join();
    b.join();
    EXPECT_EQ(FirstDifference(loudOut, ReferenceRender(kEveryStage, loudInput)), -1);
    EXPECT_EQ(FirstDifference(softOut, ReferenceRender(quiet, quietInput)), -1);
}
