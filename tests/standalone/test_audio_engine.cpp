#include "tests/support/RequireService.h"
#include "JackServer.h"
#include "RecordingPlugin.h"

#include "effect/DistortionEffect.h"
#include "platform/DebugTrace.h"
#include "standalone/AudioEngine.h"
#include "standalone/HostSettings.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

RtAudio::DeviceInfo Info(const char* name, bool probed, unsigned int in, unsigned int out)
{
    RtAudio::DeviceInfo info;
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

template <typename Condition> bool WaitFor(Condition condition, int milliseconds = 5000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

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

// The tests' own JACK client: feeds a known signal and records what comes back.
class TestClient {
public:
    static constexpr size_t kCapacity = 44100 * 3;

    bool Open()
    {
        jack_status_t status{};
        client = jack_client_open("snarlbox-tester", JackNoStartServer, &status);
        if (client == nullptr) {
            return false;
        }
        for (int c = 0; c < 2; ++c) {
            feed[c] = jack_port_register(client, ("feed_" + std::to_string(c + 1)).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsOutput, 0);
            rec[c] = jack_port_register(client, ("rec_" + std::to_string(c + 1)).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                        JackPortIsInput, 0);
            recorded[c].assign(kCapacity, 0.0f);
        }
        jack_set_process_callback(client, &TestClient::Process, this);
        return jack_activate(client) == 0;
    }
    ~TestClient()
    {
        if (client != nullptr) {
            jack_deactivate(client);
            jack_client_close(client);
        }
    }
    static float Signal(int channel, size_t t)
    {
        return static_cast<float>(0.6 * std::sin(0.013 * (channel + 1) * static_cast<double>(t)));
    }
    static int Process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<TestClient*>(arg);
        const size_t t0 = self->time.load(std::memory_order_relaxed);
        for (int c = 0; c < 2; ++c) {
            auto* out = static_cast<float*>(jack_port_get_buffer(self->feed[c], frames));
            auto* in = static_cast<float*>(jack_port_get_buffer(self->rec[c], frames));
            for (jack_nframes_t i = 0; i < frames; ++i) {
                out[i] = Signal(c, t0 + i);
                if (t0 + i < kCapacity) {
                    self->recorded[c][t0 + i] = in[i];
                }
            }
        }
        self->time.store(t0 + frames, std::memory_order_release);
        return 0;
    }

    jack_client_t* client = nullptr;
    jack_port_t* feed[2] = {};
    jack_port_t* rec[2] = {};
    std::vector<float> recorded[2];
    std::atomic<size_t> time{0};
};

// Stops the stream and detaches the plug-in when a test ends, before the
// plug-in on the test's stack is destroyed under a running callback.
struct StreamStopper {
    AudioEngine& audio;
    ~StreamStopper()
    {
        audio.ShutdownAudio();
        audio.SetAudioPlugin(nullptr);
    }
};

class AudioEngineJack : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SERVICE(server.Start(44100, 256), "jackd with the dummy driver could not be started");
    }
    void TearDown() override
    {
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

    JackServer server;
    std::unique_ptr<AudioEngine> engine;
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
    const std::vector<RtAudio::DeviceInfo> infos = {
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

TEST(AudioEngineDevices, UnknownDeviceStartsNothing)
{
    AudioEngine engine;
    engine.ApplyDeviceInfos({Info("out", true, 0, 2)});
    UseDevices(0, "missing", "out");
    EXPECT_FALSE(engine.StartAudioFromSettings());
    EXPECT_FALSE(engine.StreamActive());
    EXPECT_FALSE(engine.PollAudioStream());
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
        EXPECT_FALSE(engine.audioApi->isStreamOpen());
    }
    engine.StopAudioStream();
    EXPECT_TRUE(engine.CreateAudioApi());
}

TEST_F(AudioEngineJack, ProbesTheSystemDeviceAndTracesTheStart)
{
    UseDevices(1, "ignored in JACK mode", "system");
    AudioEngine& audio = Engine();
    RecordingPlugin plugin;
    audio.SetAudioPlugin(&plugin);
    StreamStopper stopper{audio}; // stops the stream before plugin goes
    ASSERT_TRUE(audio.CreateAudioApi());
    audio.ProbeAudioDevices();
    const int system = audio.FindDeviceByName("system");
    ASSERT_GE(system, 0);
    EXPECT_EQ(audio.inputDeviceIds, (std::vector<uint32_t>{static_cast<uint32_t>(system)}));
    EXPECT_EQ(audio.outputDeviceIds, (std::vector<uint32_t>{static_cast<uint32_t>(system)}));
    const RtAudio::DeviceInfo info = audio.audioApi->getDeviceInfo(static_cast<unsigned int>(system));
    EXPECT_EQ(info.inputChannels, 2u);
    EXPECT_EQ(info.outputChannels, 2u);

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
    EXPECT_TRUE(audio.audioApi->isStreamRunning());
    EXPECT_EQ(plugin.BlockSize(), 32);
    EXPECT_EQ(plugin.SampleRate(), 44100.0);
    EXPECT_EQ(std::string(streamSettings.audioOutputDevice), "system");
    EXPECT_TRUE(WaitFor([&] { return plugin.callCount >= 8 * 3; })); // 256/32 per callback

    // A restart ends the running stream first and begins with silence again.
    ASSERT_TRUE(audio.StartAudioFromSettings());
    EXPECT_TRUE(audio.audioApi->isStreamRunning());
    const int callsBefore = plugin.callCount;
    const uint32_t ticks = Callbacks(audio);
    ASSERT_TRUE(WaitFor([&] { return Callbacks(audio) > ticks + 20; }));
    EXPECT_EQ(plugin.callCount, callsBefore); // still inside the 51 silent callbacks
    audio.StopAudioStream();
    EXPECT_FALSE(audio.audioApi->isStreamRunning());
}

TEST_F(AudioEngineJack, RateMismatchIsRefusedAndReported)
{
    UseDevices(1, "", "system");
    AudioEngine& audio = Engine();
    ASSERT_TRUE(audio.CreateAudioApi());
    audio.ProbeAudioDevices();
    ASSERT_TRUE(audio.StartAudioFromSettings());
    const AppSettings before = streamSettings;

    SetSettingsText(currentSettings.sampleRate, "48000");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(audio.StartAudioFromSettings());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("48000"), std::string::npos);
    EXPECT_FALSE(audio.audioApi->isStreamOpen());
    EXPECT_TRUE(SettingsEqual(streamSettings, before));
    EXPECT_FALSE(audio.PollAudioStream());
}

TEST_F(AudioEngineJack, InputChannelPairThreeFourOpensAtIndexTwo)
{
    server.Stop();
    ASSERT_TRUE(server.Start(44100, 256, std::string(), 4));
    UseDevices(1, "", "system");
    currentSettings.inputChannel1 = 3;
    currentSettings.inputChannel2 = 9; // not used: the pair is always consecutive
    AudioEngine& audio = Engine();
    ASSERT_TRUE(audio.CreateAudioApi());
    audio.ProbeAudioDevices();
    ASSERT_TRUE(audio.StartAudioFromSettings());

    TestClient tester;
    ASSERT_TRUE(tester.Open());
    const auto inports = Ports(tester.client, "^RtApiJack.*:inport", JackPortIsInput);
    ASSERT_EQ(inports.size(), 2u);
    EXPECT_EQ(Connections(tester.client, inports[0]), (std::vector<std::string>{"system:capture_3"}));
    EXPECT_EQ(Connections(tester.client, inports[1]), (std::vector<std::string>{"system:capture_4"}));
}

// A block's whole road: the tester's signal into Snarlbox's inputs, Snarlbox's
// outputs back into the tester; after warm-up and fade exactly a quarter.
TEST_F(AudioEngineJack, SignalComesBackAtAQuarter)
{
    UseDevices(1, "", "system");
    AudioEngine& audio = Engine();
    DistortionEffect effect(nullptr, nullptr, false);
    effect.LoadPresetSlot(0); // as the host does right after creating the plug-in
    audio.SetAudioPlugin(&effect);
    StreamStopper stopper{audio}; // stops the stream before effect goes
    ASSERT_TRUE(audio.CreateAudioApi());
    audio.ProbeAudioDevices();
    ASSERT_TRUE(audio.StartAudioFromSettings());

    TestClient tester;
    ASSERT_TRUE(tester.Open());
    const auto inports = Ports(tester.client, "^RtApiJack.*:inport", JackPortIsInput);
    const auto outports = Ports(tester.client, "^RtApiJack.*:outport", JackPortIsOutput);
    ASSERT_EQ(inports.size(), 2u);
    ASSERT_EQ(outports.size(), 2u);
    for (int c = 0; c < 2; ++c) {
        for (const std::string& other : Connections(tester.client, inports[c])) {
            jack_disconnect(tester.client, other.c_str(), inports[c].c_str());
        }
        ASSERT_EQ(jack_connect(tester.client, jack_port_name(tester.feed[c]), inports[c].c_str()), 0);
        ASSERT_EQ(jack_connect(tester.client, outports[c].c_str(), jack_port_name(tester.rec[c])), 0);
    }
    ASSERT_TRUE(WaitFor([&] { return tester.time.load(std::memory_order_acquire) >= TestClient::kCapacity; },
                        10000));

    // Find the round-trip delay over a late window, then demand exact equality.
    const size_t first = TestClient::kCapacity - 20000;
    const size_t last = TestClient::kCapacity - 256;
    int delay = -1;
    for (int d = 0; d <= 4 * 256 && delay < 0; ++d) {
        bool all = true;
        for (size_t t = first; t < first + 64 && all; ++t) {
            all = tester.recorded[0][t] == 0.25f * TestClient::Signal(0, t - static_cast<size_t>(d));
        }
        if (all) {
            delay = d;
        }
    }
    ASSERT_GE(delay, 0) << "output never matched a quarter of the input";
    for (int c = 0; c < 2; ++c) {
        for (size_t t = first; t < last; ++t) {
            ASSERT_EQ(tester.recorded[c][t], 0.25f * TestClient::Signal(c, t - static_cast<size_t>(delay)))
                << "channel " << c << " frame " << t;
        }
    }
}

TEST_F(AudioEngineJack, ServerQuitIsNoticedAndALaterStartWorks)
{
    UseDevices(1, "", "system");
    AudioEngine& audio = Engine();
    RecordingPlugin plugin;
    audio.SetAudioPlugin(&plugin);
    StreamStopper stopper{audio}; // stops the stream before plugin goes
    ASSERT_TRUE(audio.CreateAudioApi());
    audio.ProbeAudioDevices();
    ASSERT_TRUE(audio.StartAudioFromSettings());
    ASSERT_TRUE(WaitFor([&] { return Callbacks(audio) > 5; }));

    const std::string name = server.Name();
    testing::internal::CaptureStderr();
    server.Stop();
    bool noticed = WaitFor([&] { return audio.PollAudioStream(); });
    const std::string reported = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(noticed);
    EXPECT_NE(reported.find("audio stream has ended"), std::string::npos) << reported;
    EXPECT_FALSE(audio.PollAudioStream()); // reported once
    EXPECT_FALSE(audio.StreamActive());

    // No server: the start fails cleanly.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(audio.StartAudioFromSettings());
    testing::internal::GetCapturedStderr();

    // Server back under the same name: audio starts again.
    ASSERT_TRUE(server.Start(44100, 256, name));
    ASSERT_TRUE(audio.StartAudioFromSettings());
    EXPECT_TRUE(WaitFor([&] { return Callbacks(audio) > 5; }));
    EXPECT_FALSE(audio.PollAudioStream());
}

// The server's buffer size wins over the requested one; a later change of it
// stops RtAudio's processing, which the poll reports.
TEST_F(AudioEngineJack, ServerBufferSizeReplacesTheRequestAndItsChangeIsNoticed)
{
    UseDevices(1, "", "system", "44100", "1024", "32");
    AudioEngine& audio = Engine();
    RecordingPlugin plugin;
    audio.SetAudioPlugin(&plugin);
    StreamStopper stopper{audio}; // stops the stream before plugin goes
    ASSERT_TRUE(audio.CreateAudioApi());
    audio.ProbeAudioDevices();
    ASSERT_TRUE(audio.StartAudioFromSettings());
    EXPECT_EQ(audio.ioVectorSize, 256u);
    ASSERT_TRUE(WaitFor([&] { return Callbacks(audio) > 5; }));

    TestClient tester;
    ASSERT_TRUE(tester.Open());
    testing::internal::CaptureStderr();
    jack_set_buffer_size(tester.client, 512);
    const bool noticed = WaitFor([&] { return audio.PollAudioStream(); }, 4000);
    const std::string reported = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(noticed);
    EXPECT_NE(reported.find("stopped processing"), std::string::npos) << reported;
    EXPECT_FALSE(audio.PollAudioStream()); // reported once

    // A fresh start takes the new buffer size and runs again.
    ASSERT_TRUE(audio.StartAudioFromSettings());
    EXPECT_EQ(audio.ioVectorSize, 512u);
    const uint32_t ticks = Callbacks(audio);
    EXPECT_TRUE(WaitFor([&] { return Callbacks(audio) > ticks + 5; }));
}
