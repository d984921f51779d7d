#pragma once

#include "standalone/IPreferencesView.h"

#include <map>

typedef struct _GtkWidget GtkWidget;
class PreferencesDialog;

// The preferences dialog on GTK: a modal GtkDialog "Preferences" built in
// code with the controls of the dialog logic, each under its control id.
// UI thread (the GTK main thread) only.
class PreferencesGtk : public IPreferencesView {
public:
    // Builds the dialog (not yet shown) over owner, which may be null.
    // UI thread only.
    explicit PreferencesGtk(GtkWidget* owner);
    ~PreferencesGtk() override;
    PreferencesGtk(const PreferencesGtk&) = delete;
    PreferencesGtk& operator=(const PreferencesGtk&) = delete;

    // Fills the dialog through logic, runs it modally and returns its result
    // (1 OK, 2 Cancel or the close box). UI thread only.
    int Run(PreferencesDialog& logic);

    void AddItem(int id, const char* text) override;
    void ClearItems(int id) override;
    int ItemCount(int id) override;
    std::string ItemText(int id, int index) override;
    void SelectItem(int id, int index) override;
    int SelectedItem(int id) override;
    void EnableControl(int id, bool enabled) override;
    void SetChecked(int id, bool checked) override;
    bool IsChecked(int id) override;
    void SetText(int id, const char* text) override;
    void EndDialog(int result) override;

    GtkWidget* DialogWidget() const { return dialog; }
    // The widget of a control id, or null. UI thread only.
    GtkWidget* Control(int id) const;

private:
    struct Handlers;
    friend struct Handlers;

    void Notify(int id, int notification);

    GtkWidget* dialog = nullptr;
    std::map<int, GtkWidget*> controls;
    PreferencesDialog* logic = nullptr;
    int silenced = 0;     // > 0 while we change controls ourselves
    int endResult = 0;
};

// Runs the preferences dialog over the process's settings, audio engine and
// MIDI objects; returns its result. UI thread only.
int RunPreferencesDialog(GtkWidget* owner);
