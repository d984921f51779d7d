#include "platform/WriteWithoutBlocking.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>
#include <unistd.h>

bool WriteWithoutBlocking(int fd, const char* text)
{
    size_t left = std::strlen(text);
    while (left > 0) {
        // Ready means a pipe has at least PIPE_BUF bytes free, no more: a write
        // of up to that goes in whole without waiting, a longer one may wait.
        pollfd ready{fd, POLLOUT, 0};
        const int polled = poll(&ready, 1, 0);
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0 || (ready.revents & POLLOUT) == 0) {
            return false;
        }
        const ssize_t written = write(fd, text, std::min<size_t>(left, PIPE_BUF));
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
