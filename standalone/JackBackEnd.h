#pragma once

#include "standalone/IAudioBackEnd.h"

#include <jack/jack.h>
#include <jack/types.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class JackMidiPorts;

// The JACK back end: one client of the default server, opened, activated,
// deactivated and closed on the engine's control thread only. It owns two
// audio inputs ("inport 0/1") and two outputs ("outport 0/1") and, when MIDI
// runs over JACK, the MIDI ports (JackMidiPorts). Its process callback turns
// the cycle's input into the same cycle's output: nothing is added to the
// server's latency. A "device" is a client whose ports the route connects to.
// The server's shutdown, buffer-size and xrun notices arrive through the
// client's own callbacks; a buffer-size change keeps the client and its
// connections (the callback takes any buffer length).
// Control thread only, except where a member says otherwise.
class JackBackEnd : public IAudioBackEnd {
public:
    // clientName: the name asked for; the server may give another on a clash.
    // midi: the MIDI ports the client carries, or null.
    JackBackEnd(std::string clientName, JackMidiPorts* midi);
    ~JackBackEnd() override;
    JackBackEnd(const JackBackEnd&) = delete;
    JackBackEnd& operator=(const JackBackEnd&) = delete;

    AudioServerInfo LookAtServer() override;
    std::vector<AudioDevice> ListDevices(bool* failed) override;
    bool Open(const AudioRoute& route, AudioProcessFunction process, void* user, std::string* error) override;
    bool Start(std::string* error) override;
    void Stop(bool delivering) override;
    void Close() override;
    bool IsOpen() const override { return audioReady.load(std::memory_order_acquire); }
    bool KeepsRunningStream() const override { return true; }
    bool Lost() override { return gone.load(std::memory_order_acquire); }
    uint32_t SampleRate() override;
    uint32_t BufferFrames() override;
    uint32_t LatencyFrames() override;
    std::string ClientName() const override;

    // Opens the client (no ports, not active) when there is none and the
    // server answers; a client whose server went away is closed first.
    bool ConnectClient();
    // Activates the client with its MIDI ports only (no audio stream), for
    // MIDI over JACK while audio runs elsewhere or not at all.
    bool StartMidiOnly();
    bool Active() const { return active && !gone.load(std::memory_order_acquire); }
    // Process cycles run since the engine was made. Any thread, lock-free.
    uint32_t Cycles() const { return cycles.load(std::memory_order_relaxed); }
    // The raw client for the MIDI ports; null while none. Control thread.
    jack_client_t* Client() const { return client; }
    // The names of every port of the given type and direction of other
    // clients (JackPortIsInput / JackPortIsOutput), in the server's order.
    std::vector<std::string> OtherPorts(const char* type, unsigned long flags);

    // Called from libjack's thread, without a lock, when the server shuts
    // the client down, so that the owner closes it at once. Control thread,
    // before ConnectClient.
    void SetLostNotice(void (*notice)(void*), void* user)
    {
        lostNotice = notice;
        lostNoticeUser = user;
    }

    // Routes libjack's error and information lines to the debug trace, so
    // that retries against an absent server stay quiet. Any thread, at start.
    static void QuietJackMessages();

    // Largest buffer the callback converts; longer ones are left silent.
    static constexpr uint32_t kMaxFrames = 8192;

private:
    static int Process(jack_nframes_t frames, void* self);
    // The cycle itself, inside Process's count. Process thread; real-time safe.
    void RunCycle(jack_nframes_t frames);
    static void Latency(jack_latency_callback_mode_t mode, void* self);
    // Activates the open client unless it is active; false if the server refuses.
    bool Activate();
    void Route(const AudioRoute& route, bool connect);
    void CloseClient();
    // Waits (at most a second) until no process callback is inside. Control thread.
    void WaitForCallbackToLeave();
    // After a shutdown notice: waits (at most five seconds) until libjack's
    // thread that delivered it has ended. Control thread.
    void WaitForNoticeThreadToEnd();

    std::string requestedName;
    JackMidiPorts* midi;
    jack_client_t* client = nullptr;
    // inport 0, inport 1, outport 0, outport 1.
    jack_port_t* ports[4] = {};
    bool active = false;
    bool routed = false;
    AudioRoute route;
    AudioProcessFunction process = nullptr;
    void* user = nullptr;
    std::unique_ptr<double[]> inBuffer;
    std::unique_ptr<double[]> outBuffer;
    // Written by libjack's threads.
    std::atomic<bool> gone{false};
    // The kernel thread id of libjack's thread that delivered the shutdown
    // notice; 0 before one came.
    std::atomic<int> noticeThread{0};
    void (*lostNotice)(void*) = nullptr;
    void* lostNoticeUser = nullptr;
    // Set once the audio ports, process and user are in place (control
    // thread), read by the process callback.
    std::atomic<bool> audioReady{false};
    std::atomic<bool> xrun{false};
    std::atomic<uint32_t> bufferFrames{0};
    std::atomic<uint32_t> cycles{0};
    // Non-zero while the process callback runs; the close waits it out, as
    // libjack cancels its thread at the close wherever it is.
    std::atomic<uint32_t> insideProcess{0};
};
