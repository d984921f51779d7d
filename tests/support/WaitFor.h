#pragma once

#include <chrono>
#include <thread>

// Checks the condition every poll until it holds or the milliseconds have
// passed on the clock (a slow check counts too); one last check at the end.
// Test threads only.
template <typename Condition>
bool WaitFor(Condition condition, int milliseconds = 5000,
             std::chrono::milliseconds poll = std::chrono::milliseconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(poll);
    }
    return condition();
}
