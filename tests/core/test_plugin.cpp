#include "core/IStandalonePlugin.h"
#include "tests/core/TestEditor.h"
#include "tests/support/CallWaitsForTheBlock.h"
#include "tests/support/LockProbePlugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace {
// The base with the standalone answers and a recording of the change hooks.
class RecordingPlugin : public IStandalonePlugin {
public:
    RecordingPlugin() : IStandalonePlugin("Test", "", "Maker", "1-1 2-2", nullptr, nullptr)
    {
        for (auto& p : parameters) {
            p->ConfigureDouble("p", 0.5, 0.0, 10.0, 0.5);
        }
        parameters[1]->type = IParameter::TypeInteger;
    }
    void ParameterChanged(int index) override
    {
        IAudioPlugin::ParameterChanged(index);
        changes.push_back(index);
    }
    std::vector<int> changes;
};

class UnevenPlugin : public IStandalonePlugin {
public:
    UnevenPlugin() : IStandalonePlugin("T", "", "M", "1-1 1-3", nullptr, nullptr) {}
};
} // namespace

TEST(PluginBase, IdentityAndChannelParsing)
{
    RecordingPlugin plug;
    EXPECT_EQ(plug.ParameterCount(), 7);
    EXPECT_EQ(plug.channelIoPairs.size(), 2u);
    EXPECT_EQ(plug.channelIoPairs[1]->inputs, 2);
    EXPECT_EQ(plug.channelIoPairs[1]->outputs, 2);
    EXPECT_EQ(plug.inputChannelRecords.size(), 2u);
    EXPECT_TRUE(plug.inputChannelRecords[0]->connected);
    EXPECT_EQ(plug.inputChannelRecords[1]->slot, &plug.inputChannelData[1]);
    EXPECT_EQ(plug.BlockSize(), 1024);
    EXPECT_EQ(plug.HostKind(), 24);
    EXPECT_EQ(plug.hostVersion, 0x00010000u);
    EXPECT_EQ(plug.WrapperKind(), 5);
    EXPECT_EQ(plug.HostTempo(), 120.0);
    EXPECT_EQ(plug.ParameterAt(7), nullptr);
    EXPECT_EQ(plug.ParameterAt(-1), nullptr);
    EXPECT_EQ(std::string(plug.presets[0]->presetName), "empty");
}

TEST(PluginBase, PassThroughAndZeroFilledExtraOutputs)
{
    RecordingPlugin plug;
    double l[4] = {1, 2, 3, 4}, r[4] = {-1, -2, -3, -4}, ol[4], orr[4];
    double* in[2] = {l, r};
    double* out[2] = {ol, orr};
    plug.ProcessAudioBlock(in, out, 4);
    EXPECT_EQ(std::memcmp(l, ol, sizeof l), 0);
    EXPECT_EQ(std::memcmp(r, orr, sizeof r), 0);

    UnevenPlugin uneven;
    ASSERT_EQ(uneven.inputChannelRecords.size(), 1u);
    ASSERT_EQ(uneven.outputChannelRecords.size(), 3u);
    double o3[4] = {9, 9, 9, 9};
    double* out3[3] = {ol, orr, o3};
    orr[0] = 5;
    uneven.ProcessAudioBlock(in, out3, 4);
    EXPECT_EQ(ol[3], 4.0);
    EXPECT_EQ(orr[0], 0.0);
    EXPECT_EQ(o3[3], 0.0);
}

TEST(PluginBase, ChangeBlockSizeZeroesOnlyOnChange)
{
    RecordingPlugin plug;
    plug.inputChannelRecords[0]->scratch[3] = 7.0;
    plug.ChangeBlockSize(1024);
    EXPECT_EQ(plug.inputChannelRecords[0]->scratch[3], 7.0);
    plug.ChangeBlockSize(32);
    EXPECT_EQ(plug.BlockSize(), 32);
    ASSERT_EQ(plug.outputChannelRecords[1]->scratch.size(), 32u);
    EXPECT_EQ(plug.outputChannelRecords[1]->scratch[31], 0.0);
}

TEST(PluginBase, HostKindsBySubstring)
{
    EXPECT_EQ(IAudioPlugin::IdentifyHost("CuBaSe 10"), 3);
    EXPECT_EQ(IAudioPlugin::IdentifyHost("REAPER"), 1);
    EXPECT_EQ(IAudioPlugin::IdentifyHost("standalone"), 24);
    EXPECT_EQ(IAudioPlugin::IdentifyHost(""), 0);
    EXPECT_EQ(IAudioPlugin::IdentifyHost("delivery"), 9);
    EXPECT_EQ(IAudioPlugin::IdentifyHost("Cubase with Reaper"), 3); // table order decides
    EXPECT_EQ(IAudioPlugin::IdentifyHost(nullptr), 0);
}

TEST(PluginState, DefaultsSerializeToFiftySixBytes)
{
    RecordingPlugin plug;
    ChunkBuffer chunk;
    ASSERT_TRUE(plug.SerializeParams(chunk));
    ASSERT_EQ(chunk.Size(), 56);
    double v;
    std::memcpy(&v, chunk.Bytes() + 8, 8);
    EXPECT_EQ(v, 0.5);
    ASSERT_TRUE(plug.SerializeParams(chunk));
    EXPECT_EQ(chunk.Size(), 112); // the second state follows the first
}

TEST(PluginState, ReadingClampsStopsAndNotifiesEveryParameter)
{
    RecordingPlugin plug;
    ChunkBuffer chunk;
    ASSERT_TRUE(chunk.Resize(56));
    const double values[7] = {500.0, -3.0, 1.0, 2.0, 3.0, 4.0, 5.0};
    std::memcpy(chunk.Bytes(), values, 56);

    EXPECT_EQ(plug.UnserializeParams(chunk, 0), 56);
    EXPECT_EQ(plug.parameters[0]->value, 10.0);
    EXPECT_EQ(plug.parameters[1]->value, 0.0);
    EXPECT_EQ(plug.changes.size(), 7u);

    plug.changes.clear();
    plug.parameters[6]->value = 9.0;
    EXPECT_EQ(plug.UnserializeParams(chunk, 8), -1);
    EXPECT_EQ(plug.parameters[0]->value, 0.0);  // read from byte 8: -3 clamped
    EXPECT_EQ(plug.parameters[5]->value, 5.0);
    EXPECT_EQ(plug.parameters[6]->value, 0.0);  // missing: 0.0 clamped
    EXPECT_EQ(plug.changes.size(), 7u);

    plug.changes.clear();
    plug.parameters[2]->value = 4.5;
    EXPECT_EQ(plug.UnserializeParams(chunk, -4), -4);
    EXPECT_EQ(plug.parameters[2]->value, 4.5);
    EXPECT_EQ(plug.changes.size(), 7u);
}

TEST(PluginState, ShortChunkStopsAfterFirstMissingValue)
{
    RecordingPlugin plug;
    ChunkBuffer chunk;
    ASSERT_TRUE(chunk.Resize(20)); // two values and four stray bytes
    const double values[2] = {1.0, 2.0};
    std::memcpy(chunk.Bytes(), values, 16);
    for (auto& p : plug.parameters) {
        p->value = 7.0;
    }
    EXPECT_EQ(plug.UnserializeParams(chunk, 0), -1);
    EXPECT_EQ(plug.parameters[1]->value, 2.0);
    EXPECT_EQ(plug.parameters[2]->value, 0.0);
    EXPECT_EQ(plug.parameters[3]->value, 7.0);
}

TEST(PluginState, NanBecomesTheDefault)
{
    RecordingPlugin plug;
    ChunkBuffer chunk;
    ASSERT_TRUE(chunk.Resize(56));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double values[7] = {nan, nan, 1.0, 1.0, 1.0, 1.0, nan};
    std::memcpy(chunk.Bytes(), values, 56);
    EXPECT_EQ(plug.UnserializeParams(chunk, 0), 56);
    EXPECT_EQ(plug.parameters[0]->value, 0.5);
    EXPECT_EQ(plug.parameters[1]->value, 0.5);
    EXPECT_EQ(plug.parameters[6]->value, 0.5);
}

TEST(PluginState, StateMatchesInSinglePrecision)
{
    RecordingPlugin plug;
    double values[8] = {0, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.500001};
    EXPECT_TRUE(plug.StateMatches(values, 1));
    values[7] = 0.50002;
    EXPECT_FALSE(plug.StateMatches(values, 1));
    // 0.0 against 0.00001: the single-precision difference is 9.99999975e-06,
    // below the double bound 0.00001 though not below the float 0.00001f.
    for (auto& p : plug.parameters) {
        p->value = 0.0;
    }
    const double nearBound[7] = {0, 0, 0, 0, 0, 0, 0.00001};
    EXPECT_TRUE(plug.StateMatches(nearBound, 0));
}

TEST(PluginPresets, StoreAndLoadSlots)
{
    RecordingPlugin plug;
    plug.StoreFirstFreePreset();
    EXPECT_TRUE(plug.presets[0]->initialized);
    EXPECT_EQ(std::string(plug.presets[0]->presetName), "-");
    EXPECT_EQ(plug.presets[0]->chunk.Size(), 56);
    plug.StoreFirstFreePreset(); // no free slot: nothing happens
    EXPECT_EQ(plug.presets[0]->chunk.Size(), 56);
    EXPECT_FALSE(plug.LoadPresetSlot(1));

    plug.parameters[0]->value = 3.0;
    plug.changes.clear();
    EXPECT_TRUE(plug.LoadPresetSlot(0));
    EXPECT_EQ(plug.parameters[0]->value, 0.5);
    EXPECT_EQ(plug.changes.size(), 7u);
    EXPECT_EQ(plug.currentPreset, 0);
}

TEST(PluginPresets, UninitializedSlotCapturesTheCurrentValues)
{
    RecordingPlugin plug;
    plug.parameters[3]->value = 4.0;
    EXPECT_TRUE(plug.LoadPresetSlot(0));
    EXPECT_EQ(std::string(plug.presets[0]->presetName), "user preset 1");
    EXPECT_EQ(plug.presets[0]->chunk.Size(), 56);
    double v;
    std::memcpy(&v, plug.presets[0]->chunk.Bytes() + 24, 8);
    EXPECT_EQ(v, 4.0);
}

TEST(PluginEditor, AttachPushesNormalizedValuesAndTakesOwnership)
{
    RecordingPlugin plug;
    plug.AttachEditor(nullptr);
    EXPECT_EQ(plug.Editor(), nullptr);

    auto editor = std::make_unique<TestEditor>();
    TestEditor* raw = editor.get();
    plug.parameters[2]->value = 2.5;
    plug.parameters[4]->value = 10.0;
    plug.AttachEditor(std::move(editor));
    EXPECT_EQ(plug.Editor(), raw);
    // Every parameter in index order, as a control position, then the bitmaps.
    EXPECT_EQ(raw->calls, (std::vector<std::string>{"take 0 0.05", "take 1 0.05", "take 2 0.25", "take 3 0.05",
                                                    "take 4 1", "take 5 0.05", "take 6 0.05", "bitmaps"}));

    // A preset load shows the plain values through the editor.
    raw->calls.clear();
    plug.StoreFirstFreePreset();
    plug.parameters[2]->value = 10.0;
    ASSERT_TRUE(plug.LoadPresetSlot(0));
    ASSERT_EQ(raw->calls.size(), 7u);
    EXPECT_EQ(raw->calls[2], "show 2 2.5 plain");
    EXPECT_EQ(raw->calls[6], "show 6 0.5 plain");
}

TEST(PluginEditor, SetParameterFromEditorUnderTheLock)
{
    RecordingPlugin plug;
    plug.SetParameterFromEditor(1, 0.5);
    EXPECT_EQ(plug.parameters[1]->value, 5.0); // 10 * 0.5 rounded to the 0.5 step
    ASSERT_EQ(plug.changes.size(), 1u);
    EXPECT_EQ(plug.changes[0], 1);
    plug.SetParameterFromEditor(9, 0.5); // no such parameter: nothing
    EXPECT_EQ(plug.changes.size(), 1u);
}

// Processing and parameter changes never overlap: the audio thread holds the
// lock per block while the UI thread changes parameters from the editor as
// fast as it can.
TEST(PluginLockThreads, ChangesNeverLandInsideABlock)
{
    LockProbePlugin plug;
    std::atomic<bool> stop{false};
    std::thread writer([&] { plug.ChangeFromEditorUntil(stop); });
    double buffer[2][64] = {};
    double* in[2] = {buffer[0], buffer[1]};
    double* out[2] = {buffer[0], buffer[1]};
    for (int block = 0; block < 60; ++block) {
        plug.EnterPluginLock();
        plug.ProcessAudioBlock(in, out, 64);
        plug.LeavePluginLock();
        // Room for the writer between blocks, as a device period leaves.
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    stop.store(true);
    writer.join();
    EXPECT_EQ(plug.tornBlocks.load(), 0);
    EXPECT_GT(plug.changedBetweenBlocks.load(), 0) << "the writer's changes never got through";
}

// ParameterChanged and ResetState called while a block runs wait for it to end.
TEST(PluginLockThreads, ParameterChangedAndResetWaitForTheBlock)
{
    RecordingPlugin plug;
    EXPECT_TRUE(CallWaitsForTheBlock(plug, [&] { plug.IAudioPlugin::ParameterChanged(2); }));
    EXPECT_TRUE(CallWaitsForTheBlock(plug, [&] { plug.ResetState(); }));
}
