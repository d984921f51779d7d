#pragma once

#include "gui/IControl.h"

#include <string>

// Shows one text, drawn with the editor's text drawing in the control's style.
// UI thread only.
class ITextControl : public IControl {
public:
    ITextControl(IAudioPlugin* plug, const IRectangle& rect, const ITextStyle& style, const char* text = "");

    // Marks the control changed only when the text differs.
    void SetText(const char* newText);
    const std::string& Text() const { return text; }

    bool Render(IGraphics& graphics) override;

private:
    std::string text;
};
