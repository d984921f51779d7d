#pragma once

#include <string>
#include <sys/socket.h>

class INsmHandler;

// The program's side of a session manager (NSM, API 1.1) over OSC/UDP; liblo
// makes and reads the messages. One socket of ours carries everything: it
// listens on the loopback interface when the server is on this machine, on
// every interface otherwise, and only datagrams from the server's own
// address are acted on (others are noted in the debug log and dropped).
// UI thread only.
class NsmClient {
public:
    // The open the server sent, right after the announce was answered.
    struct Open {
        std::string instancePath;
        std::string displayName;
        std::string clientId;
    };
    // The protocol's error codes that the program answers with.
    static constexpr int kErrorGeneral = -1;
    static constexpr int kErrorNotNow = -8;
    static constexpr int kErrorCreateFailed = -10;

    NsmClient() = default;
    ~NsmClient();
    NsmClient(const NsmClient&) = delete;
    NsmClient& operator=(const NsmClient&) = delete;

    // Announces the program at url (NSM_URL) with capabilities such as
    // ":optional-gui:", and waits a bounded time for the server's answer and
    // its open. False (said on standard error) when url is not a usable OSC
    // URL, the server refuses or does not answer: the program then runs
    // without a session.
    bool Join(const char* url, const std::string& capabilities, const std::string& executable, Open& open);
    // Answers the open: done, or an error with one of the codes above.
    void AnswerOpen(bool ok, int code, const std::string& message);
    // Tells the server whether the window shows (after the open and at every change).
    void SayGuiShown(bool shown);

    // The socket to watch for input once joined (-1 before).
    int Socket() const { return fd; }
    // Handles every datagram waiting on the socket. Never blocks.
    void ReadMessages(INsmHandler& handler);

private:
    enum class Wait { Reply, Open };
    // Sends path with the arguments typed by types ('s' strings, 'i' ints,
    // taken in order from strings and ints).
    void Send(const char* path, const char* types, const char* const* strings, const int* ints);
    void Answer(const char* replyTo, bool ok, int code, const std::string& message);
    // Reads one datagram from the server; false when none (or one from elsewhere).
    bool Receive(std::string& path, std::string& types, void*& message);
    bool FromServer(const sockaddr_storage& from, socklen_t length) const;
    void Handle(const std::string& path, void* message, INsmHandler* handler, Wait* wait, Open* open,
                bool* refused);

    int fd = -1;
    sockaddr_storage server{};
    socklen_t serverLength = 0;
};
