#include "gui/IControl.h"

#include "core/IAudioPlugin.h"
#include "gui/IGraphics.h"
#include "gui/ITextControl.h"

#include <cmath>

IControl::IControl(IAudioPlugin* plugIn, const IRectangle& r, int32_t parameter, const IBlendSpec& blendSpec)
    : plug(plugIn), rect(r), targetRect(r), paramIndex(parameter), blend(blendSpec)
{
}

IControl::~IControl() = default;

void IControl::MousePressed(int, int, const IMouseKeys& keys)
{
    if (keys.right) {
        OpenValueEntry();
    }
}

void IControl::MouseReleased(int, int, const IMouseKeys&) {}

void IControl::MouseDragged(int, int, int, int, const IMouseKeys&) {}

void IControl::MouseDoubleClicked(int, int, const IMouseKeys&)
{
    if (defaultValue >= 0.0) {
        value = defaultValue;
        MarkChanged(true);
    }
}

void IControl::WheelTurned(int, int, const IMouseKeys& keys, int steps)
{
    value += steps * ((keys.control || keys.shift) ? 0.001 : 0.01);
    MarkChanged(true);
}

bool IControl::KeyPressed(int, int, EditorKey) { return false; }

void IControl::MouseHovered(int, int, const IMouseKeys&) {}

void IControl::MouseLeft() {}

void IControl::TakePlugValue(double v)
{
    if (defaultValue < 0.0) {
        // The first value a control receives becomes its double-click default.
        value = v;
        defaultValue = v;
    }
    if (value != v) {
        value = v;
        MarkChanged(false);
        redrawPending = true;
    }
}

void IControl::TakeEnteredText(const char*) {}

void IControl::SetHidden(bool hide)
{
    hidden = hide;
    redrawPending = true;
    MarkChanged(false);
}

void IControl::SetGreyed(bool grey)
{
    greyed = grey;
    blend.weight = grey ? 0.25f : 1.0f;
    MarkChanged(false);
}

bool IControl::HitTest(int x, int y)
{
    if (targetRect.IsEmpty()) {
        return false;
    }
    return targetRect.left <= x && x < targetRect.right && targetRect.top <= y && y < targetRect.bottom;
}

void IControl::MarkChanged(bool pushToPlug)
{
    // NaN passes both bounds; it must reach neither the plug-in nor the drawing.
    if (std::isnan(value)) {
        value = clampLow;
    } else if (clampLow > value) {
        value = clampLow;
    } else if (value > clampHigh) {
        value = clampHigh;
    }
    dirty = true;
    if (pushToPlug && plug != nullptr && paramIndex >= 0) {
        plug->SetParameterFromEditor(paramIndex, value);
        ShowInDisplays();
    }
}

IParameter* IControl::BoundParameter() const
{
    return plug != nullptr ? plug->ParameterAt(paramIndex) : nullptr;
}

void IControl::ShowInDisplays()
{
    IParameter* parameter = BoundParameter();
    if (parameter == nullptr) {
        return;
    }
    if (valueDisplay != nullptr) {
        if (displayValueText != nullptr) {
            valueDisplay->SetText(displayValueText(*parameter).c_str());
        } else {
            char text[32];
            parameter->DisplayText(text, sizeof text);
            valueDisplay->SetText(text);
        }
    }
    if (nameDisplay != nullptr) {
        nameDisplay->SetText(DisplayedName(*parameter));
    }
}

const char* IControl::DisplayedName(const IParameter& parameter) const
{
    return displayName != nullptr ? displayName : parameter.name;
}

void IControl::ClearDisplays()
{
    IParameter* parameter = BoundParameter();
    if (nameDisplay != nullptr && parameter != nullptr && nameDisplay->Text() != DisplayedName(*parameter)) {
        return;
    }
    if (valueDisplay != nullptr) {
        valueDisplay->SetText("");
    }
    if (nameDisplay != nullptr) {
        nameDisplay->SetText("");
    }
}

void IControl::MarkDrawn()
{
    dirty = redrawPending;
    redrawPending = false;
}

bool IControl::NeedsDrawing() { return dirty; }

void IControl::SpareHook() {}

void IControl::TakeAuxPlugValue(int linkIndex, double v)
{
    if (linkIndex < 0 || linkIndex >= static_cast<int>(auxLinks.size())) {
        return;
    }
    IAuxLink& link = auxLinks[static_cast<size_t>(linkIndex)];
    if (link.value != v) {
        link.value = v;
        MarkChanged(false);
        redrawPending = true;
    }
}

void IControl::TakeEnteredValue(double v)
{
    if (value != v) {
        value = v;
        MarkChanged(true);
        redrawPending = true;
    }
}

void IControl::OpenValueEntry()
{
    if (paramIndex < 0 || promptDisabled || plug == nullptr) {
        return;
    }
    IParameter* parameter = plug->ParameterAt(paramIndex);
    // The value prompt belongs to the graphics context; other editors have none.
    auto* editor = dynamic_cast<IGraphics*>(plug->Editor());
    if (parameter == nullptr || editor == nullptr) {
        return;
    }
    IRectangle area = rect;
    if (parameter->displayTexts.empty()) {
        const int cx = static_cast<int>(static_cast<float>(rect.left + rect.right) * 0.5f);
        const int cy = static_cast<int>(static_cast<float>(rect.top + rect.bottom) * 0.5f);
        area = {cx - 15, cy - 8, cx + 15, cy + 8};
    }
    editor->PromptParameterValue(this, parameter, area);
    redrawPending = true;
}
