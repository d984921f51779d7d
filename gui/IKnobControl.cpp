#include "gui/IKnobControl.h"

#include <cmath>

IKnobControl::IKnobControl(IAudioPlugin* plugIn, const IRectangle& r, int32_t parameter, int32_t dir,
                           double gear, const IBlendSpec& blendSpec)
    : IControl(plugIn, r, parameter, blendSpec), direction(dir), gearing(gear)
{
}

void IKnobControl::MouseDragged(int, int, int dX, int dY, const IMouseKeys& keys)
{
    double g = gearing;
    if (keys.control || keys.shift) {
        g *= 10.0;
    }
    double step;
    if (direction == 0) {
        // Top minus bottom is negative, so moving up raises the value.
        step = static_cast<double>(dY) / static_cast<double>(rect.top - rect.bottom) / g;
    } else {
        step = static_cast<double>(dX) / static_cast<double>(rect.right - rect.left) / g;
    }
    // A knob with no extent along its direction (or no gearing) does not move:
    // 0 / 0 would send NaN to the plug-in, x / 0 slam the knob to an end.
    if (std::isfinite(step)) {
        value += step;
    }
    MarkChanged(true);
}

void IKnobControl::MouseReleased(int x, int y, const IMouseKeys&)
{
    if (!HitTest(x, y)) {
        ClearDisplays();
    }
}

void IKnobControl::MouseHovered(int, int, const IMouseKeys&)
{
    ShowInDisplays();
}

void IKnobControl::MouseLeft()
{
    ClearDisplays();
}
