#include "RecordingPlugin.h"
#include "tests/support/LockProbePlugin.h"

#include "effect/DistortionEffect.h"
#include "standalone/AppSettings.h"
#include "standalone/AudioCallbackCore.h"
#include "standalone/AudioEngine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace {

struct Buffers {
    explicit Buffers(uint32_t frames) : n(frames), input(2 * frames), output(2 * frames, 7.0)
    {
        for (uint32_t i = 0; i < 2 * frames; ++i) {
            input[i] = 0.5 - 0.001 * i;
        }
    }
    int Run(AudioCallbackState& state, IAudioPlugin* plugin, const AppSettings& settings)
    {
        return AudioCallbackCore(output.data(), input.data(), n, state, plugin, settings);
    }
    uint32_t n;
    std::vector<double> input;
    std::vector<double> output;
};

void WarmUp(Buffers& buffers, AudioCallbackState& state, IAudioPlugin* plugin, const AppSettings& settings)
{
    for (uint32_t k = 0; k < kSilentCallbacks; ++k) {
        buffers.Run(state, plugin, settings);
    }
}

} // namespace

TEST(AudioCallback, SilentWarmUpThenOneBufferFadeThenQuarterScale)
{
    RecordingPlugin plugin;
    AppSettings settings;
    AudioCallbackState state;
    Buffers buffers(512);
    for (int k = 0; k < 51; ++k) {
        std::fill(buffers.output.begin(), buffers.output.end(), 7.0);
        EXPECT_EQ(buffers.Run(state, &plugin, settings), 0);
        for (double v : buffers.output) {
            ASSERT_EQ(v, 0.0) << "callback " << k;
        }
    }
    EXPECT_EQ(plugin.callCount, 0);

    // Callback 52: the first processed one, fading in frame by frame.
    buffers.Run(state, &plugin, settings);
    const double step = 1.0 / 512;
    EXPECT_EQ(buffers.output[0], RecordingPlugin::Written(0, 0) * step * 0.25);
    EXPECT_EQ(buffers.output[512], RecordingPlugin::Written(1, 0) * step * 0.25);
    double gain = 0.0;
    for (uint32_t i = 0; i < 512; ++i) {
        gain = std::min(gain + step, 1.0);
        const int inCall = static_cast<int>(i % 32);
        ASSERT_DOUBLE_EQ(buffers.output[i], RecordingPlugin::Written(0, inCall) * gain * 0.25) << i;
    }
    EXPECT_EQ(buffers.output[511], RecordingPlugin::Written(0, 31) * 0.25);
    EXPECT_EQ(state.fadeGain, 1.0);

    // Afterwards exactly a quarter of what the plug-in wrote.
    buffers.Run(state, &plugin, settings);
    for (uint32_t i = 0; i < 512; ++i) {
        const int inCall = static_cast<int>(i % 32);
        ASSERT_EQ(buffers.output[i], RecordingPlugin::Written(0, inCall) * 0.25) << i;
        ASSERT_EQ(buffers.output[512 + i], RecordingPlugin::Written(1, inCall) * 0.25) << i;
    }
    EXPECT_EQ(state.warmupCount, 53u);

    // A new start (reset) silences again.
    state.Reset();
    buffers.Run(state, &plugin, settings);
    EXPECT_EQ(buffers.output[0], 0.0);
}

TEST(AudioCallback, OneCallPerSignalVectorWithPointersIntoTheDeviceBuffers)
{
    RecordingPlugin plugin;
    AppSettings settings;
    AudioCallbackState state;
    Buffers buffers(512);
    WarmUp(buffers, state, &plugin, settings);
    buffers.Run(state, &plugin, settings);
    ASSERT_EQ(plugin.callCount, 16);
    for (int c = 0; c < 16; ++c) {
        const auto& call = plugin.calls[c];
        EXPECT_EQ(call.frames, 32);
        EXPECT_EQ(call.in0, buffers.input.data() + 32 * c);
        EXPECT_EQ(call.in1, buffers.input.data() + 512 + 32 * c);
        EXPECT_EQ(call.out0, buffers.output.data() + 32 * c);
        EXPECT_EQ(call.out1, buffers.output.data() + 512 + 32 * c);
    }
}

TEST(AudioCallback, MonoInputFeedsTheFirstChannelToBothAndActsAtOnce)
{
    RecordingPlugin plugin;
    AppSettings settings;
    AudioCallbackState state;
    Buffers buffers(64);
    WarmUp(buffers, state, &plugin, settings);
    StoreSharedSetting(settings.monoInput, 1);
    buffers.Run(state, &plugin, settings);
    ASSERT_EQ(plugin.callCount, 2);
    EXPECT_EQ(plugin.calls[0].in1, buffers.input.data());
    EXPECT_EQ(plugin.calls[1].in1, buffers.input.data() + 32);
    StoreSharedSetting(settings.monoInput, 0);
    buffers.Run(state, &plugin, settings);
    EXPECT_EQ(plugin.calls[2].in1, buffers.input.data() + 64);
}

TEST(AudioCallback, OddFrameCountsAndVectorSizesStayInsideTheBuffers)
{
    struct Case {
        uint32_t frames;
        uint32_t vector;
        std::vector<int> expected;
    };
    const std::vector<Case> cases = {
        {100, 32, {32, 32, 32, 4}}, {100, 0, {100}}, {512, 1024, {512}}, {7, 3, {3, 3, 1}}, {0, 32, {}},
    };
    for (const Case& c : cases) {
        RecordingPlugin plugin;
        AppSettings settings;
        AudioCallbackState state;
        state.signalVectorSize = c.vector;
        Buffers buffers(c.frames);
        WarmUp(buffers, state, &plugin, settings);
        buffers.Run(state, &plugin, settings); // fade
        plugin.callCount = 0;
        buffers.Run(state, &plugin, settings);
        ASSERT_EQ(plugin.callCount, static_cast<int>(c.expected.size())) << c.frames << "/" << c.vector;
        int start = 0;
        for (size_t k = 0; k < c.expected.size(); ++k) {
            const auto& call = plugin.calls[k];
            EXPECT_EQ(call.frames, c.expected[k]);
            EXPECT_EQ(call.out0, buffers.output.data() + start);
            EXPECT_EQ(call.out1, buffers.output.data() + c.frames + start);
            start += call.frames;
        }
        EXPECT_EQ(start, static_cast<int>(c.frames));
        // Every frame was processed and scaled, none left from the device.
        for (uint32_t i = 0; i < c.frames; ++i) {
            EXPECT_NE(buffers.output[i], 7.0);
            EXPECT_LT(buffers.output[i], 1.0);
        }
    }
}

TEST(AudioCallback, UnderflowsAreCountedThereAndPrintedByThePollOncePerUnderflow)
{
    RecordingPlugin plugin;
    AudioEngine engine;
    engine.SetAudioPlugin(&plugin);
    std::vector<double> input(64, 0.5), output(64, 7.0);
    testing::internal::CaptureStdout();
    for (int i = 0; i < 60; ++i) {
        AudioEngine::ProcessBuffer(&engine, output.data(), input.data(), 32, i == 55 || i == 57);
    }
    // The callback writes nothing itself; processing went on through the underflows.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(plugin.callCount, 9);
    EXPECT_EQ(engine.Xruns(), 2u);
    EXPECT_EQ(engine.CallbackTicks(), 60u);

    testing::internal::CaptureStdout();
    engine.PollAudioStream();
    engine.PollAudioStream();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Stream underflow detected!\nStream underflow detected!\n");
    engine.SetAudioPlugin(nullptr);
}

TEST(AudioCallback, DistortionWithDefaultKnobsComesOutAtAQuarter)
{
    DistortionEffect effect(nullptr, nullptr, false);
    effect.LoadPresetSlot(0); // as the host does right after creating the plug-in
    effect.ChangeBlockSize(32);
    effect.ResetState();
    AppSettings settings;
    AudioCallbackState state;
    Buffers buffers(256);
    WarmUp(buffers, state, &effect, settings);
    buffers.Run(state, &effect, settings);
    buffers.Run(state, &effect, settings);
    for (uint32_t i = 0; i < 512; ++i) {
        ASSERT_EQ(buffers.output[i], buffers.input[i] * 0.25) << i;
    }
}

// The audio thread runs callbacks while the UI thread moves knobs under the
// plug-in lock and flips mono input.
TEST(AudioCallbackThreads, ParameterChangesWhileTheCallbackRuns)
{
    DistortionEffect effect(nullptr, nullptr, false);
    effect.ChangeBlockSize(32);
    AppSettings settings;
    std::atomic<bool> done{false};
    std::atomic<bool> allFinite{true};
    std::atomic<int> rounds{0};
    std::thread audio([&] {
        AudioCallbackState state;
        Buffers buffers(256);
        for (int k = 0; k < 400 || rounds.load() < 200; ++k) {
            buffers.Run(state, &effect, settings);
            for (double v : buffers.output) {
                if (!std::isfinite(v)) {
                    allFinite = false;
                }
            }
        }
        done = true;
    });
    int round = 0;
    while (!done.load()) {
        for (int p = 0; p < effect.ParameterCount(); ++p) {
            effect.SetParameterFromEditor(p, (round % 10) / 10.0);
        }
        StoreSharedSetting(settings.monoInput, static_cast<uint16_t>(round & 1));
        ++round;
        rounds.store(round);
        std::this_thread::yield();
    }
    audio.join();
    EXPECT_TRUE(allFinite);
    EXPECT_GT(round, 0);
}

// The callback holds the plug-in lock around each signal vector, so a knob
// moved from the editor never lands inside one.
TEST(AudioCallbackThreads, EditorChangesNeverLandInsideASignalVector)
{
    LockProbePlugin plugin;
    AppSettings settings;
    AudioCallbackState state;
    state.signalVectorSize = 32;
    Buffers buffers(64);
    WarmUp(buffers, state, &plugin, settings);
    std::atomic<bool> stop{false};
    std::thread writer([&] { plugin.ChangeFromEditorUntil(stop); });
    for (int callback = 0; callback < 30; ++callback) {
        buffers.Run(state, &plugin, settings);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    stop.store(true);
    writer.join();
    EXPECT_EQ(plugin.blocks.load(), 60);
    EXPECT_EQ(plugin.tornBlocks.load(), 0);
    EXPECT_GT(plugin.changedBetweenBlocks.load(), 0) << "the writer's changes never got through";
}
