// The snarlbox program started as users start it, for the program's tests:
// a private configuration and runtime folder, arguments and environment of
// the test's choice, and a JACK client that feeds and records its ports.
#pragma once

#include "tests/support/RequireService.h"
#include "tests/support/WaitFor.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// For a program whose Quit is timed: under AddressSanitizer the suites' full
// stack on every allocation alone makes GTK's teardown take about two
// seconds, so that run unwinds the fast way. Fast stacks miss the library
// frames the leak suppressions name, so its leak check is left to the other
// program tests. Nothing changes in a build without the sanitizer.
inline std::string TimedQuitSanitizerOptions()
{
    const char* options = std::getenv("ASAN_OPTIONS");
    return "ASAN_OPTIONS=" + std::string(options != nullptr ? options : "") + ":fast_unwind_on_malloc=1:detect_leaks=0";
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

class Program {
public:
    explicit Program(const fs::path& home, std::vector<std::string> args = {}, std::vector<std::string> env = {})
        : home(home), args(std::move(args)), extraEnvironment(std::move(env))
    {
    }
    ~Program() { Kill(); }

    // stdoutFd: where the program's standard output goes (-1: inherited);
    // its standard error goes to the file stderrPath when one is given.
    void Start(int stdoutFd = -1, const fs::path& stderrPath = fs::path())
    {
        // All the child needs is made before the fork: this process runs
        // JACK threads, and a child of a threaded process may call only
        // async-signal-safe functions until exec (no setenv, no fopen).
        std::vector<std::string> environment;
        for (char** variable = environ; *variable != nullptr; ++variable) {
            const std::string text = *variable;
            bool replaced = text.rfind("XDG_CONFIG_HOME=", 0) == 0 || text.rfind("XDG_RUNTIME_DIR=", 0) == 0;
            for (const std::string& extra : extraEnvironment) {
                // "NAME=" with nothing after it removes the variable.
                const std::string name = extra.substr(0, extra.find('=') + 1);
                replaced = replaced || text.rfind(name, 0) == 0;
            }
            if (!replaced) {
                environment.push_back(text);
            }
        }
        environment.push_back("XDG_CONFIG_HOME=" + (home / "config").string());
        environment.push_back("XDG_RUNTIME_DIR=" + (home / "runtime").string());
        for (const std::string& extra : extraEnvironment) {
            if (extra.back() != '=') {
                environment.push_back(extra);
            }
        }
        std::vector<char*> envp;
        for (std::string& text : environment) {
            envp.push_back(text.data());
        }
        envp.push_back(nullptr);
        const std::string errorPath = stderrPath.string();
        char program[] = SNARLBOX_PROGRAM;
        std::vector<std::string> argText = args;
        std::vector<char*> argv = {program};
        for (std::string& arg : argText) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        pid = fork();
        if (pid == 0) {
            if (stdoutFd >= 0) {
                dup2(stdoutFd, STDOUT_FILENO);
            }
            if (!errorPath.empty()) {
                const int err = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (err >= 0) {
                    dup2(err, STDERR_FILENO);
                }
            }
            execve(program, argv.data(), envp.data());
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
    void Signal(int number)
    {
        if (pid > 0) {
            kill(pid, number);
        }
    }
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
    std::vector<std::string> args;
    std::vector<std::string> extraEnvironment;
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
        // What the program said, for a failed test.
        if (HasFailure() && fs::exists(home / "stderr.txt")) {
            std::printf("--- the program's standard error:\n%s---\n", ReadFile(home / "stderr.txt").c_str());
        }
        if (!home.empty()) {
            std::error_code ignored;
            fs::remove_all(home, ignored);
        }
    }
    fs::path SettingsFile() const { return home / "config" / "Snarlbox" / "settings.ini"; }
    void WriteSettings(const std::string& text)
    {
        fs::create_directories(home / "config" / "Snarlbox");
        std::ofstream(SettingsFile()) << text;
    }
    // Quit from the menu; the time from the key to the end of the process,
    // in milliseconds, and its exit code.
    std::pair<int, int> QuitFromTheMenu(Program& program)
    {
        const std::string window = WindowId();
        if (window.empty()) {
            return {-1, -1}; // no window to quit from (xdotool would wait on an empty id)
        }
        Shell("timeout 5 xdotool windowfocus --sync " + window + " 2>/dev/null; xdotool key --window " + window + " alt+f");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        Shell("xdotool key q");
        const auto pressed = std::chrono::steady_clock::now();
        const int code = program.Wait(10000);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pressed);
        return {static_cast<int>(ms.count()), code};
    }
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
        jack_on_shutdown(client, [](void* self) { static_cast<DcClient*>(self)->dead = true; }, this);
        jack_set_process_callback(client, &DcClient::Process, this);
        jack_set_xrun_callback(
            client,
            [](void* self) {
                static_cast<DcClient*>(self)->xruns.fetch_add(1, std::memory_order_relaxed);
                return 0;
            },
            this);
        return jack_activate(client) == 0;
    }
    ~DcClient()
    {
        // A client whose server was killed is left alone.
        if (client != nullptr && !dead) {
            jack_deactivate(client);
            jack_client_close(client);
        }
    }
    // Connects to the program's ports once they exist.
    bool Connect()
    {
        return WaitFor(
            [&] {
                const char** in = jack_get_ports(client, (programClient + ":inport").c_str(), nullptr, JackPortIsInput);
                const char** out =
                    jack_get_ports(client, (programClient + ":outport").c_str(), nullptr, JackPortIsOutput);
                bool ok = in != nullptr && out != nullptr && in[0] && in[1] && out[0] && out[1];
                // Ports show before their client is activated, and JACK refuses
                // to connect them until then: try again.
                for (int c = 0; ok && c < 2; ++c) {
                    const int fed = jack_connect(client, jack_port_name(feed[c]), in[c]);
                    const int recorded = jack_connect(client, out[c], jack_port_name(rec[c]));
                    ok = (fed == 0 || fed == EEXIST) && (recorded == 0 || recorded == EEXIST);
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
        // Late on purpose now and then: the server counts an xrun for every client.
        const int every = self->stallEvery.load(std::memory_order_relaxed);
        if (every > 0 && ++self->cycles % every == 0) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(12);
            while (std::chrono::steady_clock::now() < until) {
            }
        }
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
    std::atomic<bool> dead{false};
    std::atomic<int> stallEvery{0}; // cycles between late ones; 0: never late
    int cycles = 0;                 // process thread only
    std::atomic<int> xruns{0};
    std::string programClient = "^Snarlbox(-[0-9]+)?"; // the program's JACK client, a regular expression
};

} // namespace
