// The snarlbox program itself, started as users start it: under a display
// (xvfb-run) with a private configuration folder and a private JACK server.
#include "tests/support/RequireService.h"
#include "JackServer.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
bool WaitFor(const std::function<bool()>& done, int milliseconds)
{
    for (int waited = 0; waited < milliseconds; waited += 20) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Shell(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
            out += buffer;
        }
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) {
        out.pop_back();
    }
    return out;
}

// One run of the program with its own configuration and runtime folders.
class Program {
public:
    explicit Program(const fs::path& home) : home(home) {}
    ~Program() { Kill(); }

    void Start()
    {
        pid = fork();
        if (pid == 0) {
            setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
            setenv("XDG_RUNTIME_DIR", (home / "runtime").c_str(), 1);
            execl(SNARLBOX_PROGRAM, SNARLBOX_PROGRAM, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    // Waits for the process to end by itself; the exit code, or -1.
    int Wait(int milliseconds)
    {
        int status = 0;
        const bool ended = WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, milliseconds);
        if (!ended) {
            return -1;
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    }
    bool Running() { return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0; }
    void Kill()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }

private:
    fs::path home;
    pid_t pid = -1;
};

class ProgramTest : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SERVICE(getenv("DISPLAY") != nullptr, "no display");
        char pattern[] = "/tmp/snarlbox-program-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home = pattern;
        fs::create_directories(home / "config");
        fs::create_directories(home / "runtime");
        fs::permissions(home / "runtime", fs::perms::owner_all);
    }
    void TearDown() override
    {
        if (!home.empty()) {
            std::error_code ignored;
            fs::remove_all(home, ignored);
        }
    }
    fs::path SettingsFile() const { return home / "config" / "Snarlbox" / "settings.ini"; }
    std::string WindowId() { return Shell("xdotool search --onlyvisible --name '^Snarlbox$' 2>/dev/null | head -n1"); }

    fs::path home;
};

// Feeds a constant to the program's inputs and keeps what comes back.
class DcClient {
public:
    bool Open(float level)
    {
        dc = level;
        jack_status_t status{};
        client = jack_client_open("program-tester", JackNoStartServer, &status);
        if (client == nullptr) {
            return false;
        }
        for (int c = 0; c < 2; ++c) {
            feed[c] = jack_port_register(client, ("feed_" + std::to_string(c)).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsOutput, 0);
            rec[c] = jack_port_register(client, ("rec_" + std::to_string(c)).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                        JackPortIsInput, 0);
        }
        jack_set_process_callback(client, &DcClient::Process, this);
        return jack_activate(client) == 0;
    }
    ~DcClient()
    {
        if (client != nullptr) {
            jack_deactivate(client);
            jack_client_close(client);
        }
    }
    // Connects to the program's ports once they exist.
    bool Connect()
    {
        return WaitFor(
            [&] {
                const char** in = jack_get_ports(client, "^RtApiJack.*:inport", nullptr, JackPortIsInput);
                const char** out = jack_get_ports(client, "^RtApiJack.*:outport", nullptr, JackPortIsOutput);
                bool ok = in != nullptr && out != nullptr && in[0] && in[1] && out[0] && out[1];
                if (ok) {
                    for (int c = 0; c < 2; ++c) {
                        jack_connect(client, jack_port_name(feed[c]), in[c]);
                        jack_connect(client, out[c], jack_port_name(rec[c]));
                    }
                }
                jack_free(in);
                jack_free(out);
                return ok;
            },
            10000);
    }
    static int Process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<DcClient*>(arg);
        for (int c = 0; c < 2; ++c) {
            auto* out = static_cast<float*>(jack_port_get_buffer(self->feed[c], frames));
            auto* in = static_cast<float*>(jack_port_get_buffer(self->rec[c], frames));
            for (jack_nframes_t i = 0; i < frames; ++i) {
                out[i] = self->dc;
            }
            self->last[c].store(in[frames - 1], std::memory_order_relaxed);
        }
        return 0;
    }
    float Last(int c) const { return last[c].load(std::memory_order_relaxed); }

    jack_client_t* client = nullptr;
    jack_port_t* feed[2] = {};
    jack_port_t* rec[2] = {};
    float dc = 0.0f;
    std::atomic<float> last[2] = {0.0f, 0.0f};
};

// Two JACK MIDI ports: "out" feeds the program's MIDI input, "in" collects
// what its MIDI output sends.
class MidiClient {
public:
    bool Open()
    {
        jack_status_t status{};
        client = jack_client_open("program-midi", JackNoStartServer, &status);
        if (client == nullptr) {
            return false;
        }
        out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        in = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client, &MidiClient::Process, this);
        return out != nullptr && in != nullptr && jack_activate(client) == 0;
    }
    ~MidiClient()
    {
        if (client != nullptr) {
            jack_deactivate(client);
            jack_client_close(client);
        }
    }
    void Send(std::vector<uint8_t> message)
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending.push_back(std::move(message));
    }
    std::vector<std::vector<uint8_t>> Received()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return received;
    }
    static int Process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<MidiClient*>(arg);
        void* outBuffer = jack_port_get_buffer(self->out, frames);
        void* inBuffer = jack_port_get_buffer(self->in, frames);
        jack_midi_clear_buffer(outBuffer);
        std::lock_guard<std::mutex> lock(self->mutex);
        for (const auto& message : self->pending) {
            jack_midi_event_write(outBuffer, 0, message.data(), message.size());
        }
        self->pending.clear();
        const uint32_t count = jack_midi_get_event_count(inBuffer);
        for (uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event{};
            if (jack_midi_event_get(&event, inBuffer, i) == 0) {
                self->received.emplace_back(event.buffer, event.buffer + event.size);
            }
        }
        return 0;
    }

    jack_client_t* client = nullptr;
    jack_port_t* out = nullptr;
    jack_port_t* in = nullptr;
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> pending;
    std::vector<std::vector<uint8_t>> received;
};
} // namespace

TEST_F(ProgramTest, FirstStartWritesEveryKeyAndASecondStartLeavesItAlone)
{
    Program first(home);
    first.Start();
    ASSERT_TRUE(WaitFor([&] { return fs::exists(SettingsFile()); }, 10000));
    ASSERT_TRUE(WaitFor([&] { return !WindowId().empty(); }, 10000)) << "no main window";
    const std::string text = ReadFile(SettingsFile());
    for (const char* key : {"driver=", "indev=", "outdev=", "in1=", "in2=", "out1=", "out2=", "monoinput=",
                            "iovs=", "sigvs=", "sr=", "inchan=", "outchan="}) {
        EXPECT_NE(text.find(key), std::string::npos) << key;
    }
    EXPECT_NE(text.find("[audio]"), std::string::npos);
    EXPECT_NE(text.find("[midi]"), std::string::npos);
    const auto written = fs::last_write_time(SettingsFile());

    Program second(home);
    second.Start();
    EXPECT_EQ(second.Wait(10000), 0);
    EXPECT_EQ(ReadFile(SettingsFile()), text);
    EXPECT_EQ(fs::last_write_time(SettingsFile()), written);
    EXPECT_TRUE(first.Running());
}

TEST_F(ProgramTest, AudioRunsThroughTheEffectAndTheGainKnobTurnsItDown)
{
    JackServer server;
    REQUIRE_SERVICE(server.Start(44100, 512), "jackd with the dummy driver could not be started");
    fs::create_directories(home / "config" / "Snarlbox");
    std::ofstream(SettingsFile()) << "[audio]\ndriver=1\nindev=system\noutdev=system\nsr=44100\niovs=512\nsigvs=32\n"
                                     "[midi]\nindev=off\noutdev=off\n";
    DcClient tester;
    ASSERT_TRUE(tester.Open(0.5f));
    Program program(home);
    program.Start();
    ASSERT_TRUE(tester.Connect()) << "the program's JACK ports never appeared";
    // Default knobs: the output is a quarter of the input once warm-up and fade are over.
    ASSERT_TRUE(WaitFor([&] { return tester.Last(0) == 0.125f && tester.Last(1) == 0.125f; }, 10000))
        << tester.Last(0) << " " << tester.Last(1);

    // Audio starts before the window opens.
    ASSERT_TRUE(WaitFor([&] { return !WindowId().empty(); }, 10000)) << "no main window";
    const std::string window = WindowId();
    // The window's geometry gives the editor's origin below the menu bar.
    const std::string geometry = Shell("xdotool getwindowgeometry --shell " + window);
    int x = 0, y = 0, height = 0;
    std::istringstream lines(geometry);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("X=", 0) == 0) x = std::stoi(line.substr(2));
        if (line.rfind("Y=", 0) == 0) y = std::stoi(line.substr(2));
        if (line.rfind("HEIGHT=", 0) == 0) height = std::stoi(line.substr(7));
    }
    const int editorTop = y + height - 175;
    ASSERT_GE(height, 175) << geometry;
    // Drag the Gain knob (564, 68 in the editor) 100 pixels down.
    const int kx = x + 564, ky = editorTop + 68;
    Shell("xdotool mousemove " + std::to_string(kx) + " " + std::to_string(ky) + " mousedown 1");
    for (int step = 1; step <= 10; ++step) {
        Shell("xdotool mousemove " + std::to_string(kx) + " " + std::to_string(ky + 10 * step));
    }
    Shell("xdotool mouseup 1");
    ASSERT_TRUE(WaitFor([&] { return tester.Last(0) < 0.1f && tester.Last(0) > 0.0f; }, 5000)) << tester.Last(0);
    EXPECT_TRUE(program.Running());
}

TEST_F(ProgramTest, MidiFromTheInputPortComesOutOfTheOutputPort)
{
    JackServer server;
    REQUIRE_SERVICE(server.Start(44100, 512), "jackd with the dummy driver could not be started");
    MidiClient tester;
    ASSERT_TRUE(tester.Open());
    fs::create_directories(home / "config" / "Snarlbox");
    std::ofstream(SettingsFile()) << "[audio]\ndriver=1\nindev=none\noutdev=none\n"
                                     "[midi]\nindev=program-midi:out\noutdev=program-midi:in\ninchan=0\noutchan=10\n";
    Program program(home);
    program.Start();
    ASSERT_TRUE(WaitFor([&] { return !WindowId().empty(); }, 10000)) << "no main window";
    REQUIRE_SERVICE(ReadFile(SettingsFile()).find("indev=program-midi:out") != std::string::npos,
                    "the MIDI back end in use does not list JACK MIDI ports");
    // Notes are sent until one comes back, as the program connects its ports after start-up.
    const bool through = WaitFor(
        [&] {
            tester.Send({0x93, 0x40, 0x7F});
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            return !tester.Received().empty();
        },
        20000);
    ASSERT_TRUE(through) << "no MIDI came through";
    const auto received = tester.Received();
    // Output channel 10: the note leaves re-channelled, three bytes.
    EXPECT_EQ(received.front(), (std::vector<uint8_t>{0x99, 0x40, 0x7F}));
    EXPECT_TRUE(program.Running());
}

TEST_F(ProgramTest, QuitFromTheMenuEndsWithZeroAndWritesNothing)
{
    Program program(home);
    program.Start();
    ASSERT_TRUE(WaitFor([&] { return !WindowId().empty() && fs::exists(SettingsFile()); }, 10000));
    const std::string text = ReadFile(SettingsFile());
    const auto written = fs::last_write_time(SettingsFile());
    const std::string window = WindowId();
    Shell("xdotool windowfocus --sync " + window + " 2>/dev/null; xdotool key --window " + window + " alt+f");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Shell("xdotool key q");
    const int code = program.Wait(8000);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(SettingsFile()), text);
    EXPECT_EQ(fs::last_write_time(SettingsFile()), written);
}
