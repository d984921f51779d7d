#pragma once

#include <atomic>
#include <cstdint>

typedef struct _jack_client jack_client_t;

// A port-less, never activated client of the default JACK server, kept only
// to learn what the server does: that it went away (its shutdown
// notification), and the buffer size and rate it runs at. Patchbays show no
// client without ports. A client whose server died is left alone for good:
// libjack frees it at the next client the process opens, so closing it, or
// any call on it, may reach freed memory.
// One owner thread opens, reads and retires it; ServerGone is for any thread.
class JackWatch {
public:
    explicit JackWatch(const char* clientName);
    // Closes a live client; a dead one is left alone. Owner thread.
    ~JackWatch();
    JackWatch(const JackWatch&) = delete;
    JackWatch& operator=(const JackWatch&) = delete;

    // Connects when not yet connected (never starts a server); false when no
    // server answers. Quiet: JACK's own messages go to the debug trace.
    // Owner thread; a failed attempt takes a few milliseconds.
    bool Open();
    bool IsOpen() const { return client != nullptr; }
    // True once the server has shut the client down. Any thread, lock-free.
    bool ServerGone() const { return gone.load(std::memory_order_acquire); }
    // What the server runs at; 0 while not open or after it went. Owner thread.
    uint32_t BufferSize() const;
    uint32_t SampleRate() const;
    // Lets go of a client whose server went away, without touching it, so
    // that Open can connect to the next server. Owner thread.
    void Retire();

    // Routes libjack's error and information lines to the debug trace, so
    // that retries against an absent server stay quiet. UI thread, at start.
    static void QuietJackMessages();

private:
    static void Shutdown(int code, const char* reason, void* self);

    const char* name;
    jack_client_t* client = nullptr;
    std::atomic<bool> gone{false};
};
