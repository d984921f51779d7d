#pragma once

#include "standalone/Sound.h"
#include "standalone/SoundLibrary.h"

#include <optional>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkAccelGroup GtkAccelGroup;
class IAudioPlugin;

// The main window's sounds: "Open Sound..." (Ctrl+O), "Save Sound As..."
// (Ctrl+S) and the "Sounds" submenu in the File menu, the name of the sound
// the knobs still hold, and the last sound kept for the next start.
// UI thread (the GTK main thread) only.
class SoundMenuGtk {
public:
    // plugin may be null: the items then do nothing.
    explicit SoundMenuGtk(IAudioPlugin* plugin);

    // Puts the items at the top of fileMenu, with their keys in accelerators;
    // dialogs open over window.
    void AddTo(GtkWidget* fileMenu, GtkAccelGroup* accelerators, GtkWidget* window);
    // The window is going away: its widgets are no longer touched.
    void Forget();

    // The loaded or saved sound's name while every knob still holds its
    // value; empty otherwise.
    std::string ShownName();

    // Loads a sound into the knobs and remembers it as the one shown.
    void Load(const Sound& sound);

    // The last sound, kept beside settings.ini: written at the end of a run
    // when the Preferences option asks for it, and read at the start.
    static std::string LastSoundFolder();
    void KeepLastSound();
    void LoadLastSound();

private:
    struct Handlers;
    friend struct Handlers;

    void RebuildSoundsMenu();
    void OpenSound();
    void SaveSoundAs();
    void Complain(const std::string& text);
    // Asks a yes/no question; true for yes.
    bool Ask(const std::string& text);

    IAudioPlugin* plugin;
    GtkWidget* window = nullptr;
    GtkWidget* soundsMenu = nullptr;
    std::vector<SoundEntry> listed;
    std::optional<Sound> loaded;
};
