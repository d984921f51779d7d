#include "standalone/SoundMenuGtk.h"

#include "core/IAudioPlugin.h"
#include "standalone/ApplySound.h"
#include "standalone/HostSettings.h"
#include "standalone/SayOnStderr.h"
#include "standalone/SoundFiles.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <filesystem>

struct SoundMenuGtk::Handlers {
    static void Open(GtkMenuItem*, gpointer data) { static_cast<SoundMenuGtk*>(data)->OpenSound(); }
    static void Save(GtkMenuItem*, gpointer data) { static_cast<SoundMenuGtk*>(data)->SaveSoundAs(); }
    static void FileMenuShown(GtkWidget*, gpointer data) { static_cast<SoundMenuGtk*>(data)->RebuildSoundsMenu(); }
    static void Chosen(GtkMenuItem* item, gpointer data)
    {
        auto* self = static_cast<SoundMenuGtk*>(data);
        const auto index = static_cast<size_t>(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "sound")));
        if (index >= self->listed.size()) {
            return;
        }
        Sound sound;
        std::string error;
        if (!LoadSoundEntry(self->listed[index], sound, error)) {
            self->Complain(error);
            return;
        }
        if (!error.empty()) {
            SayOnStderr(error);
        }
        self->Load(sound);
    }
};

SoundMenuGtk::SoundMenuGtk(IAudioPlugin* plugin) : plugin(plugin) {}

void SoundMenuGtk::AddTo(GtkWidget* fileMenu, GtkAccelGroup* accelerators, GtkWidget* parentWindow)
{
    window = parentWindow;
    auto add = [&](GtkWidget* item, int position) {
        gtk_menu_shell_insert(GTK_MENU_SHELL(fileMenu), item, position);
        return item;
    };
    GtkWidget* open = add(gtk_menu_item_new_with_mnemonic("_Open Sound..."), 0);
    g_signal_connect(open, "activate", G_CALLBACK(Handlers::Open), this);
    gtk_widget_add_accelerator(open, "activate", accelerators, GDK_KEY_o, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
    GtkWidget* save = add(gtk_menu_item_new_with_mnemonic("_Save Sound As..."), 1);
    g_signal_connect(save, "activate", G_CALLBACK(Handlers::Save), this);
    gtk_widget_add_accelerator(save, "activate", accelerators, GDK_KEY_s, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
    GtkWidget* sounds = add(gtk_menu_item_new_with_mnemonic("Sou_nds"), 2);
    soundsMenu = gtk_menu_new();
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(sounds), soundsMenu);
    add(gtk_separator_menu_item_new(), 3);
    // Saved sounds come and go (hosts save them too): the list is read
    // again each time the File menu opens.
    g_signal_connect(fileMenu, "show", G_CALLBACK(Handlers::FileMenuShown), this);
    RebuildSoundsMenu();
}

void SoundMenuGtk::Forget()
{
    window = nullptr;
    soundsMenu = nullptr;
}

void SoundMenuGtk::RebuildSoundsMenu()
{
    if (soundsMenu == nullptr) {
        return;
    }
    GList* children = gtk_container_get_children(GTK_CONTAINER(soundsMenu));
    for (GList* child = children; child != nullptr; child = child->next) {
        gtk_widget_destroy(GTK_WIDGET(child->data));
    }
    g_list_free(children);
    listed = ListSounds();
    bool factory = true;
    for (size_t i = 0; i < listed.size(); ++i) {
        if (factory && !listed[i].factory) {
            gtk_menu_shell_append(GTK_MENU_SHELL(soundsMenu), gtk_separator_menu_item_new());
            factory = false;
        }
        // Plain labels: a sound's name may hold underscores.
        GtkWidget* item = gtk_menu_item_new_with_label(listed[i].name.c_str());
        g_object_set_data(G_OBJECT(item), "sound", GINT_TO_POINTER(static_cast<int>(i)));
        if (!listed[i].path.empty()) {
            gtk_widget_set_tooltip_text(item, listed[i].path.c_str());
        }
        g_signal_connect(item, "activate", G_CALLBACK(Handlers::Chosen), this);
        gtk_menu_shell_append(GTK_MENU_SHELL(soundsMenu), item);
    }
    gtk_widget_show_all(soundsMenu);
}

std::string SoundMenuGtk::ShownName()
{
    if (plugin == nullptr || !loaded || !KnobsMatchSound(*plugin, *loaded)) {
        return "";
    }
    return loaded->name;
}

void SoundMenuGtk::Load(const Sound& sound)
{
    if (plugin == nullptr) {
        return;
    }
    ApplySound(*plugin, sound);
    loaded = sound;
}

void SoundMenuGtk::Complain(const std::string& text)
{
    SayOnStderr(text);
    GtkWidget* box = gtk_message_dialog_new(window != nullptr ? GTK_WINDOW(window) : nullptr, GTK_DIALOG_MODAL,
                                            GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(box), "Snarlbox");
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}

bool SoundMenuGtk::Ask(const std::string& text)
{
    GtkWidget* box = gtk_message_dialog_new(window != nullptr ? GTK_WINDOW(window) : nullptr, GTK_DIALOG_MODAL,
                                            GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(box), "Snarlbox");
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_NO);
    const int answer = gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    return answer == GTK_RESPONSE_YES;
}

void SoundMenuGtk::OpenSound()
{
    if (plugin == nullptr) {
        return;
    }
    GtkWidget* chooser = gtk_file_chooser_dialog_new("Open Sound", window != nullptr ? GTK_WINDOW(window) : nullptr,
                                                     GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel", GTK_RESPONSE_CANCEL,
                                                     "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileFilter* presets = gtk_file_filter_new();
    gtk_file_filter_set_name(presets, "LV2 presets (*.ttl)");
    gtk_file_filter_add_pattern(presets, "*.ttl");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), presets);
    std::error_code ec;
    if (std::filesystem::is_directory(UserPresetFolder(), ec)) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), UserPresetFolder().c_str());
    }
    std::string path;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        if (char* file = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            path = file;
            g_free(file);
        }
    }
    gtk_widget_destroy(chooser);
    if (path.empty()) {
        return;
    }
    Sound sound;
    std::string error;
    if (!ReadSound(path, sound, error)) {
        Complain(error + "\nThe knobs keep their values.");
        return;
    }
    if (!error.empty()) {
        SayOnStderr(error);
    }
    Load(sound);
}

void SoundMenuGtk::SaveSoundAs()
{
    if (plugin == nullptr) {
        return;
    }
    const std::vector<SoundEntry> known = ListSounds(); // the names to warn about, as they are now
    GtkWidget* dialog = gtk_dialog_new_with_buttons(
        "Save Sound As", window != nullptr ? GTK_WINDOW(window) : nullptr,
        static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), "_Cancel",
        GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(row), 8);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 32);
    const std::string current = ShownName();
    gtk_entry_set_text(GTK_ENTRY(entry), current.c_str());
    gtk_box_pack_start(GTK_BOX(row), gtk_label_new_with_mnemonic("_Name:"), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), entry, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), row);
    gtk_widget_show_all(dialog);
    while (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        const std::string name = gtk_entry_get_text(GTK_ENTRY(entry));
        std::string bundle;
        std::string error;
        if (!UserSoundBundle(name, bundle, error)) {
            Complain(error);
            continue;
        }
        std::error_code ec;
        if (std::filesystem::exists(bundle, ec)) {
            if (!Ask("A sound named \"" + name + "\" exists. Replace it?")) {
                continue;
            }
        } else if (std::any_of(known.begin(), known.end(), [&](const SoundEntry& e) { return e.name == name; }) &&
                   !Ask("Another sound is named \"" + name + "\"; menus will show both. Save it anyway?")) {
            continue;
        }
        const Sound sound = CaptureSound(*plugin, name);
        if (!WriteSound(bundle, sound, error)) {
            Complain(error);
            continue;
        }
        loaded = sound;
        break;
    }
    gtk_widget_destroy(dialog);
}

std::string SoundMenuGtk::LastSoundFolder()
{
    const std::filesystem::path settings(settingsPath);
    return settingsPath[0] == '\0' ? std::string() : (settings.parent_path() / "last-sound.lv2").string();
}

void SoundMenuGtk::KeepLastSound()
{
    const std::string folder = LastSoundFolder();
    if (plugin == nullptr || folder.empty() || currentSettings.startWithLastSound == 0) {
        return;
    }
    const std::string name = ShownName();
    std::string error;
    if (!WriteSound(folder, CaptureSound(*plugin, name.empty() ? "Last sound" : name), error)) {
        SayOnStderr(error);
    }
}

void SoundMenuGtk::LoadLastSound()
{
    const std::string folder = LastSoundFolder();
    std::error_code ec;
    if (plugin == nullptr || folder.empty() || currentSettings.startWithLastSound == 0 ||
        !std::filesystem::exists(folder, ec)) {
        return;
    }
    Sound sound;
    std::string error;
    if (!ReadSound(folder, sound, error)) {
        SayOnStderr(error + "; starting with the default knobs");
        return;
    }
    if (!error.empty()) {
        SayOnStderr(error);
    }
    Load(sound);
}
