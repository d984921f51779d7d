#pragma once

#include <cstdint>

// What a host sees of the LV2 plug-in: its URI and its ports. The DSP
// wrapper, the generated description and an editor UI all read them here, so
// port indices and symbols are written down once. Any thread; constants.
namespace Lv2Interface {

// Stable: hosts store it in their sessions. A new URI means a new plug-in.
inline constexpr const char* kPluginUri = "urn:brimvale:snarlbox";
// The plug-in's own editor, an X11 UI in the same bundle. Stable as well.
inline constexpr const char* kUiUri = "urn:brimvale:snarlbox#ui";

// Port indices, in the order of the description.
inline constexpr uint32_t kInputLeft = 0;
inline constexpr uint32_t kInputRight = 1;
inline constexpr uint32_t kOutputLeft = 2;
inline constexpr uint32_t kOutputRight = 3;
inline constexpr uint32_t kFirstControl = 4;
inline constexpr uint32_t kControlCount = 6;
// The host's bypass switch (lv2:enabled), after the knobs: 1 processes,
// 0 passes the input through. Not a parameter of the effect.
inline constexpr uint32_t kEnabled = kFirstControl + kControlCount;
inline constexpr const char* kEnabledSymbol = "enabled";
inline constexpr uint32_t kPortCount = kEnabled + 1;

struct AudioPort {
    uint32_t index;
    const char* symbol;
    const char* name;
    bool input;
    bool left;
};

inline constexpr AudioPort kAudioPorts[4] = {
    {kInputLeft, "in_l", "Left In", true, true},
    {kInputRight, "in_r", "Right In", true, false},
    {kOutputLeft, "out_l", "Left Out", false, true},
    {kOutputRight, "out_r", "Right Out", false, false},
};

// One control input port per configured parameter (index 4 has none), in
// parameter order; the port's name, range and default are the parameter's.
struct ControlPort {
    uint32_t index;
    int paramIndex;
    const char* symbol;
};

inline constexpr ControlPort kControlPorts[kControlCount] = {
    {kFirstControl + 0, 0, "coarse"}, {kFirstControl + 1, 1, "fine"}, {kFirstControl + 2, 2, "wet"},
    {kFirstControl + 3, 3, "gain"},   {kFirstControl + 4, 5, "even"}, {kFirstControl + 5, 6, "odd"},
};

} // namespace Lv2Interface
