#pragma once

struct _XDisplay;

// Keeps X errors on the editor's own display connections away from the
// process-wide Xlib error handler, which in many hosts ends the process: a
// parent window the host destroyed while a tick still draws, a stale parent
// id. While a trap is alive, errors on a watched connection are counted and
// logged at debug level; errors on any other connection go to the handler
// that was installed before. The handler is installed only while traps are
// alive, so the host's own handling is left as it was between our calls.
// UI thread (the thread that makes the editor's X calls); the shared record
// behind it is locked, so editors on several threads do not corrupt it.
// Not real-time safe.
class X11ErrorTrap {
public:
    // Installs the handler (the first trap alive does). display refers to
    // the connection that the trap's scope talks over; it may be null or be
    // closed and nulled inside the scope.
    explicit X11ErrorTrap(_XDisplay* const& display);
    // Waits for the server's answer to every call of the scope on a
    // display still open (the last trap alive does), so their errors
    // arrive now, then puts the previous handler back.
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // A connection of ours, from just after it is opened to just after it
    // is closed. UI thread.
    static void Watch(_XDisplay* display);
    static void Unwatch(_XDisplay* display);
    // Errors counted on a watched connection so far, after waiting for the
    // server's answer to every call made on it. Call inside a trap. UI thread.
    static unsigned long ErrorsOn(_XDisplay* display);

private:
    _XDisplay* const& display;
};
