#pragma once

#include "effect/DistortionEffect.h"

#include <lv2/ui/ui.h>

#include <cstdint>

// The effect's parameters on the UI side of an LV2 host. The editor moves
// them exactly as in the standalone program (SetParameterFromEditor), and
// each change goes to the plug-in's control port through the host with the
// parameter's plain value; port values from the host reach the knobs through
// the editor's plug-value path. It processes no audio. UI thread only.
class Lv2UiPlugin : public DistortionEffect {
public:
    // write may be null (nothing is sent); touch may be null (no gestures).
    Lv2UiPlugin(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch);

    // Writes the parameter's plain value to its control port.
    void NotifyHostOfParameter(int paramIndex, double normalized) override;
    // While the user holds a knob the host is told so, and its port values
    // for that parameter are not applied: the hand on the knob wins.
    void BeginParameterGesture(int paramIndex) override;
    void EndParameterGesture(int paramIndex) override;

    // A control port's value from the host (automation, a preset, another
    // UI, the echo of our own write). Made safe like a stored state; a value
    // the parameter already has changes nothing. Other ports are ignored.
    void TakePortValue(uint32_t port, float value);

private:
    // A gesture on the parameter's knob starts or ends.
    void Hold(int paramIndex, bool holding);

    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Touch* touch;
    bool held[kParameterCount] = {};
};
