#include "gui/X11ErrorTrap.h"

#include "platform/DebugTrace.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct Watched {
    Display* display;
    unsigned long errors;
};

// Everything the handler needs, behind one lock: the handler runs on
// whichever thread reads the error, outside the display's own lock.
struct TrapRecord {
    std::mutex lock;
    std::vector<Watched> watched;
    XErrorHandler previous = nullptr;
    int alive = 0; // traps alive
};

TrapRecord& Record()
{
    static TrapRecord record;
    return record;
}

int HandleError(Display* display, XErrorEvent* event)
{
    TrapRecord& record = Record();
    XErrorHandler previous = nullptr;
    bool ours = false;
    {
        std::lock_guard<std::mutex> hold(record.lock);
        for (Watched& w : record.watched) {
            if (w.display == display) {
                ++w.errors;
                ours = true;
            }
        }
        previous = record.previous;
    }
    if (!ours) {
        return previous != nullptr ? previous(display, event) : 0;
    }
    // Describing the error reads Xlib's local tables only; no request goes out.
    char text[128] = "";
    XGetErrorText(display, event->error_code, text, sizeof text);
    DebugTrace("Snarlbox editor: X error \"%s\" (request %u.%u, resource 0x%lx) on its own connection; ignored", text,
               static_cast<unsigned>(event->request_code), static_cast<unsigned>(event->minor_code),
               event->resourceid);
    return 0;
}

} // namespace

X11ErrorTrap::X11ErrorTrap(_XDisplay* const& connection) : display(connection)
{
    TrapRecord& record = Record();
    std::lock_guard<std::mutex> hold(record.lock);
    if (record.alive++ == 0) {
        record.previous = XSetErrorHandler(HandleError);
    }
}

X11ErrorTrap::~X11ErrorTrap()
{
    TrapRecord& record = Record();
    bool last = false;
    {
        std::lock_guard<std::mutex> hold(record.lock);
        last = record.alive == 1;
    }
    // The last trap collects the errors of every call made under the traps.
    if (last && display != nullptr) {
        XSync(display, False);
    }
    std::lock_guard<std::mutex> hold(record.lock);
    if (--record.alive == 0) {
        const XErrorHandler current = XSetErrorHandler(record.previous);
        if (current != HandleError) {
            // Someone installed a handler of their own meanwhile: theirs stays.
            XSetErrorHandler(current);
        }
        record.previous = nullptr;
    }
}

void X11ErrorTrap::Watch(_XDisplay* display)
{
    TrapRecord& record = Record();
    std::lock_guard<std::mutex> hold(record.lock);
    record.watched.push_back(Watched{display, 0});
}

void X11ErrorTrap::Unwatch(_XDisplay* display)
{
    TrapRecord& record = Record();
    std::lock_guard<std::mutex> hold(record.lock);
    auto found = std::find_if(record.watched.begin(), record.watched.end(),
                              [&](const Watched& w) { return w.display == display; });
    if (found != record.watched.end()) {
        record.watched.erase(found);
    }
}

unsigned long X11ErrorTrap::ErrorsOn(_XDisplay* display)
{
    XSync(display, False);
    TrapRecord& record = Record();
    std::lock_guard<std::mutex> hold(record.lock);
    for (const Watched& w : record.watched) {
        if (w.display == display) {
            return w.errors;
        }
    }
    return 0;
}
