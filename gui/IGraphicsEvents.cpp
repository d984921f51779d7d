// Mouse and key routing of the editor.
#include "gui/IGraphics.h"

#include "core/IAudioPlugin.h"

int IGraphics::HitControl(int x, int y)
{
    for (int i = static_cast<int>(controls.size()) - 1; i >= 0; --i) {
        IControl& control = *controls[static_cast<size_t>(i)];
        if (!control.hidden && !control.greyed && control.HitTest(x, y)) {
            return i;
        }
    }
    return -1;
}

void IGraphics::DispatchMousePress(int x, int y, const IMouseKeys& keys)
{
    mouseX = -1;
    mouseY = -1;
    captureIndex = -1;
    const int index = HitControl(x, y);
    if (index < 0) {
        return;
    }
    IControl& control = *controls[static_cast<size_t>(index)];
    captureIndex = index;
    mouseX = x;
    mouseY = y;
    const int parameter = control.paramIndex;
    if (plug != nullptr && plug->WrapperKind() == 1 && keys.right && parameter >= 0) {
        mouseX = -1;
        mouseY = -1;
        captureIndex = -1;
        plug->OfferHostParameterMenu(parameter, x, y);
        return;
    }
    control.MousePressed(x, y, keys);
    if (plug != nullptr && parameter >= 0) {
        plug->BeginParameterGesture(parameter);
    }
}

void IGraphics::DispatchMouseDrag(int x, int y, const IMouseKeys& keys)
{
    if (captureIndex < 0 || captureIndex >= static_cast<int>(controls.size())) {
        return;
    }
    if (x == mouseX && y == mouseY) {
        return;
    }
    const int dX = x - mouseX;
    const int dY = y - mouseY;
    mouseX = x;
    mouseY = y;
    controls[static_cast<size_t>(captureIndex)]->MouseDragged(x, y, dX, dY, keys);
}

void IGraphics::DispatchMouseRelease(int x, int y, const IMouseKeys& keys)
{
    int index = captureIndex;
    if (index < 0 || index >= static_cast<int>(controls.size())) {
        index = HitControl(x, y);
    }
    mouseX = -1;
    mouseY = -1;
    captureIndex = -1;
    if (index < 0) {
        return;
    }
    IControl& control = *controls[static_cast<size_t>(index)];
    control.MouseReleased(x, y, keys);
    if (plug != nullptr && control.paramIndex >= 0) {
        plug->EndParameterGesture(control.paramIndex);
    }
}

bool IGraphics::DispatchDoubleClick(int x, int y, const IMouseKeys& keys)
{
    mouseX = -1;
    mouseY = -1;
    captureIndex = -1;
    const int index = HitControl(x, y);
    if (index < 0) {
        return false;
    }
    IControl& control = *controls[static_cast<size_t>(index)];
    if (!control.doubleClickAsPress) {
        control.MouseDoubleClicked(x, y, keys);
        return false;
    }
    captureIndex = index;
    mouseX = x;
    mouseY = y;
    control.MousePressed(x, y, keys);
    return true;
}

void IGraphics::DispatchWheel(int x, int y, const IMouseKeys& keys, int steps)
{
    int index = captureIndex;
    if (index < 0 || index >= static_cast<int>(controls.size())) {
        index = HitControl(x, y);
    }
    if (index >= 0) {
        controls[static_cast<size_t>(index)]->WheelTurned(x, y, keys, steps);
    }
}

bool IGraphics::DispatchMouseHover(int x, int y, const IMouseKeys& keys)
{
    if (!hoverEnabled) {
        return false;
    }
    int index = captureIndex;
    if (index < 0 || index >= static_cast<int>(controls.size())) {
        index = -1;
        for (int i = static_cast<int>(controls.size()) - 1; i >= 0; --i) {
            IControl& control = *controls[static_cast<size_t>(i)];
            if (!control.hidden && (!control.greyed || control.hoverWhenGreyed) && control.HitTest(x, y)) {
                index = i;
                break;
            }
        }
    }
    if (index < 0) {
        return true;
    }
    mouseX = x;
    mouseY = y;
    controls[static_cast<size_t>(index)]->MouseHovered(x, y, keys);
    if (hoverIndex >= 0 && hoverIndex != index && hoverIndex < static_cast<int>(controls.size())) {
        controls[static_cast<size_t>(hoverIndex)]->MouseLeft();
    }
    hoverIndex = index;
    return true;
}

bool IGraphics::DispatchKey(int x, int y, EditorKey key)
{
    int index = captureIndex;
    if (index < 0 || index >= static_cast<int>(controls.size())) {
        index = HitControl(x, y);
    }
    if (index <= 0) {
        return keyCatcher != nullptr ? keyCatcher->KeyPressed(x, y, key) : false;
    }
    return controls[static_cast<size_t>(index)]->KeyPressed(x, y, key);
}

void IGraphics::DispatchMouseLeave()
{
    for (const std::unique_ptr<IControl>& control : controls) {
        control->MouseLeft();
    }
    hoverIndex = -1;
}
