#pragma once

// Mouse button and modifier state of one event.
struct IMouseKeys {
    bool left = false;
    bool right = false;
    bool shift = false;
    bool control = false;
    bool alt = false;
};
