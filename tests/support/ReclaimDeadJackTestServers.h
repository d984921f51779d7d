#pragma once

#include <string>
#include <vector>

// Names of the private JACK servers that tests start: this prefix, the pid of
// the test process that started the server, a dash and a counter.
inline constexpr const char* kJackTestServerPrefix = "snarlbox-test-";

// What ReclaimDeadJackTestServers found and did.
struct JackTestServerReclaim {
    std::vector<std::string> reclaimed; // names of dead test servers cleared
    int heldSlots = 0;                  // slots left to running servers and to other users' or other names' servers
    int freeSlots = 0;                  // registry slots free afterwards
    bool registryLocked = true;         // false: JACK's registry lock was busy, nothing was changed
};

// JACK keeps eight server slots in a registry in shared memory and frees a
// dead server's slot only for a server of the same name, so test servers that
// were killed (each with a name of its own) fill it until no server starts.
// Clears the slots of our test servers whose process is gone, the shared
// memory segments they allocated and their files in /dev/shm, by name, under
// JACK's own registry lock; files of dead test servers that no longer hold a
// slot go too. Running servers, other names and other users' servers are
// never touched. Test thread or the reclaim tool only; not real-time safe.
JackTestServerReclaim ReclaimDeadJackTestServers();
