// Frees the JACK registry slots, shared memory and files of test servers that
// no longer run, so that the suites' private servers can start. Run by
// scripts/test before each suite; exits 1 when no slot is free afterwards.
#include "tests/support/ReclaimDeadJackTestServers.h"

#include <cstdio>

int main()
{
    const JackTestServerReclaim result = ReclaimDeadJackTestServers();
    if (!result.registryLocked) {
        std::fprintf(stderr, "reclaim_jack_test_servers: JACK's registry lock stayed busy; nothing changed\n");
        return 1;
    }
    for (const std::string& name : result.reclaimed) {
        std::printf("reclaimed dead JACK test server %s\n", name.c_str());
    }
    if (result.freeSlots == 0 && result.heldSlots > 0) {
        std::fprintf(stderr, "reclaim_jack_test_servers: all %d JACK server slots are held by running servers\n",
                     result.heldSlots);
        return 1;
    }
    return 0;
}
