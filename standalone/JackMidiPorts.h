#pragma once

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

// The MIDI input and output ports of the engine's JACK client, used when
// MIDI runs over JACK. Incoming events are handed to the receive function
// on the process thread, at the start of the cycle they belong to, and what
// the receiver sends back from there (thru) is written into the same cycle
// at the same frame: thru is sample-accurate and never waits. The chosen
// ports are JACK port names of other clients ("" = none); a chosen port
// that is not there is connected as soon as it appears.
class JackMidiPorts {
public:
    // Process thread; bytes of one event (1 to 3 bytes for short messages).
    using ReceiveFunction = void (*)(const uint8_t* bytes, size_t count);

    // UI thread, before the engine's first start.
    explicit JackMidiPorts(ReceiveFunction receive);
    ~JackMidiPorts();
    JackMidiPorts(const JackMidiPorts&) = delete;
    JackMidiPorts& operator=(const JackMidiPorts&) = delete;

    // Registers the two ports on a new client / forgets them before the
    // client closes / connects the chosen ports once it is active.
    // Control thread only.
    void Register(jack_client_t* client);
    void Unregister();
    void Activated(jack_client_t* client);
    // Disconnects what the last choice connected and connects the new
    // choice. Control thread only.
    void Choose(jack_client_t* client, const std::string& input, const std::string& output);
    // Connects a chosen port that appeared since. Control thread only.
    void Refresh(jack_client_t* client);
    // Whether the chosen port is connected now. Any thread, lock-free.
    bool InputConnected() const { return inputConnected.load(std::memory_order_relaxed); }
    bool OutputConnected() const { return outputConnected.load(std::memory_order_relaxed); }
    bool Registered() const { return registered.load(std::memory_order_acquire); }

    // The process callback's part: takes the cycle's buffers (BeginCycle),
    // hands the input events to the receiver (DeliverInput), and lets go of
    // the buffers (EndCycle). Process thread; real-time safe.
    void BeginCycle(jack_nframes_t frames);
    void DeliverInput();
    void EndCycle();
    // Writes an event into the output: from inside a delivery at the frame
    // of the event being delivered (thru), from any other thread at the
    // start of the next cycle. False, counted, when the output or the queue
    // is full or another thread is queueing at the same moment. Any thread;
    // never waits, real-time safe.
    bool Write(const uint8_t* bytes, size_t count);
    // Events that could not be written since the last call. Any thread.
    uint32_t TakeDropped() { return dropped.exchange(0, std::memory_order_relaxed); }

private:
    // True when the connection holds (or is gone, when disconnecting).
    bool Connect(jack_client_t* client, bool input, bool connect);

    ReceiveFunction receive;
    // Control thread only.
    jack_port_t* inPort = nullptr;
    jack_port_t* outPort = nullptr;
    std::string chosenInput;
    std::string chosenOutput;
    bool peerSeen[2] = {false, false};  // the chosen input / output port was there at the last look
    uint32_t connectedAt[2] = {0, 0};   // cycles when the input / output connection was made
    std::atomic<bool> registered{false};
    std::atomic<bool> inputConnected{false};
    std::atomic<bool> outputConnected{false};
    // Process thread only.
    jack_nframes_t cycleFrames = 0;
    void* inBuffer = nullptr;
    void* outBuffer = nullptr;
    jack_nframes_t eventFrame = 0;
    // Events from other threads: one writer at a time (taken by try only),
    // read by the process thread.
    jack_ringbuffer_t* queue = nullptr;
    std::atomic_flag queueBusy = ATOMIC_FLAG_INIT;
    std::atomic<uint32_t> dropped{0};
    // Cycles run; written by the process thread, read by the control thread.
    std::atomic<uint32_t> cycles{0};
};
