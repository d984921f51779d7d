#pragma once

#include "core/IAudioPlugin.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

// Holds the plug-in lock on another thread as a block would, makes call on
// this thread meanwhile, and keeps the block going long enough (20 ms) for a
// call that does not wait for the lock to finish inside it. True when, in each
// of five rounds, call returned only after the block had ended and watched
// read the same at the block's end as at its start. Test thread.
inline bool CallWaitsForTheBlock(
    IAudioPlugin& plugin, const std::function<void()>& call, const std::function<double()>& watched = [] { return 0.0; })
{
    for (int round = 0; round < 5; ++round) {
        std::atomic<bool> inside{false};
        std::atomic<bool> calling{false};
        std::atomic<bool> blockOver{false};
        bool watchedChanged = false;
        std::thread audio([&] {
            plugin.EnterPluginLock();
            const double before = watched();
            inside.store(true);
            while (!calling.load()) {
                std::this_thread::yield();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            watchedChanged = watched() != before;
            blockOver.store(true);
            plugin.LeavePluginLock();
        });
        while (!inside.load()) {
            std::this_thread::yield();
        }
        calling.store(true);
        call();
        const bool returnedInside = !blockOver.load();
        audio.join();
        if (returnedInside || watchedChanged) {
            return false;
        }
    }
    return true;
}
