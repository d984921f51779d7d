#include "gui/IKnobControl.h"

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
    if (direction == 0) {
        // Top minus bottom is negative, so moving up raises the value.
        value += static_cast<double>(dY) / static_cast<double>(rect.top - rect.bottom) / g;
    } else {
        value += static_cast<double>(dX) / static_cast<double>(rect.right - rect.left) / g;
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
