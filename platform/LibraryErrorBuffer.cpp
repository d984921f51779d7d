#include "platform/LibraryErrorBuffer.h"

#include "platform/WriteWithoutBlocking.h"

#include <cstring>
#include <iostream>
#include <mutex>
#include <string>

namespace {
LibraryErrorBuffer* installed = nullptr;
std::once_flag installOnce;
} // namespace

void LibraryErrorBuffer::Install()
{
    std::call_once(installOnce, [] {
        // Lives for the whole process: std::cerr may be used until the very end.
        static LibraryErrorBuffer* buffer = new LibraryErrorBuffer();
        installed = buffer;
        std::cerr.rdbuf(buffer);
    });
}

void LibraryErrorBuffer::Flush()
{
    if (installed != nullptr) {
        installed->WriteOut();
    }
}

LibraryErrorBuffer::int_type LibraryErrorBuffer::overflow(int_type c)
{
    if (c != traits_type::eof()) {
        const char one = traits_type::to_char_type(c);
        Append(&one, 1);
    }
    return traits_type::not_eof(c);
}

std::streamsize LibraryErrorBuffer::xsputn(const char* data, std::streamsize count)
{
    Append(data, static_cast<size_t>(count));
    return count;
}

void LibraryErrorBuffer::Append(const char* data, size_t count)
{
    // A writer never waits: while another thread holds the buffer, the text goes.
    if (busy.test_and_set(std::memory_order_acquire)) {
        return;
    }
    const size_t room = kCapacity - used;
    const size_t taken = count < room ? count : room;
    std::memcpy(text.data() + used, data, taken);
    used += taken;
    busy.clear(std::memory_order_release);
}

void LibraryErrorBuffer::WriteOut()
{
    if (busy.test_and_set(std::memory_order_acquire)) {
        return;
    }
    if (used == 0) {
        busy.clear(std::memory_order_release);
        return;
    }
    const std::string pending(text.data(), used);
    used = 0;
    busy.clear(std::memory_order_release);
    WriteWithoutBlocking(2, pending.c_str());
}
