// The snarlbox program itself, started as users start it: under a display
// (a private Xvfb) with a private configuration folder and a private JACK server.
#include "tests/support/RequireService.h"
#include "JackServer.h"
#include "ProgramSupport.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
// A picture of a window as the X server shows it, 8-bit RGB.
struct Shot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

Shot Capture(const std::string& window, const fs::path& file)
{
    Shot shot;
    Shell("import -window " + window + " " + file.string());
    std::istringstream size(Shell("identify -format '%w %h' " + file.string()));
    size >> shot.width >> shot.height;
    if (shot.width <= 0 || shot.height <= 0) {
        return Shot{};
    }
    shot.rgb.resize(static_cast<size_t>(shot.width) * shot.height * 3);
    if (FILE* pipe = popen(("convert " + file.string() + " -depth 8 rgb:-").c_str(), "r")) {
        const size_t got = fread(shot.rgb.data(), 1, shot.rgb.size(), pipe);
        pclose(pipe);
        if (got != shot.rgb.size()) {
            return Shot{};
        }
    }
    return shot;
}

// The first row of the editor: the first dark row down the middle of the
// window (the menu bar above it is light); -1 when there is none.
int EditorTop(const Shot& shot)
{
    for (int y = 0; y < shot.height; ++y) {
        const unsigned char* p = shot.At(327, y);
        if (p[0] + p[1] + p[2] < 3 * 110) {
            return y;
        }
    }
    return -1;
}

// Pixels of the rows from top to bottom (exclusive) that differ between two shots.
int DifferentPixels(const Shot& a, const Shot& b, int top, int bottom)
{
    int different = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < a.width; ++x) {
            different += std::memcmp(a.At(x, y), b.At(x, y), 3) != 0 ? 1 : 0;
        }
    }
    return different;
}

// Pixels of the light in the rows from top on: green while audio plays,
// amber while it waits for something to come back.
int LightPixels(const Shot& shot, int top, bool green)
{
    int count = 0;
    for (int y = top; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const int r = shot.At(x, y)[0], g = shot.At(x, y)[1], b = shot.At(x, y)[2];
            const bool isGreen = g > 110 && g > r + 60 && g > b + 50;
            const bool isAmber = r > 170 && g > 100 && g < 190 && b < 70;
            count += (green ? isGreen : isAmber) ? 1 : 0;
        }
    }
    return count;
}

// One run of the program with its own configuration and runtime folders.
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

    // Audio may start before the window shows (it is started first).
    ASSERT_TRUE(WaitFor([&] { return !WindowId().empty(); }, 10000)) << "no main window";
    const std::string window = WindowId();
    // The window's position and its picture give the editor's origin
    // between the menu bar and the status line.
    const std::string geometry = Shell("xdotool getwindowgeometry --shell " + window);
    int x = 0, y = 0;
    std::istringstream lines(geometry);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("X=", 0) == 0) x = std::stoi(line.substr(2));
        if (line.rfind("Y=", 0) == 0) y = std::stoi(line.substr(2));
    }
    const int top = EditorTop(Capture(window, home / "window.png"));
    ASSERT_GE(top, 0) << geometry;
    const int editorTop = y + top;
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
    Shell("timeout 5 xdotool windowfocus --sync " + window + " 2>/dev/null; xdotool key --window " + window + " alt+f");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Shell("xdotool key q");
    const int code = program.Wait(8000);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(SettingsFile()), text);
    EXPECT_EQ(fs::last_write_time(SettingsFile()), written);
}

namespace {
const char* const kJackSettings = "[audio]\ndriver=1\nindev=system\noutdev=system\nsr=44100\niovs=512\nsigvs=32\n"
                                  "[midi]\nindev=off\noutdev=off\n";
}

// Quit ends the program with 0 within two seconds whatever the stream does:
// never started (no server), lost a moment ago, its server gone for a
// while, and just stalled by a buffer-size change.
TEST_F(ProgramTest, QuitEndsWithinTwoSecondsInEveryStreamState)
{
    WriteSettings(kJackSettings);
    for (const char* state : {"never started", "just lost", "server gone", "stalled", "server stopped"}) {
        JackServer server;
        const bool withServer = std::string(state) != "never started";
        if (withServer) {
            REQUIRE_SERVICE(server.Start(44100, 512), "jackd with the dummy driver could not be started");
        }
        DcClient tester;
        if (withServer) {
            ASSERT_TRUE(tester.Open(0.5f));
        }
        Program program(home, {}, {TimedQuitSanitizerOptions()});
        program.Start(-1, home / "stderr.txt");
        ASSERT_TRUE(WaitFor([&] { return !WindowId().empty(); }, 20000)) << state;
        if (withServer) {
            ASSERT_TRUE(tester.Connect()) << state;
            ASSERT_TRUE(WaitFor([&] { return tester.Last(0) == 0.125f; }, 10000)) << state;
        }
        if (std::string(state) == "just lost") {
            server.Kill();
        } else if (std::string(state) == "server gone") {
            server.Kill();
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        } else if (std::string(state) == "stalled") {
            jack_set_buffer_size(tester.client, 1024);
        } else if (std::string(state) == "server stopped") {
            // A server that hangs: no call that waits on it may hold Quit up.
            server.Pause();
            std::this_thread::sleep_for(std::chrono::milliseconds(3000));
        }
        const auto [ms, code] = QuitFromTheMenu(program);
        EXPECT_EQ(code, 0) << state;
        EXPECT_LT(ms, 2000) << state;
        std::printf("Quit while %s: %d ms\n", state, ms);
        if (std::string(state) == "server stopped") {
            // The single-instance lock went with the process: a new start opens its window.
            Program next(home);
            next.Start(-1, home / "stderr2.txt");
            EXPECT_TRUE(WaitFor([&] { return !WindowId().empty(); }, 20000)) << "the next start was kept out";
            server.Resume();
            QuitFromTheMenu(next);
        }
    }
}

// A first start, with no settings file, while a JACK server runs: audio goes
// through JACK's "system" device at once, and the choice is saved.
TEST_F(ProgramTest, AFirstStartGoesToARunningJackServer)
{
    JackServer server;
    REQUIRE_SERVICE(server.Start(48000, 256), "jackd with the dummy driver could not be started");
    ASSERT_FALSE(fs::exists(SettingsFile()));
    DcClient tester;
    ASSERT_TRUE(tester.Open(0.5f));
    Program program(home);
    program.Start();
    ASSERT_TRUE(tester.Connect()) << "the program's JACK ports never appeared";
    EXPECT_TRUE(WaitFor([&] { return tester.Last(0) == 0.125f; }, 10000)) << tester.Last(0);
    const std::string saved = ReadFile(SettingsFile());
    EXPECT_NE(saved.find("driver=1"), std::string::npos) << saved;
    EXPECT_NE(saved.find("outdev=system"), std::string::npos) << saved;
    ASSERT_TRUE(WaitFor([&] { return !WindowId().empty(); }, 10000)) << "no main window";
    QuitFromTheMenu(program);
}

// Started before the server: says why there is no sound, then plays once
// the server runs, without the user doing anything.
TEST_F(ProgramTest, StartedBeforeTheServerPlaysWhenItComes)
{
    WriteSettings(kJackSettings);
    // The program learns the server's name from its environment, as from a session.
    const std::string name = "snarlbox-test-" + std::to_string(getpid()) + "-late";
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    Program program(home, {}, {TimedQuitSanitizerOptions()});
    program.Start(-1, home / "stderr.txt");
    ASSERT_TRUE(WaitFor([&] { return !WindowId().empty(); }, 20000));
    ASSERT_TRUE(WaitFor([&] { return ReadFile(home / "stderr.txt").find("JACK server is not running") !=
                                     std::string::npos; },
                        5000))
        << ReadFile(home / "stderr.txt");
    JackServer server;
    REQUIRE_SERVICE(server.Start(44100, 512, name), "jackd with the dummy driver could not be started");
    DcClient tester;
    ASSERT_TRUE(tester.Open(0.5f));
    ASSERT_TRUE(tester.Connect());
    EXPECT_TRUE(WaitFor([&] { return tester.Last(0) == 0.125f; }, 10000)) << tester.Last(0) << "\n" << Shell("jack_lsp -c 2>&1");

    // Killed and started again, it comes back by itself too.
    server.Kill();
    ASSERT_TRUE(server.Start(44100, 512, name));
    DcClient again;
    ASSERT_TRUE(again.Open(0.5f));
    ASSERT_TRUE(again.Connect());
    EXPECT_TRUE(WaitFor([&] { return again.Last(0) == 0.125f; }, 20000)) << again.Last(0);
    const auto [ms, code] = QuitFromTheMenu(program);
    EXPECT_EQ(code, 0);
    EXPECT_LT(ms, 2000);
}

// Channel 0 and sizes no device has: the stream is not opened, the reason
// is said, and the window opens and works.
TEST_F(ProgramTest, ImpossibleSettingsStillOpenTheWindow)
{
    JackServer server;
    REQUIRE_SERVICE(server.Start(44100, 512), "jackd with the dummy driver could not be started");
    WriteSettings("[audio]\ndriver=1\nindev=system\noutdev=system\nin1=0\nout2=65536\nsr=44100\niovs=512\n"
                  "sigvs=32\n[midi]\nindev=off\noutdev=off\n");
    Program program(home);
    program.Start(-1, home / "stderr.txt");
    ASSERT_TRUE(WaitFor([&] { return !WindowId().empty(); }, 20000)) << "no main window";
    ASSERT_TRUE(WaitFor([&] { return ReadFile(home / "stderr.txt").find("input channel 0 does not exist") !=
                                     std::string::npos; },
                        5000))
        << ReadFile(home / "stderr.txt");
    EXPECT_TRUE(program.Running());
    const auto [ms, code] = QuitFromTheMenu(program);
    EXPECT_EQ(code, 0);

    WriteSettings("[audio]\ndriver=1\nindev=system\noutdev=system\nsr=99999999999\niovs=100000\nsigvs=0\n");
    Program huge(home);
    huge.Start(-1, home / "stderr.txt");
    ASSERT_TRUE(WaitFor([&] { return !WindowId().empty(); }, 20000)) << "no main window";
    EXPECT_TRUE(WaitFor([&] { return ReadFile(home / "stderr.txt").find("is not between") != std::string::npos; },
                        5000));
    EXPECT_EQ(QuitFromTheMenu(huge).second, 0);
}

// Standard output a pipe that nobody reads, and a minute of xruns whose
// lines it cannot take: audio keeps flowing and Quit works.
TEST_F(ProgramTest, UnreadStandardOutputNeverStopsAudioOrQuit)
{
    JackServer server;
    REQUIRE_SERVICE(server.Start(44100, 128), "jackd with the dummy driver could not be started");
    WriteSettings("[audio]\ndriver=1\nindev=system\noutdev=system\nsr=44100\niovs=128\nsigvs=32\n"
                  "[midi]\nindev=off\noutdev=off\n");
    // The pipe is full before the program starts: its very first line would block.
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const int flags = fcntl(pipeFds[1], F_GETFL);
    fcntl(pipeFds[1], F_SETFL, flags | O_NONBLOCK);
    const std::string filler(4096, '.');
    while (write(pipeFds[1], filler.data(), filler.size()) > 0) {
    }
    fcntl(pipeFds[1], F_SETFL, flags);
    DcClient tester;
    ASSERT_TRUE(tester.Open(0.5f));
    Program program(home, {}, {TimedQuitSanitizerOptions()});
    program.Start(pipeFds[1], home / "stderr.txt");
    close(pipeFds[1]);
    ASSERT_TRUE(tester.Connect());
    ASSERT_TRUE(WaitFor([&] { return tester.Last(0) == 0.125f; }, 10000));
    // A minute of xruns, each one a line on standard output, checking every
    // ten seconds that sound still comes.
    tester.stallEvery = 40;
    for (int i = 0; i < 6; ++i) {
        std::this_thread::sleep_for(std::chrono::seconds(10));
        tester.last[0] = 0.0f;
        EXPECT_TRUE(WaitFor([&] { return tester.Last(0) == 0.125f; }, 3000)) << "after " << (i + 1) * 10 << " s";
    }
    tester.stallEvery = 0;
    EXPECT_GT(tester.xruns.load(), 100);
    const auto [ms, code] = QuitFromTheMenu(program);
    EXPECT_EQ(code, 0);
    EXPECT_LT(ms, 2000);
    close(pipeFds[0]);
}

// A musician sees at a glance that the sound stopped: the status line's light
// turns from green to amber when the server dies, and nothing else in the
// window changes. Patchbays show the program as "Snarlbox".
TEST_F(ProgramTest, WindowShowsWhenTheServerDies)
{
    JackServer server;
    REQUIRE_SERVICE(server.Start(44100, 512), "jackd with the dummy driver could not be started");
    WriteSettings(kJackSettings);
    DcClient tester;
    ASSERT_TRUE(tester.Open(0.5f));
    Program program(home);
    program.Start(-1, home / "stderr.txt");
    ASSERT_TRUE(tester.Connect()) << "the program's JACK ports never appeared";
    ASSERT_TRUE(WaitFor([&] { return tester.Last(0) == 0.125f; }, 10000));

    // jack_lsp lists the stream's ports under "Snarlbox" (JACK MIDI, used
    // where there is no ALSA sequencer, takes that name first and the server
    // then numbers the stream's client), and nothing under the libraries' names.
    const std::string ports = Shell("jack_lsp 2>&1");
    for (const char* port : {"inport 0", "inport 1", "outport 0", "outport 1"}) {
        bool found = false;
        std::istringstream lines(ports);
        for (std::string line; std::getline(lines, line);) {
            const size_t colon = line.find(':');
            found = found || (line.rfind("Snarlbox", 0) == 0 && colon != std::string::npos &&
                              line.substr(colon + 1) == port &&
                              (colon == 8 || line.compare(8, 1, "-") == 0));
        }
        EXPECT_TRUE(found) << port << " in\n" << ports;
    }
    EXPECT_EQ(ports.find("RtApiJack"), std::string::npos) << ports;
    EXPECT_EQ(ports.find("RtMidi"), std::string::npos) << ports;

    ASSERT_TRUE(WaitFor([&] { return !WindowId().empty(); }, 10000)) << "no main window";
    const std::string window = WindowId();
    ASSERT_TRUE(WaitFor([&] { return LightPixels(Capture(window, home / "before.png"), 0, true) > 10; }, 5000))
        << "no green light while audio runs";
    const Shot before = Capture(window, home / "before.png");

    server.Kill();
    ASSERT_TRUE(WaitFor([&] { return LightPixels(Capture(window, home / "after.png"), 0, false) > 10; }, 8000))
        << "no amber light after the server died";
    const Shot after = Capture(window, home / "after.png");
    ASSERT_EQ(after.width, before.width);
    ASSERT_EQ(after.height, before.height);
    const int top = EditorTop(before);
    ASSERT_GE(top, 0);
    ASSERT_LE(top + 175, before.height);
    EXPECT_EQ(LightPixels(after, top + 175, true), 0);
    EXPECT_GT(DifferentPixels(before, after, top + 175, before.height), 10);
    // The menu bar and the editor look as they did.
    EXPECT_EQ(DifferentPixels(before, after, 0, top + 175), 0);
    EXPECT_EQ(QuitFromTheMenu(program).second, 0);
}

// Ctrl+P opens Preferences, Escape closes it, Ctrl+Q quits with 0.
TEST_F(ProgramTest, ControlPOpensPreferencesAndControlQQuits)
{
    Program program(home);
    program.Start(-1, home / "stderr.txt");
    ASSERT_TRUE(WaitFor([&] { return !WindowId().empty(); }, 20000)) << "no main window";
    const std::string window = WindowId();
    auto preferences = [&] {
        return Shell("xdotool search --onlyvisible --name '^Preferences$' 2>/dev/null | head -n1");
    };
    Shell("timeout 5 xdotool windowfocus --sync " + window + " 2>/dev/null; xdotool key ctrl+p");
    ASSERT_TRUE(WaitFor([&] { return !preferences().empty(); }, 5000)) << "Ctrl+P opened no Preferences";
    Shell("timeout 5 xdotool windowfocus --sync " + preferences() + " 2>/dev/null; xdotool key Escape");
    ASSERT_TRUE(WaitFor([&] { return preferences().empty(); }, 5000)) << "Escape left Preferences open";
    Shell("timeout 5 xdotool windowfocus --sync " + window + " 2>/dev/null; xdotool key ctrl+q");
    EXPECT_EQ(program.Wait(10000), 0);
}
