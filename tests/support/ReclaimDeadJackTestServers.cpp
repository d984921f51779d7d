#include "tests/support/ReclaimDeadJackTestServers.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sys/mman.h>
#include <sys/sem.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The registry file and its layout: a 24-byte header (magic, protocol, type,
// size, header length, entry length), eight server slots of a 32-bit pid and
// the label "jack-<uid>:<name>:", then the shared memory segments, each a
// 16-bit index, its allocator's pid, its size and its name.
constexpr const char* kRegistryFile = "/dev/shm/jack-shm-registry";
constexpr uint32_t kMagic = 0x4A41434B;
constexpr size_t kHeader = 24;
constexpr size_t kSlot = 264;
constexpr int kSlots = 8;
constexpr size_t kEntry = 268;
constexpr size_t kEntryPid = 4;
constexpr size_t kEntrySize = 8;
constexpr size_t kEntryName = 12;
// JACK guards the registry with this System V semaphore.
constexpr key_t kRegistryLockKey = 0x282929;

uint32_t ReadU32(const unsigned char* at)
{
    uint32_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

bool ProcessExists(pid_t pid)
{
    return pid > 0 && (kill(pid, 0) == 0 || errno != ESRCH);
}

// A server's pid may have been taken by another program since it died.
bool JackdRuns(pid_t pid)
{
    if (!ProcessExists(pid)) {
        return false;
    }
    // "<pid> (<command>) <state> ...": a zombie holds nothing any more.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return true; // cannot tell: leave it alone
    }
    const size_t open = line.find('(');
    const size_t close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 2 >= line.size()) {
        return true;
    }
    const char state = line[close + 2];
    return line.compare(open + 1, 5, "jackd") == 0 && state != 'Z' && state != 'X';
}

// The test process's pid in "snarlbox-test-<pid>-<n>", or -1.
pid_t StarterOf(const std::string& name)
{
    const size_t prefix = std::strlen(kJackTestServerPrefix);
    if (name.rfind(kJackTestServerPrefix, 0) != 0) {
        return -1;
    }
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix, &end, 10);
    return end != name.c_str() + prefix && *end == '-' && pid > 0 ? static_cast<pid_t>(pid) : -1;
}

// The server name inside a /dev/shm file name ("jack_sem.<uid>_<name>_system",
// "jack_<name>_<uid>_0"), or empty.
std::string ServerNameInFile(const std::string& file)
{
    const size_t at = file.find(kJackTestServerPrefix);
    if (file.rfind("jack", 0) != 0 || at == std::string::npos) {
        return std::string();
    }
    const size_t end = file.find('_', at);
    return file.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// Removes our /dev/shm files of the named servers.
void RemoveServerFiles(const std::set<std::string>& names)
{
    DIR* dir = opendir("/dev/shm");
    if (dir == nullptr) {
        return;
    }
    while (dirent* entry = readdir(dir)) {
        const std::string file = entry->d_name;
        const std::string path = "/dev/shm/" + file;
        struct stat info {};
        if (names.count(ServerNameInFile(file)) != 0 && lstat(path.c_str(), &info) == 0 && info.st_uid == getuid()) {
            unlink(path.c_str());
        }
    }
    closedir(dir);
}

class RegistryLock {
public:
    RegistryLock()
    {
        id = semget(kRegistryLockKey, 1, 0);
        if (id < 0) {
            return; // no server ever ran since boot: nobody to race with
        }
        sembuf take{0, -1, SEM_UNDO};
        timespec wait{2, 0};
        locked = semtimedop(id, &take, 1, &wait) == 0;
        busy = !locked;
    }
    ~RegistryLock()
    {
        if (locked) {
            sembuf give{0, 1, SEM_UNDO};
            semop(id, &give, 1);
        }
    }
    RegistryLock(const RegistryLock&) = delete;
    RegistryLock& operator=(const RegistryLock&) = delete;
    bool Busy() const { return busy; }

private:
    int id = -1;
    bool locked = false;
    bool busy = false;
};

// Frees the segments that a dead server allocated, by their names.
void ReleaseSegmentsOf(unsigned char* registry, size_t size, int32_t pid)
{
    for (size_t at = kHeader + kSlots * kSlot; at + kEntry <= size; at += kEntry) {
        unsigned char* entry = registry + at;
        int32_t allocator = 0;
        std::memcpy(&allocator, entry + kEntryPid, sizeof allocator);
        if (allocator != pid) {
            continue;
        }
        const char* name = reinterpret_cast<const char*>(entry + kEntryName);
        if (name[0] == '/' && strnlen(name, kEntry - kEntryName) < kEntry - kEntryName) {
            shm_unlink(name);
        }
        std::memset(entry + kEntryPid, 0, kEntry - kEntryPid); // the index stays
    }
}

} // namespace

JackTestServerReclaim ReclaimDeadJackTestServers()
{
    JackTestServerReclaim result;
    std::set<std::string> liveTestServers;
    std::set<std::string> dead;
    const std::string ownLabel = "jack-" + std::to_string(getuid()) + ":";
    {
        RegistryLock lock;
        if (lock.Busy()) {
            result.registryLocked = false;
            return result;
        }
        const int fd = open(kRegistryFile, O_RDWR);
        struct stat info {};
        if (fd >= 0 && fstat(fd, &info) == 0 && static_cast<size_t>(info.st_size) >= kHeader + kSlots * kSlot) {
            const size_t size = static_cast<size_t>(info.st_size);
            void* map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            auto* bytes = static_cast<unsigned char*>(map);
            if (map != MAP_FAILED && ReadU32(bytes) == kMagic && ReadU32(bytes + 16) == kHeader + kSlots * kSlot &&
                ReadU32(bytes + 20) == kEntry) {
                const size_t used = ReadU32(bytes + 12) < size ? ReadU32(bytes + 12) : size;
                for (int i = 0; i < kSlots; ++i) {
                    unsigned char* slot = bytes + kHeader + i * kSlot;
                    int32_t pid = 0;
                    std::memcpy(&pid, slot, sizeof pid);
                    const char* text = reinterpret_cast<const char*>(slot + 4);
                    const std::string label(text, strnlen(text, kSlot - 4));
                    if (pid <= 0) {
                        ++result.freeSlots;
                        continue;
                    }
                    const size_t last = label.rfind(':');
                    const bool ours = label.rfind(ownLabel, 0) == 0 && last != std::string::npos &&
                                      last > ownLabel.size();
                    const std::string name = ours ? label.substr(ownLabel.size(), last - ownLabel.size()) : "";
                    const bool testServer = name.rfind(kJackTestServerPrefix, 0) == 0;
                    if (!testServer || JackdRuns(pid)) {
                        ++result.heldSlots;
                        if (testServer) {
                            liveTestServers.insert(name);
                        }
                        continue;
                    }
                    ReleaseSegmentsOf(bytes, used, pid);
                    std::memset(slot, 0, kSlot);
                    ++result.freeSlots;
                    dead.insert(name);
                    result.reclaimed.push_back(name);
                }
            }
            if (map != MAP_FAILED) {
                munmap(map, size);
            }
        }
        if (fd >= 0) {
            close(fd);
        }
    }

    // Files of test servers that hold no slot any more and whose test process
    // has gone as well.
    if (DIR* dir = opendir("/dev/shm")) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = ServerNameInFile(entry->d_name);
            const pid_t starter = StarterOf(name);
            if (starter > 0 && liveTestServers.count(name) == 0 && !ProcessExists(starter)) {
                dead.insert(name);
            }
        }
        closedir(dir);
    }
    RemoveServerFiles(dead);
    return result;
}
