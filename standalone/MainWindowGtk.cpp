#include "standalone/MainWindowGtk.h"

#include "core/IAudioPlugin.h"
#include "effect/EditorLayout.h"
#include "gui/EditorScale.h"
#include "gui/IGraphics.h"
#include "platform/Resources.h"
#include "standalone/CenterMainWindow.h"
#include "standalone/MainWindowProc.h"
#include "standalone/PreferencesGtk.h"
#include "standalone/SettingsFile.h"
#include "standalone/SoundMenuGtk.h"

#include <gtk/gtk.h>

namespace {

constexpr int kIconResource = 40003;

// The program icon drawn at scale (1..3) from the resource table; null when
// it is missing or unreadable.
GdkPixbuf* LoadIcon(int scale)
{
    const ResourceEntry* entry = FindResource(ScaledImageId(kIconResource, scale), "ICON");
    if (entry == nullptr) {
        return nullptr;
    }
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    GdkPixbuf* icon = nullptr;
    if (gdk_pixbuf_loader_write(loader, entry->data, entry->size, nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
        icon = gdk_pixbuf_loader_get_pixbuf(loader);
        if (icon != nullptr) {
            g_object_ref(icon);
        }
    } else {
        gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
    return icon;
}

// The light before the status text: green while audio runs, amber while it
// comes back by itself, red while it needs the user.
const char* LightMarkup(StatusLine::Tone tone)
{
    switch (tone) {
    case StatusLine::Tone::Playing:
        return "<span foreground=\"#2a9d3c\">\u25cf</span>";
    case StatusLine::Tone::Waiting:
        return "<span foreground=\"#d99a00\">\u25cf</span>";
    case StatusLine::Tone::Silent:
        break;
    }
    return "<span foreground=\"#c8302c\">\u25cf</span>";
}

} // namespace

struct MainWindowGtk::Handlers {
    static void Command(GtkMenuItem* item, gpointer data)
    {
        const int command = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "command"));
        MainWindowCommandChosen(command, *static_cast<MainWindowGtk*>(data));
    }
    static gboolean Delete(GtkWidget*, GdkEvent*, gpointer data)
    {
        auto* self = static_cast<MainWindowGtk*>(data);
        if (self->closeHides) {
            self->closeHides();
            return TRUE;
        }
        MainWindowCloseRequested(*self);
        return TRUE;
    }
    static gboolean StatusClicked(GtkWidget*, GdkEventButton* event, gpointer data)
    {
        if (event->button != 1) {
            return FALSE;
        }
        MainWindowCommandChosen(kCommandPreferences, *static_cast<MainWindowGtk*>(data));
        return TRUE;
    }
    static void StatusRealized(GtkWidget* widget, gpointer)
    {
        // A pointing hand says the line can be clicked.
        GdkCursor* hand = gdk_cursor_new_from_name(gtk_widget_get_display(widget), "pointer");
        if (hand != nullptr) {
            gdk_window_set_cursor(gtk_widget_get_window(widget), hand);
            g_object_unref(hand);
        }
    }
    static void Destroyed(GtkWidget*, gpointer data)
    {
        auto* self = static_cast<MainWindowGtk*>(data);
        if (self->keepLastSound) {
            self->soundMenu->KeepLastSound();
        }
        self->soundMenu->Forget();
        self->mainWindow = nullptr;
        self->editorArea = nullptr;
        self->statusBox = nullptr;
        self->statusLight = nullptr;
        self->statusLabel = nullptr;
        self->soundLabel = nullptr;
        if (gtk_main_level() > 0) {
            gtk_main_quit();
        }
    }
};

MainWindowGtk::MainWindowGtk(IAudioPlugin* plugin) : plugin(plugin), soundMenu(std::make_unique<SoundMenuGtk>(plugin))
{
}

MainWindowGtk::~MainWindowGtk()
{
    DestroyMainWindow();
}

void MainWindowGtk::Create()
{
    if (mainWindow != nullptr) {
        return;
    }
    mainWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(mainWindow), "Snarlbox");
    gtk_window_set_resizable(GTK_WINDOW(mainWindow), FALSE);
    // Every size drawn, so desktops at scale 2 and 3 show a sharp icon.
    GList* icons = nullptr;
    for (int scale = kMaxEditorScale; scale >= 1; --scale) {
        if (GdkPixbuf* icon = LoadIcon(scale)) {
            icons = g_list_prepend(icons, icon);
        }
    }
    if (icons != nullptr) {
        gtk_window_set_icon_list(GTK_WINDOW(mainWindow), icons);
        g_list_free_full(icons, g_object_unref);
    }
    g_signal_connect(mainWindow, "delete-event", G_CALLBACK(Handlers::Delete), this);
    g_signal_connect(mainWindow, "destroy", G_CALLBACK(Handlers::Destroyed), this);

    GtkAccelGroup* accelerators = gtk_accel_group_new();
    gtk_window_add_accel_group(GTK_WINDOW(mainWindow), accelerators);
    g_object_unref(accelerators);

    GtkWidget* menuBar = gtk_menu_bar_new();
    auto addMenu = [&](const char* title) {
        GtkWidget* top = gtk_menu_item_new_with_mnemonic(title);
        GtkWidget* menu = gtk_menu_new();
        gtk_menu_set_accel_group(GTK_MENU(menu), accelerators);
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), menu);
        gtk_menu_shell_append(GTK_MENU_SHELL(menuBar), top);
        return menu;
    };
    auto addItem = [&](GtkWidget* menu, const char* text, int command, guint key) {
        GtkWidget* item = gtk_menu_item_new_with_mnemonic(text);
        g_object_set_data(G_OBJECT(item), "command", GINT_TO_POINTER(command));
        g_signal_connect(item, "activate", G_CALLBACK(Handlers::Command), this);
        if (key != 0) {
            gtk_widget_add_accelerator(item, "activate", accelerators, key, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    };
    GtkWidget* fileMenu = addMenu("_File");
    addItem(fileMenu, "Preferences...", kCommandPreferences, GDK_KEY_p);
    addItem(fileMenu, "_Quit", kCommandQuit, GDK_KEY_q);
    soundMenu->AddTo(fileMenu, accelerators, mainWindow);
    GtkWidget* helpMenu = addMenu("_Help");
    addItem(helpMenu, "_About", kCommandAbout, 0);

    // The editor's drawing area goes into this fixed-size box.
    editorArea = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_set_size_request(editorArea, kEditorWidth, kEditorHeight);
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(column), menuBar, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), editorArea, FALSE, FALSE, 0);

    // The status line: as wide as the editor whatever it says. A text too
    // long for one line (a long device name, larger text settings) wraps and
    // the window grows downwards, so nothing of it is cut; the whole text is
    // also in the tooltip.
    statusBox = gtk_event_box_new();
    GtkWidget* statusRow = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(statusRow), 3);
    statusLight = gtk_label_new(nullptr);
    gtk_widget_set_valign(statusLight, GTK_ALIGN_START);
    statusLabel = gtk_label_new(nullptr);
    gtk_label_set_xalign(GTK_LABEL(statusLabel), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(statusLabel), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(statusLabel), PANGO_WRAP_WORD_CHAR);
    // Asks for no width of its own: the editor's width decides where it wraps.
    gtk_label_set_max_width_chars(GTK_LABEL(statusLabel), 1);
    gtk_box_pack_start(GTK_BOX(statusRow), statusLight, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(statusRow), statusLabel, TRUE, TRUE, 0);
    // The sound's name, at the right end while the knobs hold it.
    soundLabel = gtk_label_new(nullptr);
    gtk_label_set_ellipsize(GTK_LABEL(soundLabel), PANGO_ELLIPSIZE_END);
    gtk_label_set_max_width_chars(GTK_LABEL(soundLabel), 24);
    gtk_box_pack_end(GTK_BOX(statusRow), soundLabel, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(statusBox), statusRow);
    gtk_widget_add_events(statusBox, GDK_BUTTON_RELEASE_MASK);
    g_signal_connect(statusBox, "button-release-event", G_CALLBACK(Handlers::StatusClicked), this);
    g_signal_connect(statusBox, "realize", G_CALLBACK(Handlers::StatusRealized), nullptr);
    gtk_box_pack_start(GTK_BOX(column), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), statusBox, FALSE, FALSE, 0);
    RefreshStatusLine();

    gtk_container_add(GTK_CONTAINER(mainWindow), column);
    gtk_widget_show_all(column);
    if (loadLastSound) {
        soundMenu->LoadLastSound();
    }
    RefreshStatusLine();

    MainWindowInitialised(*this);
}

void MainWindowGtk::RefreshStatusLine()
{
    if (statusLabel == nullptr) {
        return;
    }
    const std::string before = statusLine.Text();
    const StatusLine::Tone toneBefore = statusLine.CurrentTone();
    const bool first = gtk_label_get_text(GTK_LABEL(statusLabel))[0] == '\0';
    statusLine.Update(StatusLine::ReadProcess());
    // Unchanged words are not set again: no relayout twice a second.
    if (first || statusLine.Text() != before) {
        gtk_label_set_text(GTK_LABEL(statusLabel), statusLine.Text().c_str());
        const std::string tip = statusLine.Text() + "\nClick for Preferences...";
        gtk_widget_set_tooltip_text(statusBox, tip.c_str());
    }
    if (first || statusLine.CurrentTone() != toneBefore) {
        gtk_label_set_markup(GTK_LABEL(statusLight), LightMarkup(statusLine.CurrentTone()));
    }
    const std::string sound = soundMenu->ShownName();
    if (sound != gtk_label_get_text(GTK_LABEL(soundLabel))) {
        gtk_label_set_text(GTK_LABEL(soundLabel), sound.c_str());
        gtk_widget_set_tooltip_text(soundLabel, sound.empty() ? nullptr : ("Sound: " + sound).c_str());
    }
}

std::string MainWindowGtk::SoundText() const
{
    return soundLabel != nullptr ? gtk_label_get_text(GTK_LABEL(soundLabel)) : std::string();
}

std::string MainWindowGtk::StatusText() const
{
    return statusLabel != nullptr ? gtk_label_get_text(GTK_LABEL(statusLabel)) : std::string();
}

bool MainWindowGtk::OpenEditorWindow()
{
    if (plugin == nullptr || plugin->Editor() == nullptr || editorArea == nullptr) {
        return false;
    }
    return plugin->Editor()->OpenEditorWindow(editorArea) != nullptr;
}

void MainWindowGtk::EditorWindowOpened()
{
    if (plugin != nullptr) {
        plugin->EditorWindowOpened();
    }
}

bool MainWindowGtk::ShowOwnAboutBox()
{
    return plugin != nullptr && plugin->ShowOwnAboutBox();
}

void MainWindowGtk::ShowMessageBox(const char* text, const char* caption)
{
    GtkWidget* box = gtk_message_dialog_new(mainWindow != nullptr ? GTK_WINDOW(mainWindow) : nullptr,
                                            GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s", text);
    gtk_window_set_title(GTK_WINDOW(box), caption);
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}

int MainWindowGtk::RunPreferences()
{
    return RunPreferencesDialog(mainWindow);
}

void MainWindowGtk::WriteSettings()
{
    ::WriteSettings();
}

void MainWindowGtk::CenterAndShow()
{
    if (mainWindow == nullptr) {
        return;
    }
    GdkRectangle screen{0, 0, 0, 0};
    GdkDisplay* display = gtk_widget_get_display(mainWindow);
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0) {
        monitor = gdk_display_get_monitor(display, 0);
    }
    if (monitor != nullptr) {
        gdk_monitor_get_geometry(monitor, &screen);
    }
    // The window manager adds its frame outside; the menu bar sits above the
    // editor area, which keeps the editor's exact size.
    const MainWindowPlacement place = CenterMainWindow(screen.width, screen.height, kEditorWidth, kEditorHeight,
                                                       kEditorWidth, kEditorHeight);
    gtk_window_set_gravity(GTK_WINDOW(mainWindow), GDK_GRAVITY_NORTH_WEST);
    gtk_window_move(GTK_WINDOW(mainWindow), screen.x + place.left, screen.y + place.top);
    gtk_widget_show(mainWindow);
}

void MainWindowGtk::DestroyMainWindow()
{
    if (mainWindow != nullptr) {
        gtk_widget_destroy(mainWindow);
    }
}
