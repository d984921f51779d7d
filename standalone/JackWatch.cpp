#include "standalone/JackWatch.h"

#include "platform/DebugTrace.h"

#include <jack/jack.h>

#include <mutex>
#include <vector>

namespace {

void TraceJackMessage(const char* message) { DebugTrace("JACK: %s", message); }

// Clients of servers that went away; never touched again. libjack closes and
// frees them itself at the next client the process opens.
std::vector<jack_client_t*>& DeadClients()
{
    static auto* clients = new std::vector<jack_client_t*>;
    return *clients;
}
std::mutex deadClientsMutex;

} // namespace

JackWatch::JackWatch(const char* clientName) : name(clientName) {}

JackWatch::~JackWatch()
{
    if (client == nullptr) {
        return;
    }
    if (ServerGone()) {
        Retire();
        return;
    }
    jack_client_close(client);
}

void JackWatch::QuietJackMessages()
{
    jack_set_error_function(TraceJackMessage);
    jack_set_info_function(TraceJackMessage);
}

bool JackWatch::Open()
{
    if (client != nullptr) {
        return !ServerGone();
    }
    jack_status_t status{};
    jack_client_t* opened = jack_client_open(name, JackNoStartServer, &status);
    if (opened == nullptr) {
        return false;
    }
    gone.store(false, std::memory_order_release);
    jack_on_info_shutdown(
        opened, [](jack_status_t code, const char* reason, void* self) { Shutdown(code, reason, self); }, this);
    client = opened;
    return true;
}

void JackWatch::Shutdown(int, const char*, void* self)
{
    // JACK's notification thread: set the flag, nothing more.
    static_cast<JackWatch*>(self)->gone.store(true, std::memory_order_release);
}

uint32_t JackWatch::BufferSize() const
{
    return client != nullptr && !ServerGone() ? jack_get_buffer_size(client) : 0;
}

uint32_t JackWatch::SampleRate() const
{
    return client != nullptr && !ServerGone() ? jack_get_sample_rate(client) : 0;
}

void JackWatch::Retire()
{
    if (client == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(deadClientsMutex);
    DeadClients().push_back(client);
    client = nullptr;
    gone.store(false, std::memory_order_release);
}
