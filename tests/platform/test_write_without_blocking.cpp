#include "platform/WriteWithoutBlocking.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <fcntl.h>
#include <future>
#include <string>
#include <unistd.h>

// A pipe whose reader has left exactly one page free: poll reports it
// writable, yet a longer write would wait for the reader.
TEST(WriteWithoutBlocking, NeverWaitsForAReaderWithOnePageFree)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const int flags = fcntl(fds[1], F_GETFL);
    ASSERT_EQ(fcntl(fds[1], F_SETFL, flags | O_NONBLOCK), 0);
    const std::string page(PIPE_BUF, 'x');
    while (write(fds[1], page.data(), page.size()) > 0) {
    }
    char sink[PIPE_BUF];
    ASSERT_EQ(read(fds[0], sink, sizeof sink), static_cast<ssize_t>(sizeof sink));
    ASSERT_EQ(fcntl(fds[1], F_SETFL, flags), 0); // blocking again, as standard error is

    const std::string text(64 * 1024, 'y');
    auto writer = std::async(std::launch::async, [&] { return WriteWithoutBlocking(fds[1], text.c_str()); });
    const bool returned = writer.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    // Drain so that a writer stuck in write() gets out and the test can end.
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    while (!returned && writer.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        while (read(fds[0], sink, sizeof sink) > 0) {
        }
    }
    EXPECT_TRUE(returned) << "the write waited for the reader";
    EXPECT_FALSE(writer.get()); // the rest did not fit and was dropped
    // What went in went in whole pages: the first one free.
    std::string got;
    ssize_t n;
    while ((n = read(fds[0], sink, sizeof sink)) > 0) {
        got.append(sink, static_cast<size_t>(n));
    }
    if (returned) {
        EXPECT_EQ(got.size() % PIPE_BUF, 0u);
        EXPECT_GE(got.size(), page.size());
    }
    close(fds[0]);
    close(fds[1]);
}
