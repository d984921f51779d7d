#include "standalone/NsmClient.h"

#include "platform/DebugTrace.h"
#include "standalone/INsmHandler.h"

#include <lo/lo.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int kReplyWaitMs = 5000;
constexpr int kOpenWaitMs = 10000;
constexpr size_t kMaxDatagram = 65536;

bool IsLoopback(const sockaddr* address)
{
    if (address->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        return (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
    }
    if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        return IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr) ||
               (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr) && v6->sin6_addr.s6_addr[12] == 127);
    }
    return false;
}

bool SameHost(const sockaddr* a, const sockaddr* b)
{
    if (a->sa_family != b->sa_family) {
        return false;
    }
    if (a->sa_family == AF_INET) {
        return reinterpret_cast<const sockaddr_in*>(a)->sin_addr.s_addr ==
               reinterpret_cast<const sockaddr_in*>(b)->sin_addr.s_addr;
    }
    if (a->sa_family == AF_INET6) {
        return std::memcmp(&reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr,
                           &reinterpret_cast<const sockaddr_in6*>(b)->sin6_addr, sizeof(in6_addr)) == 0;
    }
    return false;
}

uint16_t PortOf(const sockaddr* address)
{
    return address->sa_family == AF_INET ? reinterpret_cast<const sockaddr_in*>(address)->sin_port
                                         : reinterpret_cast<const sockaddr_in6*>(address)->sin6_port;
}

// The server's address is one of this machine's (its loopback or an interface).
bool OnThisMachine(const sockaddr* address)
{
    if (IsLoopback(address)) {
        return true;
    }
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return false;
    }
    bool local = false;
    for (ifaddrs* entry = list; entry != nullptr && !local; entry = entry->ifa_next) {
        local = entry->ifa_addr != nullptr && SameHost(entry->ifa_addr, address);
    }
    freeifaddrs(list);
    return local;
}

// The same port on the loopback interface of the address's family.
void MakeLoopback(sockaddr_storage& address)
{
    if (address.ss_family == AF_INET) {
        reinterpret_cast<sockaddr_in&>(address).sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    } else {
        reinterpret_cast<sockaddr_in6&>(address).sin6_addr = in6addr_loopback;
    }
}

std::string Describe(const sockaddr_storage& address)
{
    char host[INET6_ADDRSTRLEN] = "?";
    const void* raw = address.ss_family == AF_INET
                          ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in&>(address).sin_addr)
                          : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6&>(address).sin6_addr);
    inet_ntop(address.ss_family, raw, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(PortOf(reinterpret_cast<const sockaddr*>(&address))));
}

std::string Text(const char* owned)
{
    std::string text = owned != nullptr ? owned : "";
    std::free(const_cast<char*>(owned));
    return text;
}

// A string argument. liblo's argument union may sit unaligned in the
// message; the string is read through a byte pointer.
const char* StringAt(lo_arg** args, int index)
{
    return reinterpret_cast<const char*>(args[index]);
}

// The first argument when it is a string, else "".
std::string FirstString(lo_message message)
{
    const char* types = lo_message_get_types(message);
    return types != nullptr && types[0] == 's' ? std::string(StringAt(lo_message_get_argv(message), 0)) : std::string();
}

} // namespace

NsmClient::~NsmClient()
{
    if (fd >= 0) {
        close(fd);
    }
}

bool NsmClient::Join(const char* url, const std::string& capabilities, const std::string& executable, Open& open)
{
    if (lo_url_get_protocol_id(url) != LO_UDP) {
        std::fprintf(stderr, "Snarlbox: NSM_URL \"%s\" is not an OSC URL over UDP; running without a session\n", url);
        return false;
    }
    const std::string host = Text(lo_url_get_hostname(url));
    const std::string port = Text(lo_url_get_port(url));
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (host.empty() || port.empty() || getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 ||
        found == nullptr) {
        std::fprintf(stderr, "Snarlbox: cannot find the session manager at \"%s\"; running without a session\n", url);
        return false;
    }
    std::memcpy(&server, found->ai_addr, found->ai_addrlen);
    serverLength = found->ai_addrlen;
    freeaddrinfo(found);

    // A server on this machine is spoken to over loopback, and nothing else
    // of the network reaches our socket.
    const bool local = OnThisMachine(reinterpret_cast<sockaddr*>(&server));
    if (local) {
        MakeLoopback(server);
    }
    fd = socket(server.ss_family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_storage own{};
    own.ss_family = server.ss_family;
    if (local) {
        MakeLoopback(own);
    }
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&own), serverLength) != 0) {
        std::fprintf(stderr, "Snarlbox: cannot open a socket for the session manager: %s; running without a session\n",
                     std::strerror(errno));
        return false;
    }

    const char* strings[] = {"Snarlbox", capabilities.c_str(), executable.c_str()};
    const int ints[] = {1, 1, static_cast<int>(getpid())};
    Send("/nsm/server/announce", "sssiii", strings, ints);

    Wait wait = Wait::Reply;
    bool refused = false;
    bool opened = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyWaitMs);
    while (!refused && !opened) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            std::fprintf(stderr, "Snarlbox: no %s from the session manager at %s; running without a session\n",
                         wait == Wait::Reply ? "answer" : "open", url);
            return false;
        }
        pollfd watch{fd, POLLIN, 0};
        if (poll(&watch, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        std::string path, types;
        void* message = nullptr;
        while (!opened && Receive(path, types, message)) {
            const Wait before = wait;
            Handle(path, message, nullptr, &wait, &open, &refused);
            lo_message_free(static_cast<lo_message>(message));
            if (before == Wait::Reply && wait == Wait::Open) {
                deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kOpenWaitMs);
                if (capabilities.find(":optional-gui:") != std::string::npos) {
                    SayGuiShown(false); // no window until the open says otherwise
                }
            }
            opened = !open.clientId.empty();
        }
    }
    return opened;
}

void NsmClient::Send(const char* path, const char* types, const char* const* strings, const int* ints)
{
    lo_message message = lo_message_new();
    for (const char* type = types; *type != '\0'; ++type) {
        if (*type == 's') {
            lo_message_add_string(message, *strings++);
        } else {
            lo_message_add_int32(message, *ints++);
        }
    }
    size_t size = 0;
    void* data = lo_message_serialise(message, path, nullptr, &size);
    lo_message_free(message);
    if (data == nullptr) {
        return;
    }
    if (sendto(fd, data, size, 0, reinterpret_cast<sockaddr*>(&server), serverLength) < 0) {
        DebugTrace("NSM: cannot send %s: %s", path, std::strerror(errno));
    }
    std::free(data);
}

void NsmClient::Answer(const char* replyTo, bool ok, int code, const std::string& message)
{
    if (ok) {
        const char* strings[] = {replyTo, message.c_str()};
        Send("/reply", "ss", strings, nullptr);
    } else {
        const char* strings[] = {replyTo, message.c_str()};
        const int ints[] = {code};
        Send("/error", "sis", strings, ints);
    }
}

void NsmClient::AnswerOpen(bool ok, int code, const std::string& message)
{
    Answer("/nsm/client/open", ok, code, message);
}

void NsmClient::SayGuiShown(bool shown)
{
    Send(shown ? "/nsm/client/gui_is_shown" : "/nsm/client/gui_is_hidden", "", nullptr, nullptr);
}

bool NsmClient::FromServer(const sockaddr_storage& from, socklen_t length) const
{
    return length == serverLength && SameHost(reinterpret_cast<const sockaddr*>(&from), reinterpret_cast<const sockaddr*>(&server)) &&
           PortOf(reinterpret_cast<const sockaddr*>(&from)) == PortOf(reinterpret_cast<const sockaddr*>(&server));
}

bool NsmClient::Receive(std::string& path, std::string& types, void*& message)
{
    static char buffer[kMaxDatagram];
    for (;;) {
        sockaddr_storage from{};
        socklen_t length = sizeof from;
        const ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        if (!FromServer(from, length)) {
            DebugTrace("NSM: ignored a message from %s, which is not the session manager", Describe(from).c_str());
            continue;
        }
        int result = 0;
        lo_message decoded = lo_message_deserialise(buffer, static_cast<size_t>(n), &result);
        const char* at = decoded != nullptr ? lo_get_path(buffer, n) : nullptr;
        if (at == nullptr) {
            if (decoded != nullptr) {
                lo_message_free(decoded);
            }
            DebugTrace("NSM: ignored a datagram that is not an OSC message");
            continue;
        }
        path = at;
        const char* typeText = lo_message_get_types(decoded);
        types = typeText != nullptr ? typeText : "";
        message = decoded;
        return true;
    }
}

void NsmClient::ReadMessages(INsmHandler& handler)
{
    std::string path, types;
    void* message = nullptr;
    while (fd >= 0 && Receive(path, types, message)) {
        Handle(path, message, &handler, nullptr, nullptr, nullptr);
        lo_message_free(static_cast<lo_message>(message));
    }
}

void NsmClient::Handle(const std::string& path, void* raw, INsmHandler* handler, Wait* wait, Open* open,
                       bool* refused)
{
    const auto message = static_cast<lo_message>(raw);
    const std::string types = lo_message_get_types(message) != nullptr ? lo_message_get_types(message) : "";
    lo_arg** args = lo_message_get_argv(message);
    if (path == "/reply" && wait != nullptr && FirstString(message) == "/nsm/server/announce") {
        *wait = Wait::Open;
        const std::string name = types.size() >= 3 && types[2] == 's' ? StringAt(args, 2) : "the session manager";
        DebugTrace("NSM: joined the session of %s", name.c_str());
    } else if (path == "/error" && wait != nullptr && FirstString(message) == "/nsm/server/announce") {
        const std::string why = types == "sis" ? StringAt(args, 2) : "";
        std::fprintf(stderr, "Snarlbox: the session manager refused Snarlbox (%s); running without a session\n",
                     why.c_str());
        *refused = true;
    } else if (path == "/nsm/client/open" && types.rfind("sss", 0) == 0) {
        if (open != nullptr && wait != nullptr && *wait == Wait::Open) {
            open->instancePath = StringAt(args, 0);
            open->displayName = StringAt(args, 1);
            open->clientId = StringAt(args, 2);
        } else {
            // Without :switch:, one instance per run.
            AnswerOpen(false, kErrorNotNow, "Snarlbox opens one session instance per run");
        }
    } else if (path == "/nsm/client/save") {
        std::string text = "Snarlbox saved";
        const bool ok = handler != nullptr && handler->SaveSession(text);
        Answer("/nsm/client/save", ok, handler != nullptr ? kErrorGeneral : -6,
               handler != nullptr ? text : "no session open yet");
    } else if (path == "/nsm/client/show_optional_gui" && handler != nullptr) {
        handler->ShowGui();
    } else if (path == "/nsm/client/hide_optional_gui" && handler != nullptr) {
        handler->HideGui();
    } else if (path == "/nsm/client/session_is_loaded") {
        DebugTrace("NSM: the session is loaded");
    } else {
        DebugTrace("NSM: ignored %s %s", path.c_str(), types.c_str());
    }
}
