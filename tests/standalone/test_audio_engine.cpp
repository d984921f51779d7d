#include "tests/support/RequireService.h"
#include "tests/support/WaitFor.h"
#include "JackServer.h"
#include "RecordingPlugin.h"

#include "effect/DistortionEffect.h"
#include "platform/DebugTrace.h"
#include "standalone/AudioEngine.h"
#include "standalone/HostSettings.h"
#include "standalone/StallTime.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

AudioDevice Info(const char* name, bool probed, unsigned int in, unsigned int out)
{
    AudioDevice info;
    info.name = name;
    info.probed = probed;
    info.inputChannels = in;
    info.outputChannels = out;
    return info;
}

void UseDevices(int driverType, const char* input, const char* output, const char* rate = "44100",
                const char* ioVector = "256", const char* signalVector = "32")
{
    DefaultSettings(currentSettings);
    currentSettings.driverType = static_cast<uint16_t>(driverType);
    SetSettingsText(currentSettings.audioInputDevice, input);
    SetSettingsText(currentSettings.audioOutputDevice, output);
    SetSettingsText(currentSettings.sampleRate, rate);
    SetSettingsText(currentSettings.ioVectorSize, ioVector);
    SetSettingsText(currentSettings.signalVectorSize, signalVector);
    currentSettings.inputChannel1 = 1;
    currentSettings.inputChannel2 = 2;
    currentSettings.outputChannel1 = 1;
    currentSettings.outputChannel2 = 2;
    currentSettings.monoInput = 0;
}

uint32_t Callbacks(const AudioEngine& engine) { return engine.CallbackTicks(); }

std::vector<std::string> Connections(jack_client_t* client, const std::string& port)
{
    std::vector<std::string> names;
    jack_port_t* handle = jack_port_by_name(client, port.c_str());
    if (handle == nullptr) {
        return names;
    }
    const char** list = jack_port_get_all_connections(client, handle);
    for (const char** p = list; p != nullptr && *p != nullptr; ++p) {
        names.emplace_back(*p);
    }
    jack_free(list);
    return names;
}

std::vector<std::string> Ports(jack_client_t* client, const char* pattern, unsigned long flags)
{
    std::vector<std::string> names;
    const char** list = jack_get_ports(client, pattern, nullptr, flags);
    for (const char** p = list; p != nullptr && *p != nullptr; ++p) {
        names.emplace_back(*p);
    }
    jack_free(list);
    return names;
}

// The tests' own JACK clients: one feeds a known signal, indexed by the
// server's frame time, and another records what comes back. Two clients, so
// that the graph runs feeder, Snarlbox, recorder in one cycle (one client
// both feeding and recording would close a loop and hear the last cycle).
// They outlive a server that is killed under them without touching it.
class TestClient {
public:
    explicit TestClient(size_t capacity = 44100 * 3) : capacity(capacity) {}

    bool Open()
    {
        jack_status_t status{};
        client = jack_client_open("snarlbox-tester", JackNoStartServer, &status);
        recorder = jack_client_open("snarlbox-recorder", JackNoStartServer, &status);
        if (client == nullptr || recorder == nullptr) {
            return false;
        }
        for (int c = 0; c < 2; ++c) {
            feed[c] = jack_port_register(client, ("feed_" + std::to_string(c + 1)).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsOutput, 0);
            rec[c] = jack_port_register(recorder, ("rec_" + std::to_string(c + 1)).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                        JackPortIsInput, 0);
            recorded[c].assign(capacity, 0.0f);
        }
        for (jack_client_t* each : {client, recorder}) {
            jack_on_shutdown(each, [](void* self) { static_cast<TestClient*>(self)->dead = true; }, this);
        }
        jack_set_process_callback(client, &TestClient::Feed, this);
        jack_set_process_callback(recorder, &TestClient::Record, this);
        return jack_activate(client) == 0 && jack_activate(recorder) == 0;
    }
    ~TestClient()
    {
        for (jack_client_t* each : {recorder, client}) {
            if (each != nullptr && !dead) {
                jack_deactivate(each);
                jack_client_close(each);
            }
        }
    }
    static float Signal(int channel, size_t t)
    {
        return static_cast<float>(0.6 * std::sin(0.013 * (channel + 1) * static_cast<double>(t % 1000000)));
    }
    static int Feed(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<TestClient*>(arg);
        const size_t t0 = jack_last_frame_time(self->client);
        for (int c = 0; c < 2; ++c) {
            auto* out = static_cast<float*>(jack_port_get_buffer(self->feed[c], frames));
            for (jack_nframes_t i = 0; i < frames; ++i) {
                out[i] = Signal(c, t0 + i);
            }
        }
        return 0;
    }
    static int Record(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<TestClient*>(arg);
        const size_t now = jack_last_frame_time(self->recorder);
        if (!self->started) {
            self->start = now;
            self->started = true;
        }
        const size_t t0 = now - self->start;
        for (int c = 0; c < 2; ++c) {
            auto* in = static_cast<float*>(jack_port_get_buffer(self->rec[c], frames));
            for (jack_nframes_t i = 0; i < frames; ++i) {
                if (t0 + i < self->capacity) {
                    self->recorded[c][t0 + i] = in[i];
                }
            }
        }
        self->time.store(t0 + frames, std::memory_order_release);
        return 0;
    }
    // Routes the signal through the engine's ports, once they exist.
    bool ConnectThroughEngine()
    {
        std::vector<std::string> inports, outports;
        const bool found = WaitFor([&] {
            inports = Ports(client, "^Snarlbox:inport", JackPortIsInput);
            outports = Ports(client, "^Snarlbox:outport", JackPortIsOutput);
            return inports.size() == 2 && outports.size() == 2;
        });
        if (!found) {
            return false;
        }
        for (int c = 0; c < 2; ++c) {
            for (const std::string& other : Connections(client, inports[c])) {
                jack_disconnect(client, other.c_str(), inports[c].c_str());
            }
        }
        // Ports show before their client is activated, and JACK refuses to
        // connect them until then: try again.
        return WaitFor([&] {
            bool ok = true;
            for (int c = 0; ok && c < 2; ++c) {
                const int fed = jack_connect(client, jack_port_name(feed[c]), inports[c].c_str());
                const int recorded = jack_connect(recorder, outports[c].c_str(), jack_port_name(rec[c]));
                ok = (fed == 0 || fed == EEXIST) && (recorded == 0 || recorded == EEXIST);
            }
            return ok;
        });
    }
    // After warm-up and fade the output is exactly a quarter of the input
    // some fixed delay earlier: over a run of at least 4096 frames on both
    // channels inside the last window frames (xruns of a loaded machine
    // elsewhere in the window are no fault of ours).
    ::testing::AssertionResult QuarterOfTheInput(size_t window)
    {
        if (!WaitFor([&] { return time.load(std::memory_order_acquire) >= capacity; }, 15000)) {
            return ::testing::AssertionFailure() << "the test client stopped running";
        }
        const size_t first = capacity - window;
        const size_t last = capacity - 1024;
        // Recorded frame t was played at frame time start + t.
        auto quarter = [&](int c, size_t t, size_t d) { return 0.25f * Signal(c, start + t - d); };
        // The delay is found afresh after each mismatch (an xrun may shift it).
        auto exactAt = [&](size_t t, size_t d) {
            return t >= d && recorded[0][t] != 0.0f && recorded[0][t] == quarter(0, t, d) &&
                   recorded[1][t] == quarter(1, t, d);
        };
        size_t longest = 0;
        size_t run = 0;
        size_t delay = 0;
        for (size_t t = first; t < last; ++t) {
            if (run > 0 && exactAt(t, delay)) {
                ++run;
            } else {
                run = 0;
                for (size_t d = 0; d <= 4 * 1024 && recorded[0][t] != 0.0f; ++d) {
                    if (exactAt(t, d)) {
                        delay = d;
                        run = 1;
                        break;
                    }
                }
            }
            longest = std::max(longest, run);
            if (longest >= 4096) {
                lag = delay;
                return ::testing::AssertionSuccess();
            }
        }
        return ::testing::AssertionFailure() << "no run of 4096 frames at exactly a quarter of the input (longest "
                                             << longest << ")";
    }

    size_t capacity;
    size_t lag = 0; // frames between input and output, found by QuarterOfTheInput
    jack_client_t* client = nullptr;
    jack_client_t* recorder = nullptr;
    size_t start = 0;      // frame time of the first recorded frame (recorder's thread)
    bool started = false;  // recorder's thread
    jack_port_t* feed[2] = {};
    jack_port_t* rec[2] = {};
    std::vector<float> recorded[2];
    std::atomic<size_t> time{0};
    std::atomic<bool> dead{false};
};

// Detaches the plug-in when a test ends (a failed assertion too), before
// the plug-in on the test's stack is destroyed.
struct PluginGuard {
    AudioEngine& audio;
    ~PluginGuard() { audio.SetAudioPlugin(nullptr); }
};

class AudioEngineJack : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SERVICE(server.Start(44100, 256), "jackd with the dummy driver could not be started");
    }
    void TearDown() override
    {
        if (engine) {
            engine->SetAudioPlugin(nullptr);
            // An engine whose control thread the library still holds is left
            // to it, as the program leaves it at exit.
            if (!engine->ShutdownAudio()) {
                (void)engine.release();
            }
        }
        engine.reset();
        server.Stop();
    }
    AudioEngine& Engine()
    {
        if (!engine) {
            engine = std::make_unique<AudioEngine>();
        }
        return *engine;
    }
    // The effect as the host runs it (preset 0 loaded), started on "system";
    // on a busy machine the server may not answer the first look, and the
    // engine tries again. TearDown detaches it before it goes.
    ::testing::AssertionResult StartWithTheEffect()
    {
        effect = std::make_unique<DistortionEffect>(nullptr, nullptr, false);
        effect->LoadPresetSlot(0);
        Engine().SetAudioPlugin(effect.get());
        Engine().StartAudioFromSettings();
        return Flowing(Engine(), 10000) ? ::testing::AssertionSuccess()
                                        : ::testing::AssertionFailure() << "audio did not start";
    }
    // Running, and callbacks coming.
    bool Flowing(AudioEngine& audio, int milliseconds = 5000)
    {
        return WaitFor([&] { return audio.Status().state == AudioState::Running; }, milliseconds) &&
               WaitFor([&, ticks = audio.CallbackTicks()] { return audio.CallbackTicks() > ticks + 5; }, 5000);
    }

    JackServer server;
    std::unique_ptr<AudioEngine> engine;
    std::unique_ptr<DistortionEffect> effect; // destroyed after TearDown detached it
};

std::mutex traceMutex;
std::string traceText;
void RecordTrace(const char* line)
{
    std::lock_guard<std::mutex> lock(traceMutex);
    traceText += line;
}

} // namespace

TEST(AudioEngineDevices, ProbeKeepsEveryNameButListsOnlyUsableDevices)
{
    AudioEngine engine;
    const std::vector<AudioDevice> infos = {
        Info("duplex", true, 2, 2),
        Info("broken", false, 2, 2),
        Info("Generic Low Latency ASIO Driver", true, 2, 2),
        Info("mic", true, 1, 0),
        Info("speakers", true, 0, 8),
    };
    testing::internal::CaptureStdout();
    engine.ApplyDeviceInfos(infos);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "broken: Probe Status = Unsuccessful\nGeneric Low Latency ASIO Driver: Probe Status = Unsuccessful\n");
    EXPECT_EQ(engine.deviceNames.size(), 5u);
    EXPECT_EQ(engine.inputDeviceIds, (std::vector<uint32_t>{0, 3}));
    EXPECT_EQ(engine.outputDeviceIds, (std::vector<uint32_t>{0, 4}));
    EXPECT_EQ(engine.FindDeviceByName("broken"), 1);
    EXPECT_EQ(engine.FindDeviceByName("Speakers"), -1);
    EXPECT_EQ(engine.FindDeviceByName("speakers"), 4);
    EXPECT_EQ(engine.DeviceNameAt(3), "mic");
    EXPECT_EQ(engine.DeviceNameAt(5), "");
    EXPECT_EQ(engine.DeviceNameAt(-1), "");

    // A second probe starts over.
    engine.ApplyDeviceInfos({Info("mic", true, 1, 0)});
    EXPECT_EQ(engine.deviceNames, (std::vector<std::string>{"mic"}));
    EXPECT_TRUE(engine.outputDeviceIds.empty());
}

TEST(AudioEngineDevices, UnknownDeviceStartsNothingAndSaysSo)
{
    AudioEngine engine;
    UseDevices(0, "missing", "missing out");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(engine.StartAudioFromSettings());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("no device named \"missing\""), std::string::npos) << said;
    EXPECT_EQ(engine.Status().state, AudioState::UnknownDevice);
    EXPECT_EQ(engine.Status().detail, "missing");
    EXPECT_FALSE(engine.StreamActive());
    EXPECT_TRUE(engine.ShutdownAudio());
}

// Values only a hand-edited file can hold: refused before the library sees
// them, with the reason, and nothing is retried until the user acts.
TEST(AudioEngineDevices, ImpossibleSettingsAreRefusedWithTheirReason)
{
    struct Case {
        const char* what;
        void (*edit)(AppSettings&);
        const char* reason;
    };
    const Case cases[] = {
        {"in1=0", [](AppSettings& s) { s.inputChannel1 = 0; }, "input channel 0 does not exist"},
        {"out1=65536", [](AppSettings& s) { s.outputChannel1 = static_cast<uint16_t>(65536); },
         "output channel 0 does not exist"},
        {"huge rate", [](AppSettings& s) { SetSettingsText(s.sampleRate, "99999999999"); },
         "sample rate \"99999999999\" is not between"},
        {"rate 0", [](AppSettings& s) { SetSettingsText(s.sampleRate, "abc"); }, "sample rate \"abc\""},
        {"huge iovs", [](AppSettings& s) { SetSettingsText(s.ioVectorSize, "4294967296"); }, "IO vector size"},
        {"sigvs 0", [](AppSettings& s) { SetSettingsText(s.signalVectorSize, "0"); }, "signal vector size \"0\""},
    };
    for (const Case& c : cases) {
        AudioEngine engine;
        UseDevices(0, "default", "default");
        c.edit(currentSettings);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(engine.StartAudioFromSettings()) << c.what;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(c.reason), std::string::npos) << c.what << ": " << said;
        EXPECT_EQ(engine.Status().state, AudioState::BadSetting) << c.what;
        EXPECT_TRUE(engine.ShutdownAudio());
    }
    UseDevices(0, "default", "default");
}

// The wait before a silent stream counts as stopped covers several of its
// buffers: at 8000 Hz and 8192 frames a buffer lasts over a second, and a
// fixed wait restarted such a stream for ever.
TEST(AudioEngineStall, TheWaitCoversSeveralBuffers)
{
    struct Case {
        bool jack;
        uint32_t frames;
        uint32_t rate;
        int64_t atLeastMs;
    };
    const Case cases[] = {
        {false, 8192, 8000, 3 * 1024}, {false, 256, 44100, 750},  {true, 256, 44100, 2000},
        {true, 8192, 22050, 3 * 371},  {false, 64, 192000, 750}, {false, 512, 0, 750},
    };
    for (const Case& c : cases) {
        const int64_t ms = StallTime(c.jack, c.frames, c.rate).count();
        EXPECT_GE(ms, c.atLeastMs) << c.frames << " @ " << c.rate;
        EXPECT_LE(ms, std::max<int64_t>(c.atLeastMs * 2, 2000)) << c.frames << " @ " << c.rate;
    }
}

TEST(AudioEngineAlsa, WithoutASoundCardStartingFailsCleanly)
{
    UseDevices(0, "default", "default");
    AudioEngine engine;
    ASSERT_TRUE(engine.CreateAudioApi());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    engine.ProbeAudioDevices();
    const bool started = engine.StartAudioFromSettings();
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    if (engine.outputDeviceIds.empty() || engine.inputDeviceIds.empty()) {
        EXPECT_FALSE(started);
    }
    engine.StopAudioStream();
    EXPECT_FALSE(engine.StreamActive());
    EXPECT_TRUE(engine.CreateAudioApi());
    EXPECT_TRUE(engine.ShutdownAudio());
}

TEST_F(AudioEngineJack, ProbesTheSystemDeviceAndTracesTheStart)
{
    UseDevices(1, "ignored in JACK mode", "system");
    AudioEngine& audio = Engine();
    RecordingPlugin plugin;
    audio.SetAudioPlugin(&plugin);
    PluginGuard guard{audio};
    ASSERT_TRUE(audio.CreateAudioApi());
    audio.ProbeAudioDevices();
    const int system = audio.FindDeviceByName("system");
    ASSERT_GE(system, 0);
    EXPECT_EQ(audio.inputDeviceIds, (std::vector<uint32_t>{static_cast<uint32_t>(system)}));
    EXPECT_EQ(audio.outputDeviceIds, (std::vector<uint32_t>{static_cast<uint32_t>(system)}));

    traceText.clear();
    SetDebugTraceHook(RecordTrace);
    ASSERT_TRUE(audio.StartAudioFromSettings());
    SetDebugTraceHook(nullptr);
    {
        std::lock_guard<std::mutex> lock(traceMutex);
        const std::string id = std::to_string(system);
        EXPECT_NE(traceText.find("trying to start audio stream @ 44100 sr, 256 iovs, 32 sigvs\nindev = " + id +
                                 ":system\noutdev = " + id + ":system"),
                  std::string::npos)
            << traceText;
    }
    const AudioStatus status = audio.Status();
    EXPECT_EQ(status.state, AudioState::Running);
    EXPECT_EQ(status.driver, "JACK");
    EXPECT_EQ(status.device, "system");
    EXPECT_EQ(status.sampleRate, 44100u);
    EXPECT_EQ(status.bufferFrames, 256u);
    EXPECT_EQ(plugin.BlockSize(), 32);
    EXPECT_EQ(plugin.SampleRate(), 44100.0);
    EXPECT_EQ(std::string(streamSettings.audioOutputDevice), "system");
    EXPECT_TRUE(WaitFor([&] { return plugin.callCount >= 8 * 3; })); // 256/32 per callback

    // A listing while the client runs never offers Snarlbox's own client.
    audio.ProbeAudioDevices();
    EXPECT_EQ(audio.deviceNames, (std::vector<std::string>{"system"}));

    // A restart ends the running stream first and begins with silence again.
    ASSERT_TRUE(audio.StartAudioFromSettings());
    const int callsBefore = plugin.callCount;
    const uint32_t ticks = Callbacks(audio);
    ASSERT_TRUE(WaitFor([&] { return Callbacks(audio) > ticks + 20; }));
    EXPECT_EQ(plugin.callCount, callsBefore); // still inside the 51 silent callbacks
    audio.StopAudioStream();
    EXPECT_EQ(audio.Status().state, AudioState::Off);
    const uint32_t stopped = Callbacks(audio);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Callbacks(audio), stopped);
}

TEST_F(AudioEngineJack, ChannelsPastTheDeviceAreRefused)
{
    UseDevices(1, "", "system");
    currentSettings.inputChannel1 = 2; // 2/3 of a device with 2 inputs
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Engine().StartAudioFromSettings());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("input channels 2/3: \"system\" has 2 inputs"), std::string::npos) << said;
    EXPECT_EQ(Engine().Status().state, AudioState::BadSetting);
}

// Under JACK the server's rate and buffer size win over the stored ones,
// also for a server that comes back at others.
TEST_F(AudioEngineJack, TheServersRateAndBufferSizeWin)
{
    UseDevices(1, "", "system", "48000", "1024");
    AudioEngine& audio = Engine();
    RecordingPlugin plugin;
    audio.SetAudioPlugin(&plugin);
    PluginGuard guard{audio};
    ASSERT_TRUE(audio.StartAudioFromSettings());
    EXPECT_EQ(audio.Status().sampleRate, 44100u);
    EXPECT_EQ(audio.Status().bufferFrames, 256u);
    EXPECT_EQ(plugin.SampleRate(), 44100.0);
    ASSERT_TRUE(audio.CreateAudioApi());
    audio.ProbeAudioDevices();
    EXPECT_EQ(audio.DeviceAt(static_cast<uint32_t>(audio.FindDeviceByName("system"))).sampleRates,
              (std::vector<unsigned int>{44100}));

    const std::string name = server.Name();
    ASSERT_TRUE(audio.StartAudioFromSettings());
    server.Stop();
    ASSERT_TRUE(WaitFor([&] { return audio.Status().state != AudioState::Running; }, 2000));
    ASSERT_TRUE(server.Start(48000, 128, name));
    ASSERT_TRUE(Flowing(audio, 10000));
    EXPECT_EQ(audio.Status().sampleRate, 48000u);
    EXPECT_EQ(audio.Status().bufferFrames, 128u);
    EXPECT_EQ(plugin.SampleRate(), 48000.0);
}

TEST_F(AudioEngineJack, InputChannelPairThreeFourOpensAtIndexTwo)
{
    server.Stop();
    ASSERT_TRUE(server.Start(44100, 256, std::string(), 4));
    UseDevices(1, "", "system");
    currentSettings.inputChannel1 = 3;
    currentSettings.inputChannel2 = 9; // not used: the pair is always consecutive
    AudioEngine& audio = Engine();
    ASSERT_TRUE(audio.StartAudioFromSettings());

    TestClient tester;
    ASSERT_TRUE(tester.Open());
    // Patchbays show the stream as the client "Snarlbox".
    const auto inports = Ports(tester.client, "^Snarlbox:inport", JackPortIsInput);
    ASSERT_EQ(inports, (std::vector<std::string>{"Snarlbox:inport 0", "Snarlbox:inport 1"}));
    EXPECT_EQ(Ports(tester.client, "^Snarlbox:outport", JackPortIsOutput),
              (std::vector<std::string>{"Snarlbox:outport 0", "Snarlbox:outport 1"}));
    EXPECT_EQ(Connections(tester.client, inports[0]), (std::vector<std::string>{"system:capture_3"}));
    EXPECT_EQ(Connections(tester.client, inports[1]), (std::vector<std::string>{"system:capture_4"}));
    // One client of ours, whatever else runs.
    EXPECT_EQ(audio.ClientName(), "Snarlbox");
    EXPECT_EQ(Ports(tester.client, "^Snarlbox", 0).size(), 4u);
    EXPECT_TRUE(Ports(tester.client, "^Snarlbox-", 0).empty());
}

// A plug-in that takes a while over each block and notes a block that
// arrives after it was destroyed.
std::atomic<int> blocksAfterDestruction{0};
class SlowPlugin : public RecordingPlugin {
public:
    ~SlowPlugin() override { alive = false; }
    void ProcessAudioBlock(double** inputs, double** outputs, int frameCount) override
    {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (!alive.load()) {
            ++blocksAfterDestruction;
        }
        RecordingPlugin::ProcessAudioBlock(inputs, outputs, frameCount);
    }
    std::atomic<bool> alive{true};
};

// The client takes the name set for it, or the one JACK gives on a clash,
// and says which.
TEST_F(AudioEngineJack, TheClientNameIsTheOneJackGave)
{
    UseDevices(1, "", "system");
    jack_status_t status{};
    jack_client_t* other = jack_client_open("Snarlbox", JackNoStartServer, &status);
    ASSERT_NE(other, nullptr);
    AudioEngine& audio = Engine();
    EXPECT_EQ(audio.ClientName(), "");
    ASSERT_TRUE(audio.StartAudioFromSettings());
    const std::string given = audio.ClientName();
    EXPECT_NE(given, "Snarlbox");
    EXPECT_EQ(given.rfind("Snarlbox", 0), 0u) << given;
    audio.SetClientName("snarlbox-session-7");
    ASSERT_TRUE(audio.StartAudioFromSettings());
    EXPECT_EQ(audio.ClientName(), "snarlbox-session-7");
    EXPECT_EQ(Ports(other, "^snarlbox-session-7:", 0).size(), 4u);
    EXPECT_TRUE(Ports(other, ("^" + given + ":").c_str(), 0).empty());
    audio.StopAudioStream();
    EXPECT_EQ(audio.ClientName(), "");
    jack_client_close(other);
}

// Swapping the plug-in while the stream runs waits for the callback to leave
// the old one, so it may be destroyed at once.
TEST_F(AudioEngineJack, ReplacingThePluginWhileRunningNeverReachesAFreedOne)
{
    UseDevices(1, "", "system", "44100", "256", "256");
    AudioEngine& audio = Engine();
    auto* slow = new SlowPlugin;
    audio.SetAudioPlugin(slow);
    audio.StartAudioFromSettings();
    ASSERT_TRUE(Flowing(audio, 10000));
    ASSERT_TRUE(WaitFor([&] { return slow->callCount > 0; })); // past the silent warm-up
    for (int round = 0; round < 50; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(7));
        auto* next = new SlowPlugin;
        audio.SetAudioPlugin(next);
        delete slow;
        slow = next;
    }
    audio.SetAudioPlugin(nullptr);
    delete slow;
    EXPECT_EQ(blocksAfterDestruction.load(), 0);
}

// A block's whole road: the tester's signal into Snarlbox's inputs, Snarlbox's
// outputs back into the tester; after warm-up and fade exactly a quarter.
TEST_F(AudioEngineJack, SignalComesBackAtAQuarter)
{
    UseDevices(1, "", "system");
    AudioEngine& audio = Engine();
    ASSERT_TRUE(StartWithTheEffect());
    TestClient tester;
    ASSERT_TRUE(tester.Open());
    ASSERT_TRUE(tester.ConnectThroughEngine());
    EXPECT_TRUE(tester.QuarterOfTheInput(110000));
    audio.StopAudioStream();
}

// The server killed mid-stream and started again, ten times: each time the
// loss is noticed within a second, audio comes back by itself, and the output
// is again exactly a quarter of the input.
TEST_F(AudioEngineJack, AudioComesBackAfterEachOfTenServerKills)
{
    UseDevices(1, "", "system");
    AudioEngine& audio = Engine();
    ASSERT_TRUE(StartWithTheEffect());
    const std::string name = server.Name();
    std::vector<double> recovery;
    for (int round = 0; round < 10; ++round) {
        {
            // The tester goes before the server: a dead client of this
            // process would be freed by libjack at the next open, under
            // whoever holds it.
            TestClient tester(44100);
            ASSERT_TRUE(tester.Open()) << round;
            ASSERT_TRUE(tester.ConnectThroughEngine()) << round;
            ASSERT_TRUE(tester.QuarterOfTheInput(40000)) << round;
        }
        server.Kill();
        ASSERT_TRUE(WaitFor([&] { return audio.Status().state != AudioState::Running; }, 1000))
            << "loss not noticed within a second, round " << round;
        EXPECT_NE(audio.Status().state, AudioState::Running);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ASSERT_TRUE(server.Start(44100, 256, name)) << round;
        const auto back = std::chrono::steady_clock::now();
        ASSERT_TRUE(Flowing(audio, 10000)) << "audio did not come back, round " << round;
        recovery.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - back).count());
    }
    std::string times;
    for (double ms : recovery) {
        times += std::to_string(static_cast<int>(ms)) + " ";
    }
    RecordProperty("recovery_ms", times);
    std::printf("server back -> audio back, ms: %s\n", times.c_str());
    TestClient tester(44100);
    ASSERT_TRUE(tester.Open());
    ASSERT_TRUE(tester.ConnectThroughEngine());
    EXPECT_TRUE(tester.QuarterOfTheInput(40000));
    audio.ShutdownAudio();
}

// A killed server is heard through the client's own shutdown notice: said
// once, and the dead client is let go at once (no client name is left).
TEST_F(AudioEngineJack, AKilledServerIsHeardByTheEngineAlone)
{
    UseDevices(1, "", "system");
    AudioEngine& audio = Engine();
    ASSERT_TRUE(audio.StartAudioFromSettings());
    testing::internal::CaptureStderr();
    server.Kill();
    const bool noticed = WaitFor([&] { return audio.Status().state != AudioState::Running; }, 1000);
    // RtAudio's thread, had it started, has spoken by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    audio.PollAudioStream();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(noticed) << "loss not noticed within a second";
    EXPECT_NE(said.find("the audio server quit or the device went away"), std::string::npos) << said;
    EXPECT_EQ(said.find("shutting down this client"), std::string::npos) << said;
    EXPECT_EQ(audio.ClientName(), "");
}

// A buffer-size change and a start with the same devices (OK in Preferences)
// keep the client: connections made by hand stay, and the output is still a
// quarter of the input in the same cycle.
TEST_F(AudioEngineJack, BufferSizeChangesAndRestartsKeepHandMadeConnections)
{
    UseDevices(1, "", "system", "44100", "1024", "32");
    AudioEngine& audio = Engine();
    ASSERT_TRUE(StartWithTheEffect());
    EXPECT_EQ(audio.Status().bufferFrames, 256u);

    for (unsigned int size : {1024u, 64u, 512u}) {
        TestClient tester(44100 * 3);
        ASSERT_TRUE(tester.Open());
        ASSERT_TRUE(tester.ConnectThroughEngine());
        const auto byHand = Connections(tester.client, "Snarlbox:inport 0");
        testing::internal::CaptureStderr();
        ASSERT_EQ(jack_set_buffer_size(tester.client, size), 0);
        ASSERT_TRUE(WaitFor([&] { return audio.Status().bufferFrames == size; }, 2000)) << size;
        // OK in Preferences with the driver unchanged.
        EXPECT_TRUE(audio.StartAudioFromSettings()) << size;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("the audio server runs at " + std::to_string(size) + " frames now"), std::string::npos)
            << said;
        EXPECT_EQ(Connections(tester.client, "Snarlbox:inport 0"), byHand) << size;
        auto toOutput = Connections(tester.client, "Snarlbox:outport 1");
        std::sort(toOutput.begin(), toOutput.end());
        EXPECT_EQ(toOutput, (std::vector<std::string>{"snarlbox-recorder:rec_2", "system:playback_2"})) << size;
        EXPECT_EQ(audio.Status().state, AudioState::Running);
        EXPECT_TRUE(tester.QuarterOfTheInput(60000)) << size;
        EXPECT_EQ(tester.lag, 0u) << size;
    }
}

// The ports tell JACK what their connections tell them, and the status
// gives the whole way from the capture ports to the playback ports.
TEST_F(AudioEngineJack, PortsReportTheLatencyOfTheirConnections)
{
    UseDevices(1, "", "system");
    AudioEngine& audio = Engine();
    ASSERT_TRUE(audio.StartAudioFromSettings());
    TestClient probe;
    ASSERT_TRUE(probe.Open());
    auto range = [&](const char* port, jack_latency_callback_mode_t mode) {
        jack_latency_range_t r{};
        jack_port_get_latency_range(jack_port_by_name(probe.client, port), mode, &r);
        return std::make_pair(static_cast<uint32_t>(r.min), static_cast<uint32_t>(r.max));
    };
    const auto capture = range("system:capture_1", JackCaptureLatency);
    const auto playback = range("system:playback_1", JackPlaybackLatency);
    ASSERT_GT(capture.second + playback.second, 0u);
    ASSERT_TRUE(WaitFor([&] { return range("Snarlbox:outport 0", JackCaptureLatency) == capture; }));
    EXPECT_TRUE(WaitFor([&] { return range("Snarlbox:inport 0", JackPlaybackLatency) == playback; }));
    EXPECT_TRUE(WaitFor([&] { return audio.Status().latencyFrames == capture.second + playback.second; }, 2000))
        << audio.Status().latencyFrames;
    std::printf("latency: capture %u..%u, playback %u..%u frames\n", capture.first, capture.second, playback.first,
                playback.second);
}

// A cycle's input comes out in the same cycle, at every period size.
TEST_F(AudioEngineJack, InputComesOutInTheSameCycle)
{
    const std::string name = server.Name();
    for (int period : {256, 64}) {
        server.Stop();
        ASSERT_TRUE(server.Start(44100, period, name));
        UseDevices(1, "", "system");
        engine.reset();
        ASSERT_TRUE(StartWithTheEffect()) << period;
        TestClient tester(44100 * 2);
        ASSERT_TRUE(tester.Open());
        ASSERT_TRUE(tester.ConnectThroughEngine());
        ASSERT_TRUE(tester.QuarterOfTheInput(40000)) << period;
        EXPECT_EQ(tester.lag, 0u) << period;
        std::printf("period %d: lag %zu frames\n", period, tester.lag);
        Engine().SetAudioPlugin(nullptr);
        ASSERT_TRUE(Engine().ShutdownAudio());
    }
}

// A first start goes to JACK when a server runs, on its "system" device;
// without a server the settings stay on ALSA.
TEST_F(AudioEngineJack, FirstStartPrefersARunningJackServer)
{
    for (bool serverRuns : {true, false}) {
        if (!serverRuns) {
            server.Stop();
        }
        AppSettings settings;
        DefaultSettings(settings);
        EXPECT_EQ(Engine().PreferJackOnFirstStart(settings), serverRuns);
        EXPECT_EQ(settings.driverType, serverRuns ? 1 : 0);
        EXPECT_STREQ(settings.audioOutputDevice, serverRuns ? "system" : "default");
        EXPECT_STREQ(settings.audioInputDevice, serverRuns ? "system" : "default");
    }
}

// A stop that hangs on the server (stopped with SIGSTOP) returns within its
// bound, and once the server goes on, a later start plays again.
TEST_F(AudioEngineJack, AStopThatHangsLeavesLaterStartsWorking)
{
    UseDevices(1, "", "system");
    AudioEngine& audio = Engine();
    ASSERT_TRUE(audio.StartAudioFromSettings());
    server.Pause();
    const auto begin = std::chrono::steady_clock::now();
    testing::internal::CaptureStderr();
    audio.StopAudioStream();
    const auto took = std::chrono::steady_clock::now() - begin;
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    server.Resume();
    audio.StartAudioFromSettings();
    EXPECT_TRUE(Flowing(audio, 10000)) << said;
}

// While it waits for a device that is not there, the engine looks less and
// less often and fills no console: the reason once, and little else.
TEST(AudioEngineAlsa, WaitingForADeviceIsQuiet)
{
    UseDevices(0, "hw:Snarlbox-none", "hw:Snarlbox-none");
    AudioEngine engine;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(engine.StartAudioFromSettings());
    for (int poll = 0; poll < 8; ++poll) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        engine.PollAudioStream();
    }
    const std::string said = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(engine.Status().state, AudioState::UnknownDevice);
    const auto lines = std::count(said.begin(), said.end(), '\n');
    EXPECT_LE(lines, 6) << said;
    EXPECT_TRUE(engine.ShutdownAudio());
}

TEST_F(AudioEngineJack, AudioStartsWhenTheServerStartsAfterSnarlbox)
{
    const std::string name = server.Name();
    server.Stop();
    UseDevices(1, "", "system");
    AudioEngine& audio = Engine();
    ASSERT_TRUE(audio.CreateAudioApi());
    audio.ProbeAudioDevices();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(audio.StartAudioFromSettings());
    std::this_thread::sleep_for(std::chrono::milliseconds(1000)); // several quiet retries
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(audio.Status().state, AudioState::ServerDown);
    // Said once, not at every retry.
    const size_t first = said.find("JACK server is not running");
    ASSERT_NE(first, std::string::npos) << said;
    EXPECT_EQ(said.find("JACK server is not running", first + 1), std::string::npos) << said;

    ASSERT_TRUE(server.Start(44100, 256, name));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(Flowing(audio, 10000));
    std::printf("server started -> audio running, ms: %d\n",
                static_cast<int>(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                                           started)
                                     .count()));
    audio.PollAudioStream();
    EXPECT_STREQ(streamSettings.audioOutputDevice, "system");
}

// Stopping and shutting down never wait long on the library, whatever the
// stream does: here with the server gone and with a stream that stopped.
TEST_F(AudioEngineJack, ShutdownIsQuickWhenTheServerIsGoneOrTheStreamStalled)
{
    UseDevices(1, "", "system");
    // Ends the engine and says how long that took; an engine whose control
    // thread the library still holds is left to it, as the program does.
    auto shutDown = [](AudioEngine* audio) {
        const auto begin = std::chrono::steady_clock::now();
        audio->StopAudioStream();
        const bool letGo = audio->ShutdownAudio();
        const auto took = std::chrono::steady_clock::now() - begin;
        if (letGo) {
            delete audio;
        }
        return took;
    };
    auto* lost = new AudioEngine;
    ASSERT_TRUE(lost->StartAudioFromSettings());
    server.Kill();
    EXPECT_LT(shutDown(lost), std::chrono::milliseconds(1500));

    // At once a new server and new clients: nothing of the dead one may be
    // closing meanwhile.
    ASSERT_TRUE(server.Start(44100, 256));
    auto* stalled = new AudioEngine;
    stalled->StartAudioFromSettings();
    ASSERT_TRUE(Flowing(*stalled, 10000));
    TestClient changer;
    ASSERT_TRUE(changer.Open());
    jack_set_buffer_size(changer.client, 512);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_LT(shutDown(stalled), std::chrono::milliseconds(1500));
}
