#pragma once

#include "gui/EditorKey.h"
#include "gui/IAuxLink.h"
#include "gui/IBlendSpec.h"
#include "gui/IMouseKeys.h"
#include "gui/IRectangle.h"
#include "gui/ITextStyle.h"

#include <cstdint>
#include <string>
#include <vector>

class IAudioPlugin;
class IGraphics;
class IParameter;
class ITextControl;

// One rectangular element of the editor, holding a normalized value that
// mirrors a parameter. Controls are used on the editor window's thread
// (UI thread); the plug-in base pushes values into them on the same thread.
class IControl {
public:
    int32_t textEntryLength = 7;
    ITextStyle textStyle;
    IAudioPlugin* plug;
    IRectangle rect;
    IRectangle targetRect;
    int32_t paramIndex;
    std::vector<IAuxLink> auxLinks;
    double value = 0.0;
    double defaultValue = -1.0; // negative: not known yet
    double clampLow = 0.0;
    double clampHigh = 1.0;
    bool dirty = true;
    bool hidden = false;
    bool greyed = false;
    bool redrawPending = false;
    bool promptDisabled = true;
    bool doubleClickAsPress = false;
    bool hoverWhenGreyed = false;
    IBlendSpec blend;
    ITextControl* valueDisplay = nullptr;
    ITextControl* nameDisplay = nullptr;
    // What the linked displays show instead of the parameter's own name and
    // display text; null shows those. Set by the editor's layout.
    const char* displayName = nullptr;
    std::string (*displayValueText)(const IParameter& parameter) = nullptr;

    IControl(IAudioPlugin* plug, const IRectangle& rect, int32_t paramIndex, const IBlendSpec& blend);

    virtual ~IControl();
    virtual void MousePressed(int x, int y, const IMouseKeys& keys);
    virtual void MouseReleased(int x, int y, const IMouseKeys& keys);
    virtual void MouseDragged(int x, int y, int dX, int dY, const IMouseKeys& keys);
    virtual void MouseDoubleClicked(int x, int y, const IMouseKeys& keys);
    virtual void WheelTurned(int x, int y, const IMouseKeys& keys, int steps);
    virtual bool KeyPressed(int x, int y, EditorKey key);
    virtual void MouseHovered(int x, int y, const IMouseKeys& keys);
    virtual void MouseLeft();
    virtual bool Render(IGraphics& graphics) = 0;
    virtual void TakePlugValue(double normalized);
    virtual void TakeEnteredText(const char* text);
    virtual void SetHidden(bool hide);
    virtual void SetGreyed(bool grey);
    virtual bool HitTest(int x, int y);
    virtual void MarkChanged(bool pushToPlug);
    virtual void MarkDrawn();
    virtual bool NeedsDrawing();
    virtual void SpareHook();
    virtual void TakeAuxPlugValue(int linkIndex, double normalized);

    // A value typed or chosen by the user: stored, sent to the plug-in, drawn twice.
    void TakeEnteredValue(double normalized);
    // Opens the editor's value prompt for the bound parameter, unless disabled.
    void OpenValueEntry();
    // Gives the linked value and name displays the bound parameter's display
    // text and name (or displayValueText and displayName when set). Nothing
    // without links or parameter.
    void ShowInDisplays();
    // Empties the linked displays, unless they show another control's
    // parameter (the mouse went straight from one knob to the next).
    void ClearDisplays();
    // The plug-in's parameter this control is bound to; null when none.
    // UI thread.
    IParameter* BoundParameter() const;

private:
    // The name the linked name display shows for the parameter. UI thread.
    const char* DisplayedName(const IParameter& parameter) const;
};
