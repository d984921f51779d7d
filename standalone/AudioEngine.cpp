#include "standalone/AudioEngine.h"

#include "platform/LibraryErrorBuffer.h"
#include "platform/WriteWithoutBlocking.h"
#include "standalone/DescribeAudioStatus.h"
#include "standalone/HostSettings.h"
#include "standalone/JackBackEnd.h"
#include "standalone/RtAudioBackEnd.h"
#include "standalone/SayOnStderr.h"


AudioEngine audioEngine;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kExcludedDevice = "Generic Low Latency ASIO Driver";
// How long the user-interface thread waits for the control thread.
constexpr auto kStartWait = 4s;
constexpr auto kListWait = 2s;
constexpr auto kStopWait = 1000ms;
constexpr auto kQuitWaitAfterSlowStop = 300ms;
constexpr auto kQuitWaitAtExit = 10000ms;

} // namespace

AudioEngine::AudioEngine() = default;

AudioEngine::~AudioEngine()
{
    // Reached with the thread still running only when the exit skipped
    // ShutdownAudio: the members go right after, so the control thread gets
    // longer to let go of the library than at Quit.
    EndControlThread(kQuitWaitAtExit);
}

void AudioEngine::SetAudioPlugin(IAudioPlugin* plugin)
{
    audioPlugin.store(plugin, std::memory_order_seq_cst);
    // A callback that read the old pointer may still be inside it; the wait is
    // bounded by one block of processing.
    const auto deadline = Clock::now() + 2s;
    while (callbacksInside.load(std::memory_order_seq_cst) != 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
}

bool AudioEngine::CreateAudioApi()
{
    LibraryErrorBuffer::Install();
    StopAudioStream();
    return true;
}

void AudioEngine::ProbeAudioDevices()
{
    if (AskForListing(currentSettings, currentSettings.driverType == 1)) {
        std::lock_guard<std::mutex> lock(mutex);
        listedServer = listing.server;
        listedDevices = listing.devices;
        midiSources = listing.midiSources;
        midiDestinations = listing.midiDestinations;
    } else {
        SayOnStderr("the audio server does not answer; no devices listed");
        listedServer = AudioServerInfo();
        listedDevices.clear();
    }
    ApplyDeviceInfos(listedDevices);
    LibraryErrorBuffer::Flush();
}

void AudioEngine::ApplyDeviceInfos(const std::vector<AudioDevice>& devices)
{
    listedDevices = devices;
    inputDeviceIds.clear();
    outputDeviceIds.clear();
    deviceNames.clear();
    for (size_t id = 0; id < devices.size(); ++id) {
        const AudioDevice& device = devices[id];
        deviceNames.push_back(device.name);
        if (device.probed && device.name != kExcludedDevice) {
            if (device.inputChannels > 0) {
                inputDeviceIds.push_back(static_cast<uint32_t>(id));
            }
            if (device.outputChannels > 0) {
                outputDeviceIds.push_back(static_cast<uint32_t>(id));
            }
        } else {
            WriteWithoutBlocking(1, (device.name + ": Probe Status = Unsuccessful\n").c_str());
        }
    }
}

int AudioEngine::FindDeviceByName(const char* text) const
{
    for (size_t id = 0; id < deviceNames.size(); ++id) {
        if (deviceNames[id] == text) {
            return static_cast<int>(id);
        }
    }
    return -1;
}

std::string AudioEngine::DeviceNameAt(int id) const
{
    if (id < 0 || static_cast<size_t>(id) >= deviceNames.size()) {
        return std::string();
    }
    return deviceNames[static_cast<size_t>(id)];
}

AudioDevice AudioEngine::DeviceAt(uint32_t id) const
{
    return id < listedDevices.size() ? listedDevices[id] : AudioDevice();
}

bool AudioEngine::PreferJackOnFirstStart(AppSettings& settings)
{
    if (!AskForListing(settings, true)) {
        return false;
    }
    std::string device;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!listing.server.present) {
            return false;
        }
        for (const AudioDevice& each : listing.devices) {
            if (each.outputChannels >= 2 && (device.empty() || each.name == "system")) {
                device = each.name;
            }
        }
    }
    settings.driverType = 1;
    if (!device.empty()) {
        SetSettingsText(settings.audioInputDevice, device.c_str());
        SetSettingsText(settings.audioOutputDevice, device.c_str());
    }
    return true;
}

void AudioEngine::SetClientName(const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex);
    clientName = name;
}

std::string AudioEngine::ClientName() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return status.clientName;
}

void AudioEngine::EnableJackMidi(JackMidiPorts::ReceiveFunction receive)
{
    if (!jackMidi) {
        jackMidi = std::make_unique<JackMidiPorts>(receive);
    }
}

bool AudioEngine::ListJackMidiPorts()
{
    if (!AskForListing(currentSettings, true)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    midiSources = listing.midiSources;
    midiDestinations = listing.midiDestinations;
    return listing.server.present;
}

void AudioEngine::ChooseJackMidiPorts(const std::string& input, const std::string& output)
{
    if (!jackMidi || controlThreadStuck) {
        return;
    }
    Job job;
    job.request = Request::Midi;
    job.midiInput = input;
    job.midiOutput = output;
    Ask(job, kListWait);
}

AudioStatus AudioEngine::Status() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return status;
}

void AudioEngine::EnsureControlThread()
{
    if (!controlThread.joinable() && !controlThreadStuck) {
        LibraryErrorBuffer::Install();
        controlThread = std::thread([this] { ControlLoop(); });
    }
}

bool AudioEngine::Ask(Job job, std::chrono::milliseconds timeout, bool* started)
{
    EnsureControlThread();
    std::unique_lock<std::mutex> lock(mutex);
    const uint32_t number = ++requestNumber;
    job.number = number;
    jobs.push_back(std::move(job));
    wake.notify_all();
    const bool done = wake.wait_for(lock, timeout, [&] { return doneNumber >= number; });
    if (started != nullptr) {
        *started = done && lastStartResult;
    }
    return done;
}

bool AudioEngine::AskForListing(const AppSettings& settings, bool jack)
{
    if (controlThreadStuck) {
        return false;
    }
    Job job;
    job.request = Request::List;
    job.settings = settings;
    if (jack) {
        job.settings.driverType = 1;
    }
    return Ask(job, kListWait);
}

bool AudioEngine::StartAudioFromSettings()
{
    if (controlThreadStuck) {
        return false;
    }
    Job job;
    job.request = Request::Start;
    job.settings = currentSettings;
    bool started = false;
    const bool answered = Ask(job, kStartWait, &started);
    LibraryErrorBuffer::Flush();
    if (!answered) {
        SayOnStderr("the audio library is slow to answer; audio starts in the background when it can");
        return false;
    }
    if (started) {
        streamSettings = job.settings;
        std::lock_guard<std::mutex> lock(mutex);
        adoptedChange = runningChange;
    }
    return started;
}

void AudioEngine::StopAudioStream()
{
    if (!controlThread.joinable()) {
        return;
    }
    Job job;
    job.request = Request::Stop;
    if (!Ask(job, kStopWait)) {
        // Still inside the audio library: the stop finishes there, and any
        // later request waits its turn behind it.
        if (!slowToAnswer) {
            SayOnStderr("the audio server does not answer; audio stops when it does");
        }
        slowToAnswer = true;
    } else {
        slowToAnswer = false;
    }
}

bool AudioEngine::ShutdownAudio() { return EndControlThread(slowToAnswer ? kQuitWaitAfterSlowStop : kStopWait); }

bool AudioEngine::EndControlThread(std::chrono::milliseconds wait)
{
    if (controlThread.joinable()) {
        Job job;
        job.request = Request::Quit;
        if (Ask(job, wait)) {
            controlThread.join();
        } else {
            // Never wait on a server that hangs: the thread is left to it.
            controlThreadStuck = true;
            controlThread.detach();
        }
    }
    LibraryErrorBuffer::Flush();
    return !controlThreadStuck;
}

bool AudioEngine::PollAudioStream()
{
    LibraryErrorBuffer::Flush();
    // One line per underflow, written here, never on the audio thread; a
    // reader that does not read loses lines rather than stopping anything.
    const uint32_t counted = Xruns();
    for (int lines = 0; printedXruns != counted && lines < 1000; ++lines) {
        ++printedXruns;
        WriteWithoutBlocking(1, "Stream underflow detected!\n");
    }
    printedXruns = counted;

    uint32_t change;
    {
        std::lock_guard<std::mutex> lock(mutex);
        change = status.change;
        // A restart in the background ran with the stored settings.
        if (status.state == AudioState::Running && runningChange != adoptedChange) {
            adoptedChange = runningChange;
            streamSettings = runningSettings;
        }
    }
    const bool changed = change != reportedChange;
    reportedChange = change;
    return changed;
}

void AudioEngine::Publish(AudioState state, const std::string& detail, uint32_t serverRate)
{
    std::string line;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (status.state == state && status.detail == detail && status.serverRate == serverRate) {
            return;
        }
        const AudioState before = status.state;
        status.state = state;
        status.detail = detail;
        status.serverRate = serverRate;
        if (state != AudioState::Running) {
            status.clientName.clear();
            status.latencyFrames = 0;
        }
        ++status.change;
        line = DescribeAudioStatus(status);
        if (state == AudioState::Running && before != AudioState::Off && before != AudioState::Running) {
            line = "audio is back (" + status.driver + ", " + status.device + ", " +
                   std::to_string(status.sampleRate) + " Hz, " + std::to_string(status.bufferFrames) + " frames)";
        }
    }
    // Said once per change, from this thread, never waiting on the reader.
    if (!line.empty()) {
        SayOnStderr(line);
    }
}
