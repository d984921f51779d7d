#pragma once

// What the main window's handling does to the world: the plug-in's editor
// and about box, message boxes, the preferences dialog, the settings file
// and the window itself. The GTK main window is the program's one.
// UI thread only.
class IMainWindowActions {
public:
    virtual ~IMainWindowActions() = default;

    // Opens the plug-in's editor in the main window; false when there is no
    // editor or it cannot open.
    virtual bool OpenEditorWindow() = 0;
    // The plug-in's EditorWindowOpened.
    virtual void EditorWindowOpened() = 0;
    // The plug-in's ShowOwnAboutBox.
    virtual bool ShowOwnAboutBox() = 0;
    virtual void ShowMessageBox(const char* text, const char* caption) = 0;
    // Runs the preferences dialog modally and returns its result (1 OK, 2 Cancel).
    virtual int RunPreferences() = 0;
    virtual void WriteSettings() = 0;
    virtual void CenterAndShow() = 0;
    // Destroys the main window; the loop then ends.
    virtual void DestroyMainWindow() = 0;
};
