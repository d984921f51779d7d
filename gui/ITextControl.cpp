#include "gui/ITextControl.h"

#include "gui/IGraphics.h"

ITextControl::ITextControl(IAudioPlugin* plugIn, const IRectangle& r, const ITextStyle& style, const char* initial)
    : IControl(plugIn, r, -1, IBlendSpec{}), text(initial != nullptr ? initial : "")
{
    textStyle = style;
}

void ITextControl::SetText(const char* newText)
{
    const char* t = newText != nullptr ? newText : "";
    if (text != t) {
        MarkChanged(false);
        text = t;
    }
}

bool ITextControl::Render(IGraphics& graphics)
{
    IRectangle area = rect;
    return graphics.DrawTextInRect(textStyle, text.c_str(), area, false);
}
