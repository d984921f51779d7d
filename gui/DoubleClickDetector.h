#pragma once

#include <cstdint>

// Tells which button presses complete a double click, for window systems
// that report only single presses (X11). Follows GTK's rule, so the editor
// behaves alike in both windows: the second press of one button within the
// time and distance limits is a double click; a third press starts over.
// UI thread only; plain computation.
class DoubleClickDetector {
public:
    static constexpr uint32_t kMaxIntervalMs = 400; // between the two presses
    static constexpr int kMaxDistance = 5;          // pixels, along each axis

    // A press of button at (x, y) at timeMs (the window system's clock, which
    // may wrap). True when it is the second press of a double click.
    bool Press(int button, int x, int y, uint32_t timeMs);
    // Forgets the last press (the window closed or lost the pointer).
    void Reset() { havePress = false; }

private:
    bool havePress = false;
    int lastButton = 0;
    int lastX = 0;
    int lastY = 0;
    uint32_t lastTimeMs = 0;
};
