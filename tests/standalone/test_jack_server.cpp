#include "tests/support/ReclaimDeadJackTestServers.h"
#include "tests/support/RequireService.h"
#include "JackServer.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <algorithm>
#include <dirent.h>
#include <string>
#include <vector>

namespace {

// Files in /dev/shm that carry the server's name.
int FilesOf(const std::string& server)
{
    int count = 0;
    if (DIR* dir = opendir("/dev/shm")) {
        while (dirent* entry = readdir(dir)) {
            count += std::string(entry->d_name).find("_" + server + "_") != std::string::npos;
        }
        closedir(dir);
    }
    return count;
}

bool AcceptsClients(const std::string& server)
{
    jack_status_t status{};
    jack_client_t* client = jack_client_open(
        "snarlbox-reclaim-test", static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
        server.c_str());
    if (client == nullptr) {
        return false;
    }
    jack_client_close(client);
    return true;
}

bool Contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

// A test server that crashed leaves its registry slot and files behind; the
// reclaim frees them by name and leaves a running server alone.
TEST(JackTestServers, CrashedServerIsReclaimedRunningOneIsLeftAlone)
{
    JackServer running;
    JackServer crashed;
    REQUIRE_SERVICE(running.Start(), "jackd with the dummy driver could not be started");
    ASSERT_TRUE(crashed.Start());
    const std::string name = crashed.Name();
    ASSERT_GT(FilesOf(name), 0);
    crashed.Kill();
    ASSERT_GT(FilesOf(name), 0) << "a killed server should leave its files";

    const JackTestServerReclaim result = ReclaimDeadJackTestServers();
    EXPECT_TRUE(result.registryLocked);
    EXPECT_TRUE(Contains(result.reclaimed, name));
    EXPECT_FALSE(Contains(result.reclaimed, running.Name()));
    EXPECT_GT(result.freeSlots, 0);
    EXPECT_EQ(FilesOf(name), 0);
    EXPECT_GT(FilesOf(running.Name()), 0);
    EXPECT_TRUE(AcceptsClients(running.Name()));

    // Its slot is free again: a new test server starts.
    JackServer next;
    EXPECT_TRUE(next.Start());
}
