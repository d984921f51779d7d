#pragma once

// Writes text to the file descriptor at once or not at all: when the pipe,
// socket or terminal behind it cannot take it now (a reader that does not
// read, as `snarlbox | less` or a launcher can be), the text is dropped and
// false returned. Used for the host's console lines, so that no thread of
// ours ever waits on standard output or standard error.
// Any thread but the audio thread; no lock, no allocation.
bool WriteWithoutBlocking(int fd, const char* text);
