// The JACK back end against a private server that quits in order (SIGTERM):
// the server's last notices still arrive after the shutdown notice, and the
// close that follows at once must never hang inside libjack.
#include "tests/support/RequireService.h"
#include "tests/support/WaitFor.h"
#include "JackServer.h"

#include "standalone/JackBackEnd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

void Silence(void*, double* output, const double*, uint32_t frames, bool)
{
    std::fill(output, output + 2 * static_cast<size_t>(frames), 0.0);
}

// A close that hangs holds a lock of libjack's for ever: nothing in the
// process could report it, so the watchdog ends the process with the reason.
TEST(JackBackEndLoss, ClosingRightAfterTheServerQuitsInOrderNeverHangs)
{
    JackServer server;
    for (int round = 0; round < 30; ++round) {
        REQUIRE_SERVICE(server.Start(48000, 256), "jackd with the dummy driver could not be started");
        JackBackEnd end("snarlbox-loss", nullptr);
        AudioRoute route;
        route.inputDevice = "system";
        route.outputDevice = "system";
        std::string error;
        ASSERT_TRUE(end.Open(route, &Silence, nullptr, &error) && end.Start(&error)) << error;
        ASSERT_TRUE(WaitFor([&] { return end.Cycles() > 2; }, 5000)) << round;

        // The close follows the notice as closely as the engine's would.
        std::thread quit([&] { server.Stop(); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!end.Lost() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        const bool lost = end.Lost();
        std::atomic<bool> closed{false};
        std::thread watchdog([&, round] {
            for (int ms = 0; ms < 10000 && !closed.load(); ms += 10) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (!closed.load()) {
                std::fprintf(stderr, "round %d: closing the client after the server quit hangs in libjack\n", round);
                _exit(1);
            }
        });
        end.Close();
        closed = true;
        watchdog.join();
        quit.join();
        ASSERT_TRUE(lost) << "the shutdown notice never came, round " << round;
    }
}

} // namespace
