#pragma once

#include <string>
#include <sys/types.h>

// A private JACK server for tests: jackd with the dummy driver under a name
// of its own, made the default server of this process (JACK_DEFAULT_SERVER),
// so RtAudio and the tests' own clients both reach it. Test thread only: the
// server is killed when the thread that started it ends.
class JackServer {
public:
    JackServer() = default;
    // Stops the server if it still runs.
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    // Starts jackd (--no-realtime, dummy driver at rate and period with the
    // given number of capture and playback ports) and waits until it accepts
    // clients. An empty name picks a unique one; the same name may be given
    // again to bring a server back. False on failure.
    bool Start(int rate = 44100, int period = 512, const std::string& name = std::string(), int ports = 2);
    // Asks the server to quit (SIGTERM, then SIGKILL) and reaps it.
    void Stop();
    // Kills the server at once (SIGKILL), as a crash would, and reaps it.
    void Kill();

    // Stops the server in its tracks (SIGSTOP), as a wedged driver leaves
    // it, and lets it go on (SIGCONT).
    void Pause();
    void Resume();

    bool Running() const { return pid > 0; }
    const std::string& Name() const { return serverName; }

private:
    pid_t pid = -1;
    std::string serverName;
};
