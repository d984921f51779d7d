#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <streambuf>

// Standard error as the audio and MIDI libraries write it (std::cerr), held
// in memory and passed on by the user-interface thread. RtAudio prints from
// JACK's notification thread while another of its threads closes the JACK
// client, which cancels that thread asynchronously: a print that reaches the
// terminal is long enough to be cut in the middle, and the cut ends the
// process. Copying into memory takes nanoseconds, so the cut has next to no
// time to land; and no library thread ever waits on a reader of standard
// error. Text that does not fit (64 KiB) is dropped.
class LibraryErrorBuffer : public std::streambuf {
public:
    // Puts the buffer behind std::cerr, once per process. Idempotent; any thread.
    static void Install();
    // Writes what the libraries printed to standard error without blocking
    // (dropped when the reader does not read). Any thread but the audio thread.
    static void Flush();

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;

private:
    LibraryErrorBuffer() = default;
    void Append(const char* text, size_t count);
    void WriteOut();

    static constexpr size_t kCapacity = 64 * 1024;
    std::array<char, kCapacity> text{};
    size_t used = 0;                      // guarded by busy
    std::atomic_flag busy = ATOMIC_FLAG_INIT; // taken by try only: nobody ever waits on it
};
