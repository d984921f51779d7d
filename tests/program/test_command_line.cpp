// The program's command line and its run without a window.
#include "JackServer.h"
#include "ProgramSupport.h"

#include <regex>

namespace {

class CommandLineTest : public ProgramTest {
protected:
    // Runs the program to its end with args (and env); its exit code and
    // everything it printed.
    std::pair<int, std::string> Run(const std::string& args, const std::string& env = "")
    {
        const std::string out = Shell("env XDG_CONFIG_HOME=" + (home / "config").string() +
                                      " XDG_RUNTIME_DIR=" + (home / "runtime").string() + " " + env + " timeout 20 " +
                                      SNARLBOX_PROGRAM + " " + args + " 2>&1; echo \"exit=$?\"");
        const size_t at = out.rfind("exit=");
        return {std::stoi(out.substr(at + 5)), out.substr(0, at)};
    }
};

TEST_F(CommandLineTest, EachAnswerHasItsExitCodeAndTouchesNoDevice)
{
    struct Case {
        const char* args;
        int code;
        const char* said; // a regular expression the output must hold
    } cases[] = {
        {"--help", 0, "--no-gui .*\n.*--driver=DRIVER .*\n.*--input-device=NAME .*\n.*--output-device=NAME .*\n"
                      ".*--sample-rate=HZ .*\n.*--buffer-size=FRAMES .*\n.*--midi-input=PORT .*\n.*--midi-output=PORT .*\n"
                      ".*--jack-name=NAME .*\n.*--sound=SOUND .*\n.*--list-devices .*\n.*--render .*\n.*--version "},
        {"--version", 0, "^Snarlbox [0-9]+\\.[0-9]+\\.[0-9]+\n$"},
        {"--frobnicate", 2, "^Snarlbox: Unknown option --frobnicate"},
        {"--driver=oss", 2, "^Snarlbox: --driver: \"oss\" is not a driver; use alsa or jack"},
        {"--sample-rate=44k", 2, "^Snarlbox: --sample-rate: \"44k\" is not a sample rate"},
        {"--sample-rate=1000", 2, "^Snarlbox: --sample-rate: \"1000\" is not a sample rate"},
        {"--buffer-size=100", 2, "^Snarlbox: --buffer-size: \"100\" is not a buffer size"},
        {"--jack-name=a:b", 2, "cannot hold \":\""},
        {"--render only.wav", 2, "--render takes an input and an output file"},
        {"stray", 2, "unexpected argument \"stray\""},
        {"--sound='No Such Sound'", 2, "No Such Sound"},
        {"--no-gui --sample-rate", 2, "Missing argument for --sample-rate"},
    };
    for (const Case& c : cases) {
        const auto [code, said] = Run(c.args);
        EXPECT_EQ(code, c.code) << c.args << "\n" << said;
        EXPECT_TRUE(std::regex_search(said, std::regex(c.said))) << c.args << "\n" << said;
    }
    EXPECT_FALSE(fs::exists(home / "config" / "Snarlbox")) << "an answer touched the settings";

    // Without a display and without --no-gui: one line, no toolkit's words.
    const auto [code, said] = Run("", "DISPLAY= WAYLAND_DISPLAY=");
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(std::regex_search(said, std::regex("Snarlbox: no display; start with --no-gui"))) << said;
    EXPECT_EQ(said.find("Gtk"), std::string::npos) << said;

    const auto [alsaCode, alsa] = Run("--list-devices --driver=alsa");
    EXPECT_EQ(alsaCode, 0) << alsa;
    EXPECT_TRUE(std::regex_search(alsa, std::regex("Audio output devices \\(--output-device\\):\n  \\(no ALSA audio device here")))
        << alsa;
}

TEST_F(CommandLineTest, HeadlessRunPlaysUntilSigtermAndLeavesTheSettingsAlone)
{
    JackServer server;
    REQUIRE_SERVICE(server.Start(44100, 512), "jackd with the dummy driver could not be started");
    const auto [listed, list] = Run("--list-devices --driver=jack");
    EXPECT_EQ(listed, 0) << list;
    EXPECT_TRUE(std::regex_search(list, std::regex("Audio input devices \\(--input-device\\):\n  system\n"))) << list;

    // The file says ALSA; this run is told JACK and a client name.
    const std::string settings = "[audio]\ndriver=0\nindev=default\noutdev=default\nsr=44100\niovs=512\nsigvs=32\n"
                                 "in1=1\nin2=2\nout1=1\nout2=2\nmonoinput=0\n[midi]\nindev=off\noutdev=off\ninchan=0\n"
                                 "outchan=0\n\n[sound]\nstartwithlast=0\n";
    WriteSettings(settings);
    const auto written = fs::last_write_time(SettingsFile());
    Program program(home, {"--no-gui", "--driver=jack", "--output-device=system", "--jack-name=Headless"},
                    {"DISPLAY=", "WAYLAND_DISPLAY=", TimedQuitSanitizerOptions()});
    program.Start(-1, home / "stderr.txt");
    DcClient tester;
    tester.programClient = "^Headless";
    ASSERT_TRUE(tester.Open(0.5f));
    ASSERT_TRUE(tester.Connect()) << "no JACK client named Headless";
    ASSERT_TRUE(WaitFor([&] { return tester.Last(0) == 0.125f && tester.Last(1) == 0.125f; }, 10000));
    // The status line's words, with the client's own name.
    const std::string status = "Snarlbox: JACK (Headless) \u00b7 system \u00b7 44100 Hz";
    EXPECT_TRUE(WaitFor([&] { return ReadFile(home / "stderr.txt").find(status) != std::string::npos; }, 5000))
        << ReadFile(home / "stderr.txt");

    const auto [second, secondSaid] = Run("--no-gui", "DISPLAY=");
    EXPECT_EQ(second, 0);
    EXPECT_NE(secondSaid.find("Snarlbox: another Snarlbox runs"), std::string::npos) << secondSaid;

    const auto asked = std::chrono::steady_clock::now();
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(5000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));
    EXPECT_EQ(ReadFile(SettingsFile()), settings);
    EXPECT_EQ(fs::last_write_time(SettingsFile()), written);
}

} // namespace
