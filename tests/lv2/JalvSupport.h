#pragma once

// jalv on a private JACK server, and a JACK client that feeds the plug-in a
// constant level and keeps what comes back. Test thread only.

#include "tests/lv2/Lv2TestSupport.h"
#include "tests/support/WaitFor.h"

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>

inline constexpr jack_nframes_t kPeriod = 256;

// A JACK client that feeds a constant level per channel into the plug-in and
// keeps one whole cycle of what comes back whenever asked to.
class LevelProbe {
public:
    bool Open(float leftLevel, float rightLevel)
    {
        levels[0] = leftLevel;
        levels[1] = rightLevel;
        jack_status_t status{};
        client = jack_client_open("snarlbox-lv2-probe", JackNoStartServer, &status);
        if (client == nullptr) {
            return false;
        }
        for (int c = 0; c < 2; ++c) {
            const char* side = c == 0 ? "l" : "r";
            feed[c] = jack_port_register(client, (std::string("feed_") + side).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsOutput, 0);
            back[c] = jack_port_register(client, (std::string("back_") + side).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsInput, 0);
            kept[c].assign(kPeriod, 0.0f);
        }
        jack_set_process_callback(client, &LevelProbe::Process, this);
        return jack_activate(client) == 0;
    }
    ~LevelProbe()
    {
        if (client != nullptr) {
            jack_deactivate(client);
            jack_client_close(client);
        }
    }
    bool Connect(const std::string& host)
    {
        const char* ins[2] = {"in_l", "in_r"};
        const char* outs[2] = {"out_l", "out_r"};
        for (int c = 0; c < 2; ++c) {
            // An earlier, partly successful try may have made some already.
            const int in = jack_connect(client, jack_port_name(feed[c]), (host + ":" + ins[c]).c_str());
            const int out = jack_connect(client, (host + ":" + outs[c]).c_str(), jack_port_name(back[c]));
            if ((in != 0 && in != EEXIST) || (out != 0 && out != EEXIST)) {
                return false;
            }
        }
        return true;
    }
    // Asks for the next whole cycle and waits for it.
    bool KeepNextCycle()
    {
        keptReady.store(false);
        wanted.store(true);
        return WaitFor([&] { return keptReady.load(); }, 5000);
    }

    std::vector<float> kept[2];

private:
    static int Process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<LevelProbe*>(arg);
        const bool keep = self->wanted.load() && frames == kPeriod;
        for (int c = 0; c < 2; ++c) {
            auto* out = static_cast<float*>(jack_port_get_buffer(self->feed[c], frames));
            const auto* in = static_cast<const float*>(jack_port_get_buffer(self->back[c], frames));
            std::fill(out, out + frames, self->levels[c]);
            if (keep) {
                std::copy(in, in + frames, self->kept[c].begin());
            }
        }
        if (keep) {
            self->wanted.store(false);
            self->keptReady.store(true);
        }
        return 0;
    }

    jack_client_t* client = nullptr;
    jack_port_t* feed[2] = {};
    jack_port_t* back[2] = {};
    float levels[2] = {0.0f, 0.0f};
    std::atomic<bool> wanted{false};
    std::atomic<bool> keptReady{false};
};

// jalv (or one of its toolkit forms, given as program) with its standard
// input on a pipe: closing the pipe asks the console form to quit, SIGTERM
// the others. clientName empty: the host's own JACK name.
class Jalv {
public:
    explicit Jalv(std::string program = "jalv") : program(std::move(program)) {}

    bool Start(const std::string& clientName, const std::string& controls, const std::string& log)
    {
        int fds[2];
        if (pipe(fds) != 0) {
            return false;
        }
        const std::string command = std::string("exec env ") + SNARLBOX_TOOL_ENV + " LV2_PATH='" + Lv2Path() +
                                    ":/usr/lib/lv2' " + program + (clientName.empty() ? "" : " -n " + clientName) + " " + controls +
                                    " urn:brimvale:snarlbox >'" + log + "' 2>&1";
        pid = fork();
        if (pid == 0) {
            dup2(fds[0], STDIN_FILENO);
            close(fds[0]);
            close(fds[1]);
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[0]);
        input = fds[1];
        return pid > 0;
    }
    // Closes its input and waits for it to end; true when it ended by itself.
    bool Quit()
    {
        if (pid <= 0) {
            return false;
        }
        close(input);
        input = -1;
        if (program != "jalv") {
            kill(pid, SIGTERM);
        }
        int status = 0;
        const bool ended = WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10000);
        if (!ended) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        pid = -1;
        return ended;
    }
    bool Running() const { return pid > 0 && kill(pid, 0) == 0; }
    ~Jalv() { Quit(); }

private:
    std::string program;
    pid_t pid = -1;
    int input = -1;
};

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
