#include "JackServer.h"

#include <jack/jack.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace {

std::atomic<int> serverCounter{0};

void SilentJackError(const char*) {}

constexpr const char* kTestServerPrefix = "snarlbox-test-";

// Removes the /dev/shm files a server of this name left behind.
void RemoveServerFiles(const std::string& name)
{
    DIR* dir = opendir("/dev/shm");
    if (dir == nullptr) {
        return;
    }
    const std::string marker = "_" + name + "_";
    while (dirent* entry = readdir(dir)) {
        const std::string file = entry->d_name;
        if (file.rfind("jack", 0) == 0 && file.find(marker) != std::string::npos) {
            unlink(("/dev/shm/" + file).c_str());
        }
    }
    closedir(dir);
}

// JACK keeps eight server slots in its shared registry and reclaims a dead
// server's slot only for a server of the same name, so killed test servers
// (each with a name of its own) fill it up until no server can start. Frees
// the slots of our test servers whose process is gone; live servers and
// servers of other names are never touched. The registry layout: a 24-byte
// header, then eight slots of a 32-bit pid and the name "jack-<uid>:<name>:".
void ReclaimDeadTestServers()
{
    const int fd = open("/dev/shm/jack-shm-registry", O_RDWR);
    if (fd < 0) {
        return;
    }
    struct stat info {};
    constexpr size_t kHeader = 24;
    constexpr size_t kSlot = 264;
    constexpr int kSlots = 8;
    if (fstat(fd, &info) == 0 && static_cast<size_t>(info.st_size) >= kHeader + kSlots * kSlot) {
        void* map = mmap(nullptr, kHeader + kSlots * kSlot, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (map != MAP_FAILED) {
            auto* bytes = static_cast<unsigned char*>(map);
            for (int i = 0; i < kSlots; ++i) {
                unsigned char* slot = bytes + kHeader + i * kSlot;
                int32_t pid = 0;
                std::memcpy(&pid, slot, sizeof pid);
                const std::string label(reinterpret_cast<const char*>(slot + 4), strnlen(reinterpret_cast<const char*>(slot + 4), kSlot - 4));
                const size_t first = label.find(':');
                const size_t last = label.rfind(':');
                if (pid <= 0 || first == std::string::npos || last <= first) {
                    continue;
                }
                const std::string name = label.substr(first + 1, last - first - 1);
                if (name.rfind(kTestServerPrefix, 0) != 0 || kill(pid, 0) == 0 || errno != ESRCH) {
                    continue;
                }
                std::memset(slot, 0, kSlot);
                RemoveServerFiles(name);
            }
            munmap(map, kHeader + kSlots * kSlot);
        }
    }
    close(fd);
}

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
    ReclaimDeadTestServers();
    serverName = name.empty() ? kTestServerPrefix + std::to_string(getpid()) + "-" + std::to_string(serverCounter++)
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
    const pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
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
