#include "standalone/PreferencesGtk.h"

#include "standalone/EnginePreferencesHost.h"
#include "standalone/HostSettings.h"
#include "standalone/PreferencesDialog.h"

#include <gtk/gtk.h>

namespace {

using P = PreferencesDialog;

GtkWidget* Label(const char* text)
{
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    return label;
}

} // namespace

struct PreferencesGtk::Handlers {
    static void Changed(GtkWidget* widget, gpointer data)
    {
        auto* self = static_cast<PreferencesGtk*>(data);
        const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "control-id"));
        self->Notify(id, P::kSelectionChanged);
    }
    static void Clicked(GtkWidget* widget, gpointer data)
    {
        auto* self = static_cast<PreferencesGtk*>(data);
        const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "control-id"));
        self->Notify(id, P::kClicked);
    }
};

PreferencesGtk::PreferencesGtk(GtkWidget* owner)
{
    dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog), "Preferences");
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    if (owner != nullptr) {
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(owner));
        gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    }
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(content), 8);
    gtk_box_set_spacing(GTK_BOX(content), 8);

    auto makeList = [this](int id) {
        GtkWidget* combo = gtk_combo_box_text_new();
        g_object_set_data(G_OBJECT(combo), "control-id", GINT_TO_POINTER(id));
        g_signal_connect(combo, "changed", G_CALLBACK(Handlers::Changed), this);
        controls[id] = combo;
        return combo;
    };
    auto makeButton = [this](int id, GtkWidget* button) {
        g_object_set_data(G_OBJECT(button), "control-id", GINT_TO_POINTER(id));
        const bool check = id == P::kMonoInput || id == P::kStartWithLastSound;
        g_signal_connect(button, check ? "toggled" : "clicked", G_CALLBACK(Handlers::Clicked), this);
        controls[id] = button;
        return button;
    };
    // A note under a group's lists, shown only while it has something to say.
    auto makeNote = [this](int id) {
        GtkWidget* note = gtk_label_new(nullptr);
        gtk_label_set_xalign(GTK_LABEL(note), 0.0f);
        gtk_label_set_line_wrap(GTK_LABEL(note), TRUE);
        gtk_label_set_max_width_chars(GTK_LABEL(note), 40);
        gtk_widget_set_margin_top(note, 6);
        gtk_widget_set_no_show_all(note, TRUE);
        controls[id] = note;
        return note;
    };
    // One labelled list in a grid cell: the label above the list.
    auto place = [&](GtkWidget* grid, const char* label, GtkWidget* widget, int column, int row, int width) {
        gtk_grid_attach(GTK_GRID(grid), Label(label), column, row * 2, width, 1);
        gtk_grid_attach(GTK_GRID(grid), widget, column, row * 2 + 1, width, 1);
    };

    // Audio device settings, in the order of the dialog: left column devices
    // and channels, right column sizes, rate, mono input and the driver button.
    GtkWidget* audioFrame = gtk_frame_new("Audio Device Settings");
    GtkWidget* audio = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(audio), 2);
    gtk_grid_set_column_spacing(GTK_GRID(audio), 10);
    gtk_container_set_border_width(GTK_CONTAINER(audio), 8);
    place(audio, "Driver Type", makeList(P::kDriverType), 0, 0, 2);
    place(audio, "Input Device", makeList(P::kAudioInputDevice), 0, 1, 2);
    place(audio, "Output Device", makeList(P::kAudioOutputDevice), 0, 2, 2);
    place(audio, "IO Vector Size", makeList(P::kIoVectorSize), 2, 0, 1);
    place(audio, "Signal Vector Size", makeList(P::kSignalVectorSize), 2, 1, 1);
    place(audio, "Sampling Rate", makeList(P::kSampleRate), 2, 2, 1);
    place(audio, "Input 1 (L)", makeList(P::kInputChannel1), 0, 3, 1);
    place(audio, "Input 2 (R)", makeList(P::kInputChannel2), 1, 3, 1);
    gtk_grid_attach(GTK_GRID(audio), makeButton(P::kMonoInput, gtk_check_button_new_with_label("Mono Input")), 2, 7,
                    1, 1);
    place(audio, "Output 1 (L)", makeList(P::kOutputChannel1), 0, 4, 1);
    place(audio, "Output 2 (R)", makeList(P::kOutputChannel2), 1, 4, 1);
    gtk_grid_attach(GTK_GRID(audio), makeButton(P::kDriverConfig, gtk_button_new_with_label("JACK Config...")), 2, 9,
                    1, 1);
    gtk_grid_attach(GTK_GRID(audio), makeNote(P::kAudioNote), 0, 10, 3, 1);
    gtk_container_add(GTK_CONTAINER(audioFrame), audio);
    gtk_box_pack_start(GTK_BOX(content), audioFrame, FALSE, FALSE, 0);

    GtkWidget* midiFrame = gtk_frame_new("MIDI Device Settings");
    GtkWidget* midi = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(midi), 2);
    gtk_grid_set_column_spacing(GTK_GRID(midi), 10);
    gtk_container_set_border_width(GTK_CONTAINER(midi), 8);
    place(midi, "Input Device", makeList(P::kMidiInputDevice), 0, 0, 1);
    place(midi, "Output Device", makeList(P::kMidiOutputDevice), 0, 1, 1);
    place(midi, "Input Channel", makeList(P::kMidiInputChannel), 1, 0, 1);
    place(midi, "Output Channel", makeList(P::kMidiOutputChannel), 1, 1, 1);
    gtk_grid_attach(GTK_GRID(midi), makeNote(P::kMidiNote), 0, 4, 2, 1);
    gtk_container_add(GTK_CONTAINER(midiFrame), midi);
    gtk_box_pack_start(GTK_BOX(content), midiFrame, FALSE, FALSE, 0);

    // Off by default: the program starts with the default knobs.
    gtk_box_pack_start(GTK_BOX(content),
                       makeButton(P::kStartWithLastSound,
                                  gtk_check_button_new_with_label("Start with the last sound instead of the defaults")),
                       FALSE, FALSE, 0);

    // Every button of the action row answers with its control id; Apply
    // leaves the dialog running.
    controls[P::kApply] = gtk_dialog_add_button(GTK_DIALOG(dialog), "Apply", P::kApply);
    controls[P::kOk] = gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", P::kOk);
    controls[P::kCancel] = gtk_dialog_add_button(GTK_DIALOG(dialog), "Cancel", P::kCancel);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), P::kOk);
    gtk_widget_show_all(content);
}

PreferencesGtk::~PreferencesGtk()
{
    if (dialog != nullptr) {
        gtk_widget_destroy(dialog);
    }
}

int PreferencesGtk::Run(PreferencesDialog& dialogLogic)
{
    logic = &dialogLogic;
    endResult = 0;
    ++silenced;
    logic->PreferencesProc(P::kInitialise, 0, P::kOtherNotification);
    --silenced;
    while (endResult == 0) {
        const int response = gtk_dialog_run(GTK_DIALOG(dialog));
        // The close box (and Escape) count as Cancel.
        const int id = response == P::kOk || response == P::kApply ? response : static_cast<int>(P::kCancel);
        logic->PreferencesProc(P::kCommand, id, P::kClicked);
    }
    logic = nullptr;
    gtk_widget_hide(dialog);
    return endResult;
}

GtkWidget* PreferencesGtk::Control(int id) const
{
    const auto found = controls.find(id);
    return found == controls.end() ? nullptr : found->second;
}

void PreferencesGtk::Notify(int id, int notification)
{
    if (silenced > 0 || logic == nullptr) {
        return;
    }
    ++silenced;
    logic->PreferencesProc(P::kCommand, id, static_cast<P::Notification>(notification));
    --silenced;
}

void PreferencesGtk::AddItem(int id, const char* text)
{
    if (GtkWidget* combo = Control(id); combo != nullptr && GTK_IS_COMBO_BOX_TEXT(combo)) {
        ++silenced;
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), text);
        --silenced;
    }
}

void PreferencesGtk::ClearItems(int id)
{
    if (GtkWidget* combo = Control(id); combo != nullptr && GTK_IS_COMBO_BOX_TEXT(combo)) {
        ++silenced;
        gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(combo));
        --silenced;
    }
}

int PreferencesGtk::ItemCount(int id)
{
    GtkWidget* combo = Control(id);
    if (combo == nullptr || !GTK_IS_COMBO_BOX(combo)) {
        return 0;
    }
    return gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(combo)), nullptr);
}

std::string PreferencesGtk::ItemText(int id, int index)
{
    GtkWidget* combo = Control(id);
    if (combo == nullptr || !GTK_IS_COMBO_BOX(combo) || index < 0) {
        return {};
    }
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    GtkTreeIter iter;
    if (!gtk_tree_model_iter_nth_child(model, &iter, nullptr, index)) {
        return {};
    }
    gchar* text = nullptr;
    // GtkComboBoxText keeps its texts in column 0.
    gtk_tree_model_get(model, &iter, 0, &text, -1);
    std::string result = text != nullptr ? text : "";
    g_free(text);
    return result;
}

void PreferencesGtk::SelectItem(int id, int index)
{
    GtkWidget* combo = Control(id);
    if (combo == nullptr || !GTK_IS_COMBO_BOX(combo)) {
        return;
    }
    ++silenced;
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), index >= 0 && index < ItemCount(id) ? index : -1);
    --silenced;
}

int PreferencesGtk::SelectedItem(int id)
{
    GtkWidget* combo = Control(id);
    return combo != nullptr && GTK_IS_COMBO_BOX(combo) ? gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) : -1;
}

void PreferencesGtk::EnableControl(int id, bool enabled)
{
    if (GtkWidget* widget = Control(id)) {
        gtk_widget_set_sensitive(widget, enabled);
    }
}

void PreferencesGtk::SetChecked(int id, bool checked)
{
    if (GtkWidget* widget = Control(id); widget != nullptr && GTK_IS_TOGGLE_BUTTON(widget)) {
        ++silenced;
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), checked);
        --silenced;
    }
}

bool PreferencesGtk::IsChecked(int id)
{
    GtkWidget* widget = Control(id);
    return widget != nullptr && GTK_IS_TOGGLE_BUTTON(widget) && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget));
}

void PreferencesGtk::SetText(int id, const char* text)
{
    if (GtkWidget* widget = Control(id); widget != nullptr && GTK_IS_LABEL(widget)) {
        gtk_label_set_text(GTK_LABEL(widget), text);
        gtk_widget_set_visible(widget, text[0] != '\0');
    }
}

void PreferencesGtk::EndDialog(int result)
{
    endResult = result;
}

int RunPreferencesDialog(GtkWidget* owner)
{
    EnginePreferencesHost host;
    PreferencesGtk view(owner);
    PreferencesDialog logic(view, host, currentSettings, backupSettings, streamSettings);
    return view.Run(logic);
}
