#pragma once

#include "gui/IControl.h"

// The drag behaviour of a knob: vertical or horizontal mouse travel moves the
// value, `gearing` control sizes of travel for the whole range (ten times as
// much with Shift or Control). While the mouse points at the knob or drags
// it, its linked displays show its name and value; they are emptied when the
// mouse leaves it. Never created on its own. UI thread only.
class IKnobControl : public IControl {
public:
    int32_t direction; // 0 vertical, 1 horizontal
    double gearing;

    IKnobControl(IAudioPlugin* plug, const IRectangle& rect, int32_t paramIndex, int32_t direction,
                 double gearing, const IBlendSpec& blend);

    void MouseDragged(int x, int y, int dX, int dY, const IMouseKeys& keys) override;
    // A drag released away from the knob leaves nothing in the displays.
    void MouseReleased(int x, int y, const IMouseKeys& keys) override;
    void MouseHovered(int x, int y, const IMouseKeys& keys) override;
    void MouseLeft() override;
};
