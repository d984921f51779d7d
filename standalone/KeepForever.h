#pragma once

#include <memory>
#include <mutex>
#include <vector>

// Keeps an object of an audio or MIDI server that went away for the rest of
// the process, never touched again: the library may still reach it from a
// thread of its own, and any call on it, deleting included, may reach memory
// the library already freed. The objects stay reachable, so leak checkers
// see what is kept on purpose.
// Any thread but the audio thread; allocates.
template <typename T> void KeepForever(std::unique_ptr<T> object)
{
    static auto* lock = new std::mutex;
    static auto* kept = new std::vector<T*>;
    std::lock_guard<std::mutex> held(*lock);
    kept->push_back(object.release());
}
