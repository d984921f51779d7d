#pragma once

#include <string>

// The single-instance marker: an exclusive flock on Snarlbox.lock (a session
// client's: Snarlbox-<client id>.lock) in the user's runtime folder, released by the kernel when the process ends.
// UI thread only.
class SingleInstanceLock {
public:
    // UI thread only.
    SingleInstanceLock() = default;
    // Releases the lock when held. UI thread only.
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // Takes the lock <name>.lock in folder (the user's runtime folder when
    // null). False
    // when another process (or another lock object) holds it. A lock file
    // that cannot be opened is said on standard error and counts as taken,
    // so the program still runs. UI thread only.
    bool Acquire(const char* folder = nullptr, const char* name = "Snarlbox");
    // UI thread only.
    void Release();
    bool Held() const { return fd >= 0; }
    const std::string& Path() const { return path; }

private:
    int fd = -1;
    std::string path;
};
