#include "standalone/JackBackEnd.h"

#include "platform/DebugTrace.h"
#include "standalone/JackMidiPorts.h"
#include "standalone/ProcessFloatCycle.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr const char* kPortNames[4] = {"inport 0", "inport 1", "outport 0", "outport 1"};

void TraceJackMessage(const char* message) { DebugTrace("JACK: %s", message); }

std::string ClientOf(const std::string& port)
{
    const size_t colon = port.find(':');
    return colon == std::string::npos ? port : port.substr(0, colon);
}

} // namespace

JackBackEnd::JackBackEnd(std::string clientName, JackMidiPorts* midiPorts)
    : requestedName(std::move(clientName)), midi(midiPorts), inBuffer(new double[2 * kMaxFrames]()),
      outBuffer(new double[2 * kMaxFrames]())
{
    QuietJackMessages();
}

JackBackEnd::~JackBackEnd() { Close(); }

void JackBackEnd::QuietJackMessages()
{
    jack_set_error_function(TraceJackMessage);
    jack_set_info_function(TraceJackMessage);
}

bool JackBackEnd::ConnectClient()
{
    if (client != nullptr && Lost()) {
        // The server went away: the dead client goes before anything else
        // of JACK is opened in the process.
        CloseClient();
    }
    if (client != nullptr) {
        return true;
    }
    jack_status_t status{};
    client = jack_client_open(requestedName.c_str(), JackNoStartServer, &status);
    if (client == nullptr) {
        return false;
    }
    gone.store(false, std::memory_order_release);
    noticeThread.store(0, std::memory_order_relaxed);
    xrun.store(false, std::memory_order_relaxed);
    bufferFrames.store(jack_get_buffer_size(client), std::memory_order_relaxed);
    jack_on_info_shutdown(
        client,
        [](jack_status_t, const char*, void* self) {
            // libjack's thread: the flag and a wake-up; the owner closes the
            // client before anything else of JACK is opened in the process.
            auto* end = static_cast<JackBackEnd*>(self);
            end->noticeThread.store(static_cast<int>(syscall(SYS_gettid)), std::memory_order_relaxed);
            end->gone.store(true, std::memory_order_release);
            if (end->lostNotice != nullptr) {
                end->lostNotice(end->lostNoticeUser);
            }
        },
        this);
    jack_set_buffer_size_callback(
        client,
        [](jack_nframes_t frames, void* self) {
            static_cast<JackBackEnd*>(self)->bufferFrames.store(frames, std::memory_order_relaxed);
            return 0;
        },
        this);
    jack_set_xrun_callback(
        client,
        [](void* self) {
            static_cast<JackBackEnd*>(self)->xrun.store(true, std::memory_order_relaxed);
            return 0;
        },
        this);
    jack_set_process_callback(client, &JackBackEnd::Process, this);
    jack_set_latency_callback(client, &JackBackEnd::Latency, this);
    if (midi != nullptr) {
        midi->Register(client);
    }
    return true;
}

AudioServerInfo JackBackEnd::LookAtServer()
{
    AudioServerInfo info;
    if (!ConnectClient()) {
        return info;
    }
    info.present = true;
    info.sampleRate = jack_get_sample_rate(client);
    info.bufferFrames = jack_get_buffer_size(client);
    return info;
}

std::vector<std::string> JackBackEnd::OtherPorts(const char* type, unsigned long flags)
{
    std::vector<std::string> names;
    if (client == nullptr || Lost()) {
        return names;
    }
    const std::string own = std::string(jack_get_client_name(client)) + ":";
    const char** list = jack_get_ports(client, nullptr, type, flags);
    for (const char** p = list; p != nullptr && *p != nullptr; ++p) {
        if (std::string(*p).rfind(own, 0) != 0) {
            names.emplace_back(*p);
        }
    }
    jack_free(list);
    return names;
}

std::vector<AudioDevice> JackBackEnd::ListDevices(bool* failed)
{
    std::vector<AudioDevice> devices;
    *failed = !ConnectClient();
    if (*failed) {
        return devices;
    }
    const uint32_t rate = jack_get_sample_rate(client);
    auto deviceOf = [&](const std::string& port) -> AudioDevice& {
        const std::string name = ClientOf(port);
        for (AudioDevice& device : devices) {
            if (device.name == name) {
                return device;
            }
        }
        devices.push_back(AudioDevice{name, true, 0, 0, {rate}});
        return devices.back();
    };
    // What a client sends is what Snarlbox can record, and the other way round.
    for (const std::string& port : OtherPorts(JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput)) {
        ++deviceOf(port).inputChannels;
    }
    for (const std::string& port : OtherPorts(JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput)) {
        ++deviceOf(port).outputChannels;
    }
    return devices;
}

bool JackBackEnd::Open(const AudioRoute& wanted, AudioProcessFunction function, void* data, std::string* error)
{
    if (!ConnectClient()) {
        *error = "the JACK server does not answer";
        return false;
    }
    if (active && routed && !wanted.SameDevices(route)) {
        // Another device or channel pair: only the old route's own
        // connections go; whatever the user added by hand stays.
        Route(route, false);
        routed = false;
    }
    route = wanted;
    if (!audioReady.load(std::memory_order_acquire)) {
        process = function;
        user = data;
    }
    for (int i = 0; i < 4; ++i) {
        if (ports[i] == nullptr) {
            ports[i] = jack_port_register(client, kPortNames[i], JACK_DEFAULT_AUDIO_TYPE,
                                          i < 2 ? JackPortIsInput : JackPortIsOutput, 0);
        }
        if (ports[i] == nullptr) {
            *error = std::string("JACK refused the port \"") + kPortNames[i] + "\"";
            return false;
        }
    }
    audioReady.store(true, std::memory_order_release);
    return true;
}

bool JackBackEnd::Start(std::string* error)
{
    if (!IsOpen()) {
        *error = "no JACK client is open";
        return false;
    }
    if (!Activate()) {
        *error = "the JACK server refused to activate the client";
        return false;
    }
    if (!routed) {
        Route(route, true);
        routed = true;
    }
    if (midi != nullptr) {
        midi->Activated(client);
    }
    return true;
}

bool JackBackEnd::StartMidiOnly()
{
    if (!ConnectClient() || !Activate()) {
        return false;
    }
    if (midi != nullptr) {
        midi->Activated(client);
    }
    return true;
}

bool JackBackEnd::Activate()
{
    if (!active && jack_activate(client) == 0) {
        active = true;
    }
    return active;
}

void JackBackEnd::Route(const AudioRoute& which, bool connect)
{
    const std::vector<std::string> sources = OtherPorts(JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    const std::vector<std::string> sinks = OtherPorts(JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
    auto nth = [](const std::vector<std::string>& names, const std::string& device, unsigned int n) {
        for (const std::string& name : names) {
            if (ClientOf(name) == device && n-- == 0) {
                return name;
            }
        }
        return std::string();
    };
    for (unsigned int c = 0; c < 2; ++c) {
        const std::string source = nth(sources, which.inputDevice, which.inputFirstChannel + c);
        const std::string sink = nth(sinks, which.outputDevice, which.outputFirstChannel + c);
        const std::string in = jack_port_name(ports[c]);
        const std::string out = jack_port_name(ports[2 + c]);
        if (!source.empty()) {
            const int result = connect ? jack_connect(client, source.c_str(), in.c_str())
                                       : jack_disconnect(client, source.c_str(), in.c_str());
            if (result != 0 && result != EEXIST) {
                DebugTrace("JACK: could not %s %s and %s\n", connect ? "connect" : "disconnect", source.c_str(),
                           in.c_str());
            }
        }
        if (!sink.empty()) {
            const int result = connect ? jack_connect(client, out.c_str(), sink.c_str())
                                       : jack_disconnect(client, out.c_str(), sink.c_str());
            if (result != 0 && result != EEXIST) {
                DebugTrace("JACK: could not %s %s and %s\n", connect ? "connect" : "disconnect", out.c_str(),
                           sink.c_str());
            }
        }
    }
}

void JackBackEnd::Stop(bool)
{
    // Deactivating drops every connection; the client goes with it.
    Close();
}

void JackBackEnd::Close()
{
    CloseClient();
}

void JackBackEnd::CloseClient()
{
    if (client == nullptr) {
        return;
    }
    if (active && !Lost()) {
        jack_deactivate(client);
    }
    if (Lost()) {
        WaitForNoticeThreadToEnd();
    }
    // libjack cancels its process thread at the close wherever it is: after
    // a server died mid-cycle, that would be inside our callback (a held
    // plug-in lock, a terminate). No cycle starts once the server is gone or
    // the client is inactive, so the one under way is waited out first.
    WaitForCallbackToLeave();
    // Also after a shutdown notice: libjack expects the close, and nothing
    // else of JACK is opened in the process before it.
    jack_client_close(client);
    // The callback's last reads of the ports and the engine happen before
    // anything here lets them go.
    WaitForCallbackToLeave();
    if (midi != nullptr) {
        midi->Unregister();
    }
    client = nullptr;
    audioReady.store(false, std::memory_order_release);
    active = false;
    routed = false;
    std::fill(std::begin(ports), std::end(ports), nullptr);
    process = nullptr;
    user = nullptr;
}

void JackBackEnd::WaitForCallbackToLeave()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (insideProcess.load(std::memory_order_acquire) != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void JackBackEnd::WaitForNoticeThreadToEnd()
{
    // A server that quits in order still sends its last notices after the
    // shutdown one. The close cancels libjack's thread wherever it is, and
    // inside a notice that leaves a lock of libjack's held for ever: this
    // close and every later open in the process would hang. The thread ends
    // by itself once the server's socket closes.
    const int thread = noticeThread.load(std::memory_order_relaxed);
    if (thread == 0 || thread == static_cast<int>(syscall(SYS_gettid))) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (syscall(SYS_tgkill, getpid(), thread, 0) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            DebugTrace("JACK: the thread that told of the shutdown still runs; closing the client anyway\n");
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

uint32_t JackBackEnd::SampleRate()
{
    return client != nullptr && !Lost() ? jack_get_sample_rate(client) : 0;
}

uint32_t JackBackEnd::BufferFrames() { return bufferFrames.load(std::memory_order_relaxed); }

uint32_t JackBackEnd::LatencyFrames()
{
    if (!IsOpen() || Lost()) {
        return 0;
    }
    jack_latency_range_t in{};
    jack_latency_range_t out{};
    jack_port_get_latency_range(ports[0], JackCaptureLatency, &in);
    jack_port_get_latency_range(ports[2], JackPlaybackLatency, &out);
    return in.max + out.max;
}

std::string JackBackEnd::ClientName() const
{
    return client != nullptr && !gone.load(std::memory_order_acquire) ? jack_get_client_name(client) : std::string();
}

int JackBackEnd::Process(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<JackBackEnd*>(arg);
    self->insideProcess.fetch_add(1, std::memory_order_acquire);
    self->RunCycle(frames);
    self->insideProcess.fetch_sub(1, std::memory_order_release);
    return 0;
}

void JackBackEnd::RunCycle(jack_nframes_t frames)
{
    cycles.fetch_add(1, std::memory_order_relaxed);
    if (midi != nullptr) {
        midi->BeginCycle(frames);
    }
    if (!audioReady.load(std::memory_order_acquire)) {
        // MIDI only.
        if (midi != nullptr) {
            midi->DeliverInput();
            midi->EndCycle();
        }
        return;
    }
    float* in[2];
    float* out[2];
    for (int c = 0; c < 2; ++c) {
        in[c] = static_cast<float*>(jack_port_get_buffer(ports[c], frames));
        out[c] = static_cast<float*>(jack_port_get_buffer(ports[2 + c], frames));
    }
    if (process == nullptr || frames > kMaxFrames) {
        for (int c = 0; c < 2; ++c) {
            std::fill(out[c], out[c] + frames, 0.0f);
        }
        if (midi != nullptr) {
            midi->EndCycle();
        }
        return;
    }
    // MIDI of this cycle reaches the plug-in before its audio.
    if (midi != nullptr) {
        midi->DeliverInput();
    }
    ProcessFloatCycle(in, out, frames, inBuffer.get(), outBuffer.get(), process, user,
                      xrun.exchange(false, std::memory_order_relaxed));
    if (midi != nullptr) {
        midi->EndCycle();
    }
}

void JackBackEnd::Latency(jack_latency_callback_mode_t mode, void* arg)
{
    // Nothing is added on the way through: each side reports what its
    // connections on the other side report.
    auto* self = static_cast<JackBackEnd*>(arg);
    if (!self->audioReady.load(std::memory_order_acquire)) {
        return;
    }
    for (int c = 0; c < 2; ++c) {
        jack_latency_range_t range{};
        if (mode == JackCaptureLatency) {
            jack_port_get_latency_range(self->ports[c], JackCaptureLatency, &range);
            jack_port_set_latency_range(self->ports[2 + c], JackCaptureLatency, &range);
        } else {
            jack_port_get_latency_range(self->ports[2 + c], JackPlaybackLatency, &range);
            jack_port_set_latency_range(self->ports[c], JackPlaybackLatency, &range);
        }
    }
}
