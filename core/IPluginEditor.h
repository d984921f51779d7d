#pragma once

// A native window or widget handed between a host and an editor; opaque here.
using WindowHandle = void*;

// What the plug-in base and its hosts ask of an attached editor. The base owns
// the editor through this interface and knows nothing of how it draws, so the
// core builds without the editor framework, which implements it. UI thread only.
class IPluginEditor {
public:
    virtual ~IPluginEditor() = default;
    // Gives the controls bound to the parameter (or to it through an aux link)
    // the parameter's normalized value, as attaching the editor does.
    virtual void TakePlugValue(int paramIndex, double normalized) = 0;
    // Makes the drawing surfaces; called once, when the editor is attached.
    virtual void CreateBackingBitmaps() = 0;
    // Shows a parameter value (plain unless isNormalized) on its controls.
    virtual void ShowParameterValue(int paramIndex, double value, bool isNormalized) = 0;
    // Opens the editor's window inside parent; null when it could not.
    virtual WindowHandle OpenEditorWindow(WindowHandle parent) = 0;
    virtual void CloseEditorWindow() = 0;
};
