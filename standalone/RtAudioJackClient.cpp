#include "standalone/RtAudioJackClient.h"

#include "platform/DebugTrace.h"

#include <jack/jack.h>

#include <cstring>

// RtAudio 5 keeps the stream's JACK client as the first member of its JACK
// handle, and the handle in the protected stream record of its API object.
static_assert(RTAUDIO_VERSION[0] == '5' && RTAUDIO_VERSION[1] == '.',
              "the JACK client is read from RtAudio 5's stream record; check its layout before moving on");

namespace {

// Member pointers taken inside derived classes reach the protected members
// of any RtAudio and RtApi object without casting the objects themselves.
struct ApiMember : RtAudio {
    static auto Get() { return &ApiMember::rtapi_; }
};
struct StreamMember : RtApi {
    static auto Get() { return &StreamMember::stream_; }
};

void ServerGone(jack_status_t, const char*, void* flag)
{
    // libjack's notification or process thread, possibly both at once: a flag only.
    static_cast<std::atomic<bool>*>(flag)->store(true, std::memory_order_release);
}

} // namespace

bool TakeJackShutdownNotice(RtAudio& audio, const std::string& clientName, std::atomic<bool>* gone)
{
    if (audio.getCurrentApi() != RtAudio::UNIX_JACK || !audio.isStreamOpen() || audio.isStreamRunning()) {
        return false;
    }
    RtApi* api = audio.*ApiMember::Get();
    if (api == nullptr) {
        return false;
    }
    void* handle = (api->*StreamMember::Get()).apiHandle;
    if (handle == nullptr) {
        return false;
    }
    jack_client_t* client = *static_cast<jack_client_t**>(handle);
    // JACK names the client as asked, or with a suffix when the name is taken.
    const std::string asked = clientName.empty() ? "RtApiJack" : clientName;
    const char* name = client != nullptr ? jack_get_client_name(client) : nullptr;
    if (name == nullptr || std::strncmp(name, asked.c_str(), asked.size()) != 0) {
        DebugTrace("the JACK client of the stream was not found; RtAudio keeps the server's shutdown notice\n");
        return false;
    }
    // The info form wins over RtAudio's plain one: libjack calls only this.
    jack_on_info_shutdown(client, ServerGone, gone);
    return true;
}
