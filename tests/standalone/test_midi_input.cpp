#include "effect/DistortionEffect.h"
#include "platform/DebugTrace.h"
#include "standalone/HostSettings.h"
#include "standalone/Midi.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

// Records what the plug-in hands to the host's output.
class RecordingPort : public IMidiOutputPort {
public:
    bool SendBytes(const uint8_t* bytes, int count) override
    {
        sent.emplace_back(bytes, bytes + count);
        return true;
    }
    std::vector<std::vector<uint8_t>> sent;
};

std::vector<std::string> traceLines;
void RecordTrace(const char* line) { traceLines.emplace_back(line); }

class MidiInputCallbackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StoreSharedSetting(currentSettings.midiInputChannel, 0);
        StoreSharedSetting(currentSettings.midiOutputChannel, 0);
        SetMidiPlugin(&plugin);
        traceLines.clear();
        SetDebugTraceHook(RecordTrace);
    }
    void TearDown() override
    {
        SetDebugTraceHook(nullptr);
        SetMidiPlugin(nullptr);
        StoreSharedSetting(currentSettings.midiInputChannel, 0);
        StoreSharedSetting(currentSettings.midiOutputChannel, 0);
    }
    void Deliver(std::vector<unsigned char> bytes) { MidiInputCallback(0.5, &bytes, nullptr); }

    RecordingPort port;
    DistortionEffect plugin{&port, &currentSettings.midiOutputChannel, false};
};

using Bytes = std::vector<uint8_t>;

TEST_F(MidiInputCallbackTest, EachMessageGoesOutWithItsOwnLength)
{
    Deliver({0x90, 0x3C, 0x64});
    Deliver({0xC5, 0x07});
    Deliver({0xD2, 0x40});
    Deliver({0xE1, 0x00, 0x40});
    Deliver({0xF1, 0x21});
    Deliver({0xF2, 0x01, 0x02});
    Deliver({0xF3, 0x05});
    Deliver({0xF6});
    Deliver({});
    ASSERT_EQ(port.sent.size(), 8u);
    EXPECT_EQ(port.sent[0], (Bytes{0x90, 0x3C, 0x64}));
    EXPECT_EQ(port.sent[1], (Bytes{0xC5, 0x07}));
    EXPECT_EQ(port.sent[2], (Bytes{0xD2, 0x40}));
    EXPECT_EQ(port.sent[3], (Bytes{0xE1, 0x00, 0x40}));
    EXPECT_EQ(port.sent[4], (Bytes{0xF1, 0x21}));
    EXPECT_EQ(port.sent[5], (Bytes{0xF2, 0x01, 0x02}));
    EXPECT_EQ(port.sent[6], (Bytes{0xF3, 0x05}));
    EXPECT_EQ(port.sent[7], (Bytes{0xF6}));
    EXPECT_TRUE(traceLines.empty());

    // Re-channelled, a program change keeps its two bytes.
    StoreSharedSetting(currentSettings.midiOutputChannel, 3);
    Deliver({0xC5, 0x07});
    EXPECT_EQ(port.sent.back(), (Bytes{0xC2, 0x07}));
}

TEST_F(MidiInputCallbackTest, LongerMessagesAreDroppedAndTracedByThePoll)
{
    Deliver({0xF0, 0x7E, 0x01, 0xF7});
    Deliver({0x90, 0x3C, 0x64, 0x90, 0x3D, 0x64});
    EXPECT_TRUE(port.sent.empty());
    // Nothing is traced on the MIDI thread, which may be JACK's process thread.
    EXPECT_TRUE(traceLines.empty());
    PollMidi();
    ASSERT_EQ(traceLines.size(), 2u);
    EXPECT_EQ(traceLines[0].rfind("NOT EXPECTING 4 midi callback msg len", 0), 0u) << traceLines[0];
    EXPECT_EQ(traceLines[1].rfind("NOT EXPECTING 6 midi callback msg len", 0), 0u) << traceLines[1];
}

TEST_F(MidiInputCallbackTest, InputChannelPassesOnlyItsLowNibbleSystemMessagesToo)
{
    StoreSharedSetting(currentSettings.midiInputChannel, 4);
    for (int high = 0x8; high <= 0xF; ++high) {
        for (int low = 0; low < 16; ++low) {
            Deliver({static_cast<unsigned char>((high << 4) | low), 0x01});
        }
    }
    ASSERT_EQ(port.sent.size(), 8u);
    for (size_t i = 0; i < port.sent.size(); ++i) {
        EXPECT_EQ(port.sent[i][0], static_cast<uint8_t>(((0x8 + i) << 4) | 0x3));
    }
}

TEST_F(MidiInputCallbackTest, ChannelSixteenAndAllChannels)
{
    StoreSharedSetting(currentSettings.midiInputChannel, 16);
    Deliver({0x9F, 0x3C, 0x64});
    Deliver({0x90, 0x3C, 0x64});
    StoreSharedSetting(currentSettings.midiInputChannel, 0);
    Deliver({0x97, 0x3C, 0x64});
    ASSERT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(port.sent[0][0], 0x9F);
    EXPECT_EQ(port.sent[1][0], 0x97);
}

TEST_F(MidiInputCallbackTest, ThruReChannelsChannelMessagesOnly)
{
    // Output channel 10: channel messages take channel 10 (low nibble 9);
    // system messages keep their status byte and length.
    StoreSharedSetting(currentSettings.midiOutputChannel, 10);
    const struct {
        Bytes in, out;
    } cases[] = {
        {{0x93, 0x40, 0x7F}, {0x99, 0x40, 0x7F}}, {{0xE0, 0x00, 0x40}, {0xE9, 0x00, 0x40}},
        {{0xF2, 0x01, 0x02}, {0xF2, 0x01, 0x02}}, {{0xF3, 0x05}, {0xF3, 0x05}},
        {{0xF6}, {0xF6}}, {{0xF8}, {0xF8}}, {{0xFA}, {0xFA}}, {{0xFB}, {0xFB}}, {{0xFC}, {0xFC}},
    };
    for (const auto& c : cases) {
        port.sent.clear();
        Deliver(c.in);
        ASSERT_EQ(port.sent.size(), 1u);
        EXPECT_EQ(port.sent[0], c.out) << "status " << int(c.in[0]);
    }
}

TEST_F(MidiInputCallbackTest, NoPluginDropsInput)
{
    SetMidiPlugin(nullptr);
    Deliver({0x90, 0x3C, 0x64});
    EXPECT_TRUE(port.sent.empty());
}

TEST(MidiPortsWithoutObjects, LookupsAndOpeningFailQuietly)
{
    ASSERT_FALSE(midiInput);
    ASSERT_FALSE(midiOutput);
    EXPECT_EQ(FindMidiInputPort("off"), 0);
    EXPECT_EQ(FindMidiOutputPort("off"), 0);
    EXPECT_EQ(FindMidiInputPort("anything"), -1);
    EXPECT_FALSE(OpenMidiInputByName("off"));
    EXPECT_FALSE(OpenMidiOutputByName("anything"));
    ListMidiPorts();
    EXPECT_TRUE(midiInputNames.empty());
    EXPECT_TRUE(midiOutputNames.empty());
    CloseMidiPorts();
}

} // namespace
