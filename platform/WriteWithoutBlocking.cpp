#include "platform/WriteWithoutBlocking.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

bool WriteWithoutBlocking(int fd, const char* text)
{
    size_t left = std::strlen(text);
    while (left > 0) {
        // Ready means a pipe has a free buffer, so a short line goes in whole.
        pollfd ready{fd, POLLOUT, 0};
        const int polled = poll(&ready, 1, 0);
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0 || (ready.revents & POLLOUT) == 0) {
            return false;
        }
        const ssize_t written = write(fd, text, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        text += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}
