#include "tests/support/RequireService.h"
#include "JackServer.h"

#include "effect/DistortionEffect.h"
#include "standalone/HostSettings.h"
#include "standalone/Midi.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SNARLBOX_MIDI_TEST_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) || defined(SNARLBOX_MIDI_TEST_TSAN)
// libjack's lock-free ring buffers and the server's shared port buffers are
// synchronised inside the uninstrumented library, so ThreadSanitizer sees the
// copies in and out of them (the test client's writes and reads, the engine's
// reads of an event in the next client's cycle) as races.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:jack_ringbuffer_\nrace:jack_midi_event_write\nrace:jack_midi_event_get\nrace:jack_midi_clear_buffer\n"
           "race:CopyJackEventBytes\n";
}
#endif

namespace {

using Bytes = std::vector<uint8_t>;

// An event's bytes copied out of a JACK port buffer; a function of its own,
// never inlined, so that the suppression above names only this copy.
[[gnu::noinline]] Bytes CopyJackEventBytes(const jack_midi_event_t& event)
{
    return Bytes(event.buffer, event.buffer + event.size);
}

// The test's own JACK clients: "out" of one feeds the host's MIDI input,
// "in" of another collects what the host's MIDI output sends (as a keyboard
// and a synthesizer would; one client on both sides would close a loop).
class TestMidiClient {
public:
    bool Open()
    {
        client = OpenClient("snarlbox-midi-test");
        sink = OpenClient("snarlbox-midi-sink");
        if (client == nullptr || sink == nullptr) {
            return false;
        }
        out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        in = jack_port_register(sink, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        for (jack_client_t* each : {client, sink}) {
            jack_on_shutdown(each, [](void* self) { static_cast<TestMidiClient*>(self)->dead = true; }, this);
        }
        jack_set_process_callback(client, Process, this);
        jack_set_process_callback(sink, Receive, this);
        jack_set_xrun_callback(
            client,
            [](void* self) {
                static_cast<TestMidiClient*>(self)->xruns.fetch_add(1, std::memory_order_relaxed);
                return 0;
            },
            this);
        return out != nullptr && in != nullptr && jack_activate(client) == 0 && jack_activate(sink) == 0;
    }
    // A port of another name, for a device that appears later.
    std::string AddOutput(const char* name)
    {
        return jack_port_name(jack_port_register(client, name, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0));
    }
    // Notes per process cycle, sent on "out" until set back to 0.
    std::atomic<int> flood{0};
    std::atomic<uint64_t> flooded{0};  // flood notes written
    std::atomic<uint32_t> xruns{0};    // cycles the server skipped
    std::atomic<bool> dead{false};
    ~TestMidiClient()
    {
        // A client whose server was killed is left alone: libjack frees it
        // at the next open in the process (the engine's retries included).
        for (jack_client_t* each : {sink, client}) {
            if (each != nullptr && !dead) {
                jack_deactivate(each);
                jack_client_close(each);
            }
        }
    }
    std::string OutName() const { return jack_port_name(out); }
    std::string InName() const { return jack_port_name(in); }
    int InConnections() const { return jack_port_connected(in); }
    // JACK shows a changed connection from its next cycle on, which a loaded
    // machine may delay: waits up to 3 s for "in" to have count connections.
    bool InConnectionsBecome(int count) const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (InConnections() != count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return InConnections() == count;
    }
    // The ports "out" (feeding the host) or "in" is connected to.
    std::vector<std::string> Peers(bool ofOut) const
    {
        std::vector<std::string> names;
        const char** list = jack_port_get_all_connections(client, ofOut ? out : in);
        for (const char** p = list; p != nullptr && *p != nullptr; ++p) {
            names.emplace_back(*p);
        }
        jack_free(list);
        return names;
    }

    void Send(const std::vector<Bytes>& messages)
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending.insert(pending.end(), messages.begin(), messages.end());
    }
    // Sends a probe until one comes back through the host, so that the
    // connections made by opening the ports are live; then forgets everything.
    // Probes still on their way when it returns are never collected.
    bool WaitForRoute()
    {
        const uint32_t before = probesBack.load();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            Send({kProbe});
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (probesBack.load() != before) {
                Collect(0);
                return true;
            }
        }
        return false;
    }
    // Waits until count messages arrived (or 3 s), then a little longer to
    // catch extras; returns and forgets everything received.
    std::vector<Bytes> Collect(size_t count)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < deadline && ReceivedCount() < count) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<Bytes> result;
        result.swap(received);
        return result;
    }

private:
    // A server just started, or busy with another client's close, may turn
    // an open away for a moment on a loaded machine: asked again for up to 3 s.
    static jack_client_t* OpenClient(const char* name)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        for (;;) {
            jack_status_t status{};
            jack_client_t* opened = jack_client_open(name, JackNoStartServer, &status);
            if (opened != nullptr || std::chrono::steady_clock::now() > deadline) {
                return opened;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    size_t ReceivedCount()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return received.size();
    }
    static int Process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<TestMidiClient*>(arg);
        void* outBuffer = jack_port_get_buffer(self->out, frames);
        jack_midi_clear_buffer(outBuffer);
        std::lock_guard<std::mutex> lock(self->mutex);
        for (const Bytes& message : self->pending) {
            jack_midi_event_write(outBuffer, 0, message.data(), message.size());
        }
        self->pending.clear();
        const uint8_t note[3] = {0x90, 0x3C, 0x64};
        for (int i = 0; i < self->flood.load(std::memory_order_relaxed); ++i) {
            if (jack_midi_event_write(outBuffer, static_cast<jack_nframes_t>(i), note, 3) == 0) {
                self->flooded.fetch_add(1, std::memory_order_relaxed);
            }
        }
        return 0;
    }
    static int Receive(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<TestMidiClient*>(arg);
        void* inBuffer = jack_port_get_buffer(self->in, frames);
        std::lock_guard<std::mutex> lock(self->mutex);
        const uint32_t count = jack_midi_get_event_count(inBuffer);
        for (uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event{};
            if (jack_midi_event_get(&event, inBuffer, i) != 0) {
                continue;
            }
            Bytes bytes = CopyJackEventBytes(event);
            if (bytes == kProbe) {
                self->probesBack.fetch_add(1);
            } else {
                self->received.push_back(std::move(bytes));
            }
        }
        return 0;
    }

    // All notes off on channel 1: no test sends it as a message of its own.
    static inline const Bytes kProbe = {0xB0, 0x7B, 0x00};
    std::atomic<uint32_t> probesBack{0};
    jack_client_t* client = nullptr;
    jack_client_t* sink = nullptr;
    jack_port_t* out = nullptr;
    jack_port_t* in = nullptr;
    std::mutex mutex;
    std::vector<Bytes> pending;   // guarded by mutex
    std::vector<Bytes> received;  // guarded by mutex
};

class MidiJackThreads : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = new JackServer;
        if (!server->Start()) {
            delete server;
            server = nullptr;
        }
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    void SetUp() override
    {
        REQUIRE_SERVICE(server != nullptr, "jackd with the dummy driver could not be started");
        StoreSharedSetting(currentSettings.midiInputChannel, 0);
        StoreSharedSetting(currentSettings.midiOutputChannel, 0);
        ASSERT_TRUE(testClient.Open());
        ASSERT_TRUE(CreateMidiPorts(RtMidi::UNIX_JACK, RtMidi::UNIX_JACK));
        ListMidiPorts();
        plugin = std::make_unique<DistortionEffect>(midiOutput.get(), &currentSettings.midiOutputChannel, false);
        SetMidiPlugin(plugin.get());
        ASSERT_TRUE(OpenMidiInputByName(testClient.OutName().c_str()));
        ASSERT_TRUE(OpenMidiOutputByName(testClient.InName().c_str()));
        ASSERT_EQ(CurrentMidiStatus().input, MidiPortState::Open);
        ASSERT_TRUE(midiOutput->PortOpen());
        ASSERT_TRUE(testClient.WaitForRoute());
    }
    void TearDown() override
    {
        CloseMidiPorts();
        SetMidiPlugin(nullptr);
        plugin.reset();
        DeleteMidiPorts();
        StoreSharedSetting(currentSettings.midiInputChannel, 0);
        StoreSharedSetting(currentSettings.midiOutputChannel, 0);
    }

    static JackServer* server;
    TestMidiClient testClient;
    std::unique_ptr<DistortionEffect> plugin;
};

JackServer* MidiJackThreads::server = nullptr;

TEST_F(MidiJackThreads, PortListsHoldOffThenLivePorts)
{
    // The first listing opens the engine's JACK client, which a loaded
    // machine may take longer over than one listing waits: asked again.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (midiInputNames.empty() && std::chrono::steady_clock::now() < deadline) {
        ListMidiPorts();
    }
    ASSERT_FALSE(midiInputNames.empty());
    ASSERT_FALSE(midiOutputNames.empty());
    EXPECT_EQ(midiInputNames[0], "off");
    EXPECT_EQ(midiOutputNames[0], "off");
    EXPECT_GE(FindMidiInputPort(testClient.OutName().c_str()), 1);
    EXPECT_GE(FindMidiOutputPort(testClient.InName().c_str()), 1);
    EXPECT_EQ(FindMidiInputPort("snarlbox-midi-test:nothing"), -1);
    EXPECT_EQ(midiOutput->CurrentApi(), RtMidi::UNIX_JACK);
    // The lists never offer Snarlbox's own ports.
    for (const auto* names : {&midiInputNames, &midiOutputNames}) {
        for (const std::string& name : *names) {
            EXPECT_NE(name.rfind("Snarlbox", 0), 0u) << name;
        }
    }
    // Both are ports of the one client "Snarlbox", audio's too.
    const std::vector<std::string> toInput = testClient.Peers(true);
    const std::vector<std::string> fromOutput = testClient.Peers(false);
    ASSERT_EQ(toInput.size(), 1u);
    ASSERT_EQ(fromOutput.size(), 1u);
    EXPECT_EQ(toInput[0].rfind("Snarlbox:", 0), 0u) << toInput[0];
    EXPECT_EQ(fromOutput[0].rfind("Snarlbox:", 0), 0u) << fromOutput[0];
}

TEST_F(MidiJackThreads, ThruPassesEachMessageWithItsLength)
{
    testClient.Send({{0x90, 0x3C, 0x64}, {0xC5, 0x07}, {0xF6}});
    const std::vector<Bytes> got = testClient.Collect(3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], (Bytes{0x90, 0x3C, 0x64}));
    EXPECT_EQ(got[1], (Bytes{0xC5, 0x07}));
    EXPECT_EQ(got[2], (Bytes{0xF6}));
}

TEST_F(MidiJackThreads, SysExClockAndActiveSensingAreIgnored)
{
    testClient.Send({{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, {0xF8}, {0xFE}, {0x91, 0x3C, 0x64}});
    const std::vector<Bytes> got = testClient.Collect(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Bytes{0x91, 0x3C, 0x64}));
}

TEST_F(MidiJackThreads, InputChannelFilterPassesLowNibbleThreeOnly)
{
    StoreSharedSetting(currentSettings.midiInputChannel, 4);
    std::vector<Bytes> messages;
    for (int high = 0x8; high <= 0xE; ++high) {
        for (int low : {0x2, 0x3, 0x4}) {
            const auto status = static_cast<uint8_t>((high << 4) | low);
            if (high == 0xC || high == 0xD) {
                messages.push_back({status, 0x05});
            } else {
                messages.push_back({status, 0x40, 0x7F});
            }
        }
    }
    messages.push_back({0xF2, 0x01, 0x02});
    messages.push_back({0xF3, 0x01});
    testClient.Send(messages);
    const std::vector<Bytes> got = testClient.Collect(8);
    ASSERT_EQ(got.size(), 8u);
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(got[i][0], static_cast<uint8_t>(((0x8 + i) << 4) | 0x3));
    }
    EXPECT_EQ(got[7], (Bytes{0xF3, 0x01}));
}

TEST_F(MidiJackThreads, OutputChannelReChannelsChannelMessagesOnly)
{
    StoreSharedSetting(currentSettings.midiOutputChannel, 10);
    testClient.Send({{0x93, 0x40, 0x7F}});
    std::vector<Bytes> got = testClient.Collect(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Bytes{0x99, 0x40, 0x7F}));

    // The clock is ignored on the way in, so the plug-in emits it itself.
    MidiMessage clock;
    clock.status = 0xF8;
    clock.data1 = 0x12;
    clock.data2 = 0x34;
    EXPECT_TRUE(plugin->EmitMidiMessage(clock));
    got = testClient.Collect(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Bytes{0xF8})); // a clock keeps its status and is one byte long
}

TEST_F(MidiJackThreads, PickingTheOpenPortAgainReopensIt)
{
    const std::string name = testClient.InName();
    ASSERT_EQ(testClient.InConnections(), 1);
    EXPECT_TRUE(OpenMidiOutputByName(name.c_str()));
    EXPECT_TRUE(OpenMidiInputByName(testClient.OutName().c_str()));
    EXPECT_EQ(testClient.InConnections(), 1);
    ASSERT_TRUE(testClient.WaitForRoute());
    testClient.Send({{0x90, 0x3C, 0x64}});
    const std::vector<Bytes> got = testClient.Collect(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Bytes{0x90, 0x3C, 0x64}));
}

TEST_F(MidiJackThreads, OffClosesThePortAndSendingThenReturnsAtOnce)
{
    EXPECT_TRUE(OpenMidiOutputByName("off"));
    EXPECT_FALSE(midiOutput->PortOpen());
    EXPECT_TRUE(testClient.InConnectionsBecome(0)) << testClient.InConnections();
    const uint8_t note[3] = {0x90, 0x3C, 0x64};
    // More than the JACK back end's ring buffer holds: must not spin.
    int sent = 0;
    for (int i = 0; i < 20000; ++i) {
        sent += midiOutput->SendBytes(note, 3) ? 1 : 0;
    }
    EXPECT_EQ(sent, 0);
    testClient.Send({{0x90, 0x3C, 0x64}});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(testClient.Collect(0).empty());
}

TEST_F(MidiJackThreads, ReopeningWhileTheMidiThreadSendsIsSafe)
{
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        std::vector<unsigned char> note = {0x90, 0x3C, 0x64};
        while (!stop.load()) {
            // What RtMidi's input thread does for every incoming message.
            MidiInputCallback(0.0, &note, nullptr);
        }
    });
    const std::string name = testClient.InName();
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(OpenMidiOutputByName(i % 5 == 4 ? "off" : name.c_str()));
    }
    EXPECT_TRUE(OpenMidiOutputByName(name.c_str()));
    stop = true;
    sender.join();
    ASSERT_TRUE(testClient.WaitForRoute());
    testClient.Send({{0x92, 0x3C, 0x64}});
    std::vector<Bytes> got = testClient.Collect(1);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), (Bytes{0x92, 0x3C, 0x64}));
}

std::string Slurp(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A stored port that is absent stays chosen and in the file, and opens on the
// poll after it appears; only the reader's "no input" becomes "off".
TEST_F(MidiJackThreads, AbsentStoredPortStaysAndOpensWhenItAppears)
{
    char folder[] = "/tmp/snarlbox-midi-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/settings.ini";
    std::snprintf(settingsPath, kSettingsPathSize, "%s", path.c_str());
    {
        std::ofstream file(path);
        file << "[midi]\nindev=snarlbox-midi-test:late\noutdev=no output\n";
    }
    SetSettingsText(currentSettings.midiInputDevice, "snarlbox-midi-test:late");
    SetSettingsText(currentSettings.midiOutputDevice, "no output");

    testing::internal::CaptureStderr();
    EXPECT_TRUE(OpenMidiInputByName(currentSettings.midiInputDevice));
    EXPECT_TRUE(OpenMidiOutputByName(currentSettings.midiOutputDevice));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("\"snarlbox-midi-test:late\" is not there"),
              std::string::npos);
    EXPECT_STREQ(currentSettings.midiInputDevice, "snarlbox-midi-test:late");
    EXPECT_EQ(CurrentMidiStatus().input, MidiPortState::Absent);
    EXPECT_STREQ(currentSettings.midiOutputDevice, "off");
    EXPECT_EQ(CurrentMidiStatus().output, MidiPortState::Off);
    // Only the one key was written.
    EXPECT_EQ(Slurp(path), "[midi]\nindev=snarlbox-midi-test:late\noutdev=off\n");

    testClient.AddOutput("late");
    const auto appeared = std::chrono::steady_clock::now();
    bool opened = false;
    while (!opened && std::chrono::steady_clock::now() - appeared < std::chrono::seconds(1)) {
        PollMidi();
        opened = CurrentMidiStatus().input == MidiPortState::Open;
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the program's poll interval
    }
    EXPECT_TRUE(opened);
    EXPECT_EQ(CurrentMidiStatus().input, MidiPortState::Open);
    EXPECT_EQ(Slurp(path), "[midi]\nindev=snarlbox-midi-test:late\noutdev=off\n");

    settingsPath[0] = '\0';
    SetSettingsText(currentSettings.midiInputDevice, "");
    SetSettingsText(currentSettings.midiOutputDevice, "");
    std::remove(path.c_str());
    rmdir(folder);
}

// A plug-in that takes a while over each message and notes a call that
// arrives after it was destroyed.
std::atomic<int> livePlugins{0};
std::atomic<int> callsAfterDestruction{0};
class SlowPlugin : public DistortionEffect {
public:
    SlowPlugin() : DistortionEffect(midiOutput.get(), &currentSettings.midiOutputChannel, false) { ++livePlugins; }
    ~SlowPlugin() override { alive = false; --livePlugins; }
    void ReceiveMidiMessage(const MidiMessage& message) override
    {
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        if (!alive.load()) {
            ++callsAfterDestruction;
        }
        DistortionEffect::ReceiveMidiMessage(message);
    }
    std::atomic<bool> alive{true};
};

// Messages keep coming while the plug-in is replaced and destroyed, and
// while the ports close: no callback may reach a freed plug-in (ASan sees
// the memory, the plug-in's own flag sees the call).
TEST_F(MidiJackThreads, TeardownWhileMessagesArriveNeverReachesAFreedPlugin)
{
    testClient.flood = 6; // about 1,000 notes a second
    auto* slow = new SlowPlugin;
    SetMidiPlugin(slow);
    for (int round = 0; round < 20; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        auto* next = new SlowPlugin;
        SetMidiPlugin(next);
        delete slow;
        slow = next;
    }
    for (int round = 0; round < 3; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        CloseMidiPorts();
        SetMidiPlugin(nullptr);
        delete slow;
        DeleteMidiPorts();
        ASSERT_TRUE(CreateMidiPorts(RtMidi::UNIX_JACK, RtMidi::UNIX_JACK));
        slow = new SlowPlugin;
        SetMidiPlugin(slow);
        ASSERT_TRUE(OpenMidiInputByName(testClient.OutName().c_str()));
        ASSERT_TRUE(OpenMidiOutputByName(testClient.InName().c_str()));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    testClient.flood = 0;
    CloseMidiPorts();
    SetMidiPlugin(nullptr);
    delete slow;
    EXPECT_EQ(callsAfterDestruction.load(), 0);
    EXPECT_EQ(livePlugins.load(), 0);
}

// JACK MIDI lives and dies with its server: killed three times and started
// again, the thru works each time; changing ports and the exit afterwards
// touch no dead client.
TEST(MidiJackServerThreads, ThruComesBackAfterEachServerRestart)
{
    JackServer server;
    REQUIRE_SERVICE(server.Start(), "jackd with the dummy driver could not be started");
    const std::string name = server.Name();
    StoreSharedSetting(currentSettings.midiInputChannel, 0);
    StoreSharedSetting(currentSettings.midiOutputChannel, 0);
    SetSettingsText(currentSettings.midiInputDevice, "snarlbox-midi-test:out");
    SetSettingsText(currentSettings.midiOutputDevice, "snarlbox-midi-sink:in");
    auto client = std::make_unique<TestMidiClient>();
    ASSERT_TRUE(client->Open());
    ASSERT_TRUE(CreateMidiPorts(RtMidi::UNIX_JACK, RtMidi::UNIX_JACK));
    auto plugin = std::make_unique<DistortionEffect>(midiOutput.get(), &currentSettings.midiOutputChannel, false);
    SetMidiPlugin(plugin.get());
    // A failed assertion leaves early: the callbacks let go of the plug-in before it goes.
    struct LetGo {
        ~LetGo() { SetMidiPlugin(nullptr); }
    } letGo;
    ASSERT_TRUE(OpenMidiInputByName(currentSettings.midiInputDevice));
    ASSERT_TRUE(OpenMidiOutputByName(currentSettings.midiOutputDevice));
    ASSERT_TRUE(client->WaitForRoute());
    for (int round = 0; round < 3; ++round) {
        // The test's own clients go first: dead clients of this process
        // would be freed by libjack at the engine's next open.
        client.reset();
        server.Kill();
        const auto killed = std::chrono::steady_clock::now();
        while (!CurrentMidiStatus().serverAway && std::chrono::steady_clock::now() - killed < std::chrono::seconds(3)) {
            PollMidi();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_TRUE(CurrentMidiStatus().serverAway) << round;
        ASSERT_TRUE(server.Start(44100, 512, name)) << round;
        client = std::make_unique<TestMidiClient>();
        ASSERT_TRUE(client->Open());
        const auto back = std::chrono::steady_clock::now();
        // The engine connects each port at its next look once the test's
        // clients are active; both are waited for.
        while ((CurrentMidiStatus().input != MidiPortState::Open ||
                CurrentMidiStatus().output != MidiPortState::Open) &&
               std::chrono::steady_clock::now() - back < std::chrono::seconds(5)) {
            PollMidi();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_EQ(CurrentMidiStatus().input, MidiPortState::Open) << round;
        ASSERT_EQ(CurrentMidiStatus().output, MidiPortState::Open) << round;
        ASSERT_TRUE(client->WaitForRoute()) << round;
        client->Send({{0xC5, 0x07}});
        const std::vector<Bytes> got = client->Collect(1);
        ASSERT_EQ(got.size(), 1u) << round;
        EXPECT_EQ(got[0], (Bytes{0xC5, 0x07}));
    }
    // Another port and back, then the exit's own order.
    EXPECT_TRUE(OpenMidiOutputByName("off"));
    EXPECT_TRUE(OpenMidiOutputByName(currentSettings.midiOutputDevice));
    EXPECT_TRUE(OpenMidiInputByName("off"));
    CloseMidiPorts();
    SetMidiPlugin(nullptr);
    plugin.reset();
    DeleteMidiPorts();
    client.reset();
    SetSettingsText(currentSettings.midiInputDevice, "");
    SetSettingsText(currentSettings.midiOutputDevice, "");
}

// A flood of thru at 64-frame periods: every note that goes in comes out in
// the same cycle, or is counted as dropped (and said by the poll).
TEST(MidiJackFloodThreads, ThruAtSixtyFourFramesLosesNothingUncounted)
{
    JackServer server;
    REQUIRE_SERVICE(server.Start(44100, 64), "jackd with the dummy driver could not be started");
    StoreSharedSetting(currentSettings.midiInputChannel, 0);
    StoreSharedSetting(currentSettings.midiOutputChannel, 0);
    auto client = std::make_unique<TestMidiClient>();
    ASSERT_TRUE(client->Open());
    ASSERT_TRUE(CreateMidiPorts(RtMidi::UNIX_JACK, RtMidi::UNIX_JACK));
    auto plugin = std::make_unique<DistortionEffect>(midiOutput.get(), &currentSettings.midiOutputChannel, false);
    SetMidiPlugin(plugin.get());
    ASSERT_TRUE(OpenMidiInputByName(client->OutName().c_str()));
    ASSERT_TRUE(OpenMidiOutputByName(client->InName().c_str()));
    ASSERT_TRUE(client->WaitForRoute());
    midiOutput->TakeSendErrors();
    client->flood = 32; // a note every other frame: about 22,000 a second
    std::this_thread::sleep_for(std::chrono::seconds(2));
    client->flood = 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const uint64_t sent = client->flooded.load();
    const uint64_t received = client->Collect(0).size();
    const uint64_t dropped = midiOutput->TakeSendErrors();
    const uint64_t xruns = client->xruns.load();
    std::printf("JACK MIDI thru at 64 frames: %llu sent, %llu came through, %llu dropped (counted), %llu xruns\n",
                static_cast<unsigned long long>(sent), static_cast<unsigned long long>(received),
                static_cast<unsigned long long>(dropped), static_cast<unsigned long long>(xruns));
    EXPECT_GT(sent, 10000u);
    EXPECT_LE(received + dropped, sent);
    // A cycle the server skipped (an xrun of a loaded machine) loses what
    // was in flight there, before Snarlbox sees it.
    EXPECT_GE(received + dropped + 2 * 32 * xruns, sent);
    CloseMidiPorts();
    SetMidiPlugin(nullptr);
    plugin.reset();
    DeleteMidiPorts();
    client.reset();
}

// The program's default order: the ALSA sequencer where the machine has one;
// without it the host says so and runs on JACK MIDI.
TEST(MidiBackEndThreads, MissingAlsaSequencerFallsBackToJack)
{
    const bool sequencer = access("/dev/snd/seq", R_OK | W_OK) == 0;
    JackServer server;
    REQUIRE_SERVICE(server.Start(), "jackd with the dummy driver could not be started");
    testing::internal::CaptureStderr();
    const bool created = CreateMidiPorts();
    const std::string errors = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(created);
    ASSERT_TRUE(midiOutput);
    // Over JACK there is no RtMidi input: the engine's client reads the port.
    EXPECT_EQ(midiInput != nullptr, sequencer);
    EXPECT_EQ(midiOutput->CurrentApi(), sequencer ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK);
    const bool said = errors.find("the ALSA sequencer cannot be opened; using JACK MIDI instead") != std::string::npos;
    EXPECT_EQ(said, !sequencer) << errors;
    DeleteMidiPorts();
}

} // namespace
