#pragma once

// One diagnostic line, formatted printf-style, sent to the debug log
// (GLib structured logging, domain "Snarlbox", debug level: silent unless
// G_MESSAGES_DEBUG=Snarlbox). The text is cut at 4093 characters, trailing
// white space is removed and "\r\n" appended.
// Any thread; takes no lock of ours, but formats on the stack (not for the
// audio thread's hot path).
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Tests: when set, every finished line is also handed to this hook (any thread).
using DebugTraceHook = void (*)(const char* line);
void SetDebugTraceHook(DebugTraceHook hook);
