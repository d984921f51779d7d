#include "JackServer.h"

#include "tests/support/ReclaimDeadJackTestServers.h"

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <vector>

namespace {

std::atomic<int> serverCounter{0};

void SilentJackError(const char*) {}

bool ServerAcceptsClients(const std::string& name)
{
    jack_status_t status{};
    jack_client_t* client = jack_client_open(
        "snarlbox-probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status, name.c_str());
    if (client == nullptr) {
        return false;
    }
    jack_client_close(client);
    return true;
}

} // namespace

JackServer::~JackServer() { Stop(); }

bool JackServer::Start(int rate, int period, const std::string& name, int ports)
{
    Stop();
    ReclaimDeadJackTestServers();
    serverName = name.empty() ? kJackTestServerPrefix + std::to_string(getpid()) + "-" + std::to_string(serverCounter++)
                              : name;
    setenv("JACK_DEFAULT_SERVER", serverName.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    jack_set_error_function(SilentJackError);
    jack_set_info_function(SilentJackError);

    const std::string rateText = std::to_string(rate);
    const std::string periodText = std::to_string(period);
    const std::string portsText = std::to_string(ports);
    std::vector<const char*> args = {"jackd", "--no-realtime", "-n", serverName.c_str(), "-d", "dummy",
                                     "-r", rateText.c_str(), "-p", periodText.c_str(), "-C", portsText.c_str(),
                                     "-P", portsText.c_str(), nullptr};
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        // A test process that is killed takes its server with it, so no
        // server outlives the test that owns its name.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        execvp("jackd", const_cast<char* const*>(args.data()));
        _exit(127);
    }
    pid = child;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return false;
        }
        if (ServerAcceptsClients(serverName)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Stop();
    return false;
}

void JackServer::Pause()
{
    if (pid > 0) {
        kill(pid, SIGSTOP);
    }
}

void JackServer::Resume()
{
    if (pid > 0) {
        kill(pid, SIGCONT);
    }
}

void JackServer::Kill()
{
    if (pid <= 0) {
        return;
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
}

void JackServer::Stop()
{
    if (pid <= 0) {
        return;
    }
    kill(pid, SIGCONT);
    kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid = -1;
}

