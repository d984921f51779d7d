#pragma once

// On X11: finds a top-level window titled title in the window manager's
// client list and asks the window manager to activate it. Does nothing
// without an X display or when no such window exists. UI thread only.
void RaiseFirstInstance(const char* title);
