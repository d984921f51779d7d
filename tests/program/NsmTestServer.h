// A small session manager for the tests: the server side of the NSM
// protocol (API 1.1) as published, on liblo. It answers an announce, sends
// open, save and the optional-GUI messages, and keeps every message a client
// sends. It launches nothing itself, keeps no session list and speaks to one
// client at a time.
#pragma once

#include <lo/lo.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class NsmTestServer {
public:
    struct Message {
        std::string path;
        std::vector<std::string> strings; // the string arguments in order
        std::vector<int> ints;            // the int arguments in order
    };

    NsmTestServer()
    {
        thread = lo_server_thread_new(nullptr, nullptr);
        if (thread != nullptr) {
            lo_server_thread_add_method(thread, nullptr, nullptr, &NsmTestServer::Receive, this);
            lo_server_thread_start(thread);
        }
    }
    ~NsmTestServer()
    {
        if (thread != nullptr) {
            lo_server_thread_free(thread);
        }
        if (client != nullptr) {
            lo_address_free(client);
        }
    }
    bool Running() const { return thread != nullptr; }
    // NSM_URL for the program, on the loopback address.
    std::string Url() const { return "osc.udp://127.0.0.1:" + std::to_string(lo_server_thread_get_port(thread)) + "/"; }

    // Waits until a message with this path arrives (counting from index from)
    // and gives it; false after the time.
    bool WaitFor(const std::string& path, Message& found, int milliseconds = 10000, size_t from = 0)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return arrived.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
            for (size_t i = from; i < received.size(); ++i) {
                if (received[i].path == path) {
                    found = received[i];
                    return true;
                }
            }
            return false;
        });
    }
    size_t Count() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return received.size();
    }
    // Answers the announce and sends the open, as a server does.
    void AcceptAndOpen(const std::string& path, const std::string& clientId)
    {
        Send("/reply", {"/nsm/server/announce", "Welcome", "test-nsm", ":server-control:"});
        Send("/nsm/client/open", {path, "Snarlbox", clientId});
    }
    void Refuse() { SendError("/nsm/server/announce", -2, "refused by the test"); }
    void Save() { Send("/nsm/client/save", {}); }
    void Show() { Send("/nsm/client/show_optional_gui", {}); }
    void Hide() { Send("/nsm/client/hide_optional_gui", {}); }
    // The client's own address, as its announce came (empty before).
    std::string ClientPort() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return client != nullptr ? lo_address_get_port(client) : "";
    }

    // Sends from this server's socket, to the client's address.
    void Send(const std::string& path, const std::vector<std::string>& strings)
    {
        lo_message message = lo_message_new();
        for (const std::string& text : strings) {
            lo_message_add_string(message, text.c_str());
        }
        std::lock_guard<std::mutex> lock(mutex);
        if (client != nullptr) {
            lo_send_message_from(client, lo_server_thread_get_server(thread), path.c_str(), message);
        }
        lo_message_free(message);
    }
    void SendError(const std::string& to, int code, const std::string& text)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (client != nullptr) {
            lo_send_from(client, lo_server_thread_get_server(thread), LO_TT_IMMEDIATE, "/error", "sis", to.c_str(),
                         code, text.c_str());
        }
    }

private:
    static int Receive(const char* path, const char* types, lo_arg** argv, int argc, lo_message message, void* data)
    {
        auto* self = static_cast<NsmTestServer*>(data);
        Message kept{path, {}, {}};
        for (int i = 0; i < argc; ++i) {
            if (types[i] == 's') {
                // liblo's argument union may sit unaligned: read it as bytes.
                kept.strings.push_back(reinterpret_cast<const char*>(argv[i]));
            } else if (types[i] == 'i') {
                int32_t value = 0;
                std::memcpy(&value, argv[i], sizeof value);
                kept.ints.push_back(value);
            }
        }
        std::lock_guard<std::mutex> lock(self->mutex);
        if (kept.path == "/nsm/server/announce") {
            lo_address source = lo_message_get_source(message);
            if (self->client != nullptr) {
                lo_address_free(self->client);
            }
            self->client = lo_address_new(lo_address_get_hostname(source), lo_address_get_port(source));
        }
        self->received.push_back(kept);
        self->arrived.notify_all();
        return 0;
    }

    lo_server_thread thread = nullptr;
    mutable std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Message> received;
    lo_address client = nullptr;
};
