#include "platform/DebugTrace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <glib.h>

namespace {
std::atomic<DebugTraceHook> traceHook{nullptr};
}

void SetDebugTraceHook(DebugTraceHook hook) { traceHook.store(hook); }

void DebugTrace(const char* format, ...)
{
    char line[4096];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, 4094, format, args);
    va_end(args);
    if (n < 0) {
        return;
    }
    size_t len = strnlen(line, 4093);
    while (len > 0 && (line[len - 1] == ' ' || line[len - 1] == '\t' || line[len - 1] == '\n' ||
                       line[len - 1] == '\r' || line[len - 1] == '\v' || line[len - 1] == '\f')) {
        --len;
    }
    line[len++] = '\r';
    line[len++] = '\n';
    line[len] = '\0';
    if (DebugTraceHook hook = traceHook.load()) {
        hook(line);
    }
    g_log_structured("Snarlbox", G_LOG_LEVEL_DEBUG, "MESSAGE", "%s", line);
}
