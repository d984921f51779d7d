#include "standalone/JackMidiPorts.h"

#include <jack/midiport.h>

#include <algorithm>
#include <cerrno>

namespace {
// The ports patchbays show on the engine's client.
constexpr const char* kInputName = "midi in";
constexpr const char* kOutputName = "midi out";
constexpr size_t kQueueBytes = 4096;
constexpr size_t kLongestEvent = 3;
// Set while the process thread hands an event to the receiver: what is
// written then belongs to that event's frame.
thread_local bool insideDelivery = false;
} // namespace

JackMidiPorts::JackMidiPorts(ReceiveFunction receiveFunction)
    : receive(receiveFunction), queue(jack_ringbuffer_create(kQueueBytes))
{
}

JackMidiPorts::~JackMidiPorts()
{
    if (queue != nullptr) {
        jack_ringbuffer_free(queue);
    }
}

void JackMidiPorts::Register(jack_client_t* client)
{
    inPort = jack_port_register(client, kInputName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    outPort = jack_port_register(client, kOutputName, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    peerSeen[0] = false;
    peerSeen[1] = false;
    registered.store(inPort != nullptr && outPort != nullptr, std::memory_order_release);
}

void JackMidiPorts::Unregister()
{
    // The ports go with the client; nothing is called on them any more.
    inPort = nullptr;
    outPort = nullptr;
    registered.store(false, std::memory_order_release);
    inputConnected.store(false, std::memory_order_relaxed);
    outputConnected.store(false, std::memory_order_relaxed);
}

void JackMidiPorts::Activated(jack_client_t* client) { Refresh(client); }

bool JackMidiPorts::Connect(jack_client_t* client, bool input, bool connect)
{
    jack_port_t* own = input ? inPort : outPort;
    const std::string& other = input ? chosenInput : chosenOutput;
    std::atomic<bool>& connected = input ? inputConnected : outputConnected;
    if (own == nullptr || other.empty()) {
        connected.store(false, std::memory_order_relaxed);
        return false;
    }
    const char* ownName = jack_port_name(own);
    const char* source = input ? other.c_str() : ownName;
    const char* sink = input ? ownName : other.c_str();
    if (!connect) {
        jack_disconnect(client, source, sink);
        connected.store(false, std::memory_order_relaxed);
        return true;
    }
    const int result = jack_port_by_name(client, other.c_str()) != nullptr ? jack_connect(client, source, sink) : -1;
    const bool done = result == 0 || result == EEXIST;
    connectedAt[input ? 0 : 1] = cycles.load(std::memory_order_relaxed);
    connected.store(done, std::memory_order_relaxed);
    return done;
}

void JackMidiPorts::Choose(jack_client_t* client, const std::string& input, const std::string& output)
{
    if (client != nullptr && input != chosenInput) {
        Connect(client, true, false);
    }
    if (client != nullptr && output != chosenOutput) {
        Connect(client, false, false);
    }
    // A choice, the same one again too, connects now.
    peerSeen[0] = false;
    peerSeen[1] = false;
    chosenInput = input;
    chosenOutput = output;
    if (client != nullptr) {
        Refresh(client);
    }
}

void JackMidiPorts::Refresh(jack_client_t* client)
{
    if (!Registered() || client == nullptr) {
        return;
    }
    // The flags follow what the server holds. A chosen port is connected
    // when it appears; one the user disconnected by hand stays so.
    for (bool input : {true, false}) {
        jack_port_t* own = input ? inPort : outPort;
        const std::string& other = input ? chosenInput : chosenOutput;
        std::atomic<bool>& connected = input ? inputConnected : outputConnected;
        bool& seen = peerSeen[input ? 0 : 1];
        if (other.empty() || jack_port_by_name(client, other.c_str()) == nullptr) {
            seen = false;
            connected.store(false, std::memory_order_relaxed);
        } else if (!seen) {
            // JACK may refuse a connection just after the client's activation:
            // tried again at the next look until it holds.
            seen = Connect(client, input, true);
        } else if (cycles.load(std::memory_order_relaxed) - connectedAt[input ? 0 : 1] >= 2) {
            // The server shows a new connection from its next full cycle on;
            // until then the one just made holds.
            connected.store(jack_port_connected_to(own, other.c_str()) != 0, std::memory_order_relaxed);
        }
    }
}

void JackMidiPorts::BeginCycle(jack_nframes_t frames)
{
    cycleFrames = frames;
    cycles.fetch_add(1, std::memory_order_relaxed);
    if (!Registered()) {
        return;
    }
    inBuffer = jack_port_get_buffer(inPort, frames);
    outBuffer = jack_port_get_buffer(outPort, frames);
    if (outBuffer != nullptr) {
        jack_midi_clear_buffer(outBuffer);
    }
    eventFrame = 0;
    // What other threads sent since the last cycle goes out first.
    uint8_t event[1 + kLongestEvent];
    while (queue != nullptr && jack_ringbuffer_read_space(queue) >= 1) {
        jack_ringbuffer_peek(queue, reinterpret_cast<char*>(event), 1);
        const size_t count = event[0];
        if (jack_ringbuffer_read_space(queue) < 1 + count) {
            break;
        }
        jack_ringbuffer_read(queue, reinterpret_cast<char*>(event), 1 + count);
        if (outBuffer == nullptr || jack_midi_event_write(outBuffer, 0, event + 1, count) != 0) {
            dropped.fetch_add(1, std::memory_order_relaxed);
        }
    }
}

void JackMidiPorts::DeliverInput()
{
    if (inBuffer == nullptr) {
        return;
    }
    const uint32_t count = jack_midi_get_event_count(inBuffer);
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event{};
        if (jack_midi_event_get(&event, inBuffer, i) != 0) {
            continue;
        }
        eventFrame = event.time < cycleFrames ? event.time : cycleFrames - 1;
        insideDelivery = true;
        receive(event.buffer, event.size);
        insideDelivery = false;
    }
    eventFrame = 0;
}

void JackMidiPorts::EndCycle()
{
    inBuffer = nullptr;
    outBuffer = nullptr;
}

bool JackMidiPorts::Write(const uint8_t* bytes, size_t count)
{
    if (insideDelivery) {
        if (outBuffer == nullptr || jack_midi_event_write(outBuffer, eventFrame, bytes, count) != 0) {
            dropped.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        return true;
    }
    if (count == 0 || count > kLongestEvent || queue == nullptr || queueBusy.test_and_set(std::memory_order_acquire)) {
        dropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    bool queued = false;
    if (jack_ringbuffer_write_space(queue) >= 1 + count) {
        uint8_t event[1 + kLongestEvent];
        event[0] = static_cast<uint8_t>(count);
        std::copy(bytes, bytes + count, event + 1);
        jack_ringbuffer_write(queue, reinterpret_cast<const char*>(event), 1 + count);
        queued = true;
    }
    queueBusy.clear(std::memory_order_release);
    if (!queued) {
        dropped.fetch_add(1, std::memory_order_relaxed);
    }
    return queued;
}
