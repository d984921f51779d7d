#include "standalone/MainWindowGtk.h"

#include "core/IAudioPlugin.h"
#include "effect/EditorLayout.h"
#include "gui/IGraphics.h"
#include "platform/Resources.h"
#include "standalone/CenterMainWindow.h"
#include "standalone/MainWindowProc.h"
#include "standalone/PreferencesGtk.h"
#include "standalone/SettingsFile.h"

#include <gtk/gtk.h>

namespace {

constexpr int kIconResource = 40003;

// The program icon from the resource table; null when it is missing or unreadable.
GdkPixbuf* LoadIcon()
{
    const ResourceEntry* entry = FindResource(kIconResource, "ICON");
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

} // namespace

struct MainWindowGtk::Handlers {
    static void Command(GtkMenuItem* item, gpointer data)
    {
        const int command = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "command"));
        MainWindowCommandChosen(command, *static_cast<MainWindowGtk*>(data));
    }
    static gboolean Delete(GtkWidget*, GdkEvent*, gpointer data)
    {
        MainWindowCloseRequested(*static_cast<MainWindowGtk*>(data));
        return TRUE;
    }
    static void Destroyed(GtkWidget*, gpointer data)
    {
        auto* self = static_cast<MainWindowGtk*>(data);
        self->mainWindow = nullptr;
        self->editorArea = nullptr;
        if (gtk_main_level() > 0) {
            gtk_main_quit();
        }
    }
};

MainWindowGtk::MainWindowGtk(IAudioPlugin* plugin) : plugin(plugin)
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
    if (GdkPixbuf* icon = LoadIcon()) {
        gtk_window_set_icon(GTK_WINDOW(mainWindow), icon);
        g_object_unref(icon);
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
    auto addItem = [&](GtkWidget* menu, const char* text, int command) {
        GtkWidget* item = gtk_menu_item_new_with_mnemonic(text);
        g_object_set_data(G_OBJECT(item), "command", GINT_TO_POINTER(command));
        g_signal_connect(item, "activate", G_CALLBACK(Handlers::Command), this);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    };
    GtkWidget* fileMenu = addMenu("_File");
    addItem(fileMenu, "Preferences...", kCommandPreferences);
    addItem(fileMenu, "_Quit", kCommandQuit);
    GtkWidget* helpMenu = addMenu("_Help");
    addItem(helpMenu, "_About", kCommandAbout);

    // The editor's drawing area goes into this fixed-size box.
    editorArea = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_set_size_request(editorArea, kEditorWidth, kEditorHeight);
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(column), menuBar, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), editorArea, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(mainWindow), column);
    gtk_widget_show_all(column);

    MainWindowInitialised(*this);
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
