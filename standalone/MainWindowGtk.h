#pragma once

#include "standalone/IMainWindowActions.h"
#include "standalone/StatusLine.h"

#include <memory>
#include <functional>
#include <string>

typedef struct _GtkWidget GtkWidget;
class IAudioPlugin;
class SoundMenuGtk;

// The main window on GTK: "Snarlbox", not resizable, a menu bar ("_File":
// "Open Sound..." Ctrl+O, "Save Sound As..." Ctrl+S, "Sounds",
// "Preferences..." Ctrl+P, "_Quit" Ctrl+Q; "_Help": "_About") above the
// 655 x 175 editor area, and below it a status line that says whether audio
// runs and, if not, why, and the sound the knobs hold; a click on it opens
// Preferences. Its menu items and
// close box go through the main window handling; destroying it ends the main
// loop. UI thread (the GTK main thread) only.
class MainWindowGtk : public IMainWindowActions {
public:
    // plugin may be null (no editor). UI thread only.
    explicit MainWindowGtk(IAudioPlugin* plugin);
    // Destroys the window if it still exists. UI thread only.
    ~MainWindowGtk() override;
    MainWindowGtk(const MainWindowGtk&) = delete;
    MainWindowGtk& operator=(const MainWindowGtk&) = delete;

    // Builds the window, opens the editor in it, centres and shows it.
    // UI thread only.
    void Create();
    // Makes the close box call hide instead of closing the window (under a
    // session manager, which ends the program itself). UI thread only.
    void SetCloseHides(std::function<void()> hide) { closeHides = std::move(hide); }
    // Whether the window loads the last sound when it is made and keeps it
    // when it goes (both by default). A session keeps its own knobs, and a
    // sound named on the command line wins over the last one. UI thread only.
    void SetLastSound(bool load, bool keep)
    {
        loadLastSound = load;
        keepLastSound = keep;
    }
    // The window, or null once it is destroyed. UI thread only.
    GtkWidget* Window() const { return mainWindow; }

    // Remakes the status line from what the audio engine and MIDI publish;
    // called by the periodic poll. UI thread only.
    void RefreshStatusLine();
    // The status line's text as the window shows it (empty without a
    // window). UI thread only.
    std::string StatusText() const;
    // The status line's widget (null without a window). UI thread only.
    GtkWidget* StatusWidget() const { return statusBox; }
    // The name of the sound the knobs hold as the status line shows it
    // (empty when they were turned since it was loaded). UI thread only.
    std::string SoundText() const;

    bool OpenEditorWindow() override;
    void EditorWindowOpened() override;
    bool ShowOwnAboutBox() override;
    void ShowMessageBox(const char* text, const char* caption) override;
    int RunPreferences() override;
    void WriteSettings() override;
    void CenterAndShow() override;
    void DestroyMainWindow() override;

private:
    struct Handlers;
    friend struct Handlers;

    IAudioPlugin* plugin;
    GtkWidget* mainWindow = nullptr;
    GtkWidget* editorArea = nullptr;
    GtkWidget* statusBox = nullptr;   // takes the clicks
    GtkWidget* statusLight = nullptr;
    GtkWidget* statusLabel = nullptr;
    GtkWidget* soundLabel = nullptr;
    StatusLine statusLine;
    std::function<void()> closeHides;
    bool loadLastSound = true;
    bool keepLastSound = true;
    std::unique_ptr<SoundMenuGtk> soundMenu;
};
