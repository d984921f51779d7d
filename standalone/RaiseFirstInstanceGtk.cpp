#include "standalone/RaiseFirstInstance.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstring>

namespace {

// The window's _NET_WM_NAME equals title.
bool TitleIs(Display* display, Window window, Atom wmName, Atom utf8, const char* title)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, wmName, 0, 256, False, utf8, &type, &format, &count,
                                          &after, &data);
    const bool same = status == Success && data != nullptr && format == 8 && count == std::strlen(title) &&
                      std::memcmp(data, title, count) == 0;
    if (data != nullptr) {
        XFree(data);
    }
    return same;
}

// Ignores errors from windows that vanish while we look at them.
int IgnoreXError(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

void RaiseFirstInstance(const char* title)
{
    // Opened by hand: the second instance must not bring up a whole toolkit.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return;
    }
    XErrorHandler previous = XSetErrorHandler(IgnoreXError);
    const Window root = DefaultRootWindow(display);
    const Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", False);
    const Atom wmName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom activeWindow = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);

    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, root, clientList, 0, 4096, False, XA_WINDOW, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr && format == 32) {
        const auto* windows = reinterpret_cast<const Window*>(data);
        for (unsigned long i = 0; i < count; ++i) {
            if (!TitleIs(display, windows[i], wmName, utf8, title)) {
                continue;
            }
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = windows[i];
            event.xclient.message_type = activeWindow;
            event.xclient.format = 32;
            event.xclient.data.l[0] = 1; // from an application
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
            break;
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
}
