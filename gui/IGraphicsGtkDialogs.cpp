// The editor window's native menus, message boxes, file and colour dialogs,
// web addresses and folder paths.
#include "gui/IGraphicsGtk.h"

#include "gui/IPopupMenu.h"
#include "gui/PopupMenuIds.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <unistd.h>

namespace {

std::string ExecutableDirectory()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return {};
    }
    path[n] = '\0';
    return DirectoryOfPath(path);
}

void MenuItemActivated(GtkMenuItem* item, gpointer data)
{
    *static_cast<int*>(data) = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "snarlbox-id")) - 1;
}

void MenuDone(GtkMenuShell*, gpointer data)
{
    // Activation of the chosen item follows the deactivation in the same
    // dispatch, so leave the nested loop only once that has run.
    g_idle_add(
        [](gpointer loop) -> gboolean {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return G_SOURCE_REMOVE;
        },
        data);
}

// Builds the native menu with the running id counter: the menu's items
// take ids first..first+n-1, its submenus the ids after.
GtkWidget* BuildMenu(IPopupMenu& menu, int& counter, int* chosenId)
{
    GtkWidget* native = gtk_menu_new();
    int first = counter;
    counter += menu.ItemCount();
    for (int i = 0; i < menu.ItemCount(); ++i) {
        IPopupMenuItem& item = *menu.items[static_cast<size_t>(i)];
        GtkWidget* entry = nullptr;
        if (item.flags & IPopupMenuItem::Separator) {
            entry = gtk_separator_menu_item_new();
        } else {
            std::string text = menu.ShownText(i);
            if (item.flags & IPopupMenuItem::Checked) {
                entry = gtk_check_menu_item_new_with_label(text.c_str());
                gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(entry), TRUE);
            } else {
                entry = gtk_menu_item_new_with_label(text.c_str());
            }
            if (item.flags & (IPopupMenuItem::Greyed | IPopupMenuItem::Disabled)) {
                gtk_widget_set_sensitive(entry, FALSE);
            }
            if (item.submenu) {
                gtk_menu_item_set_submenu(GTK_MENU_ITEM(entry), BuildMenu(*item.submenu, counter, chosenId));
            } else {
                g_object_set_data(G_OBJECT(entry), "snarlbox-id", GINT_TO_POINTER(PopupCommandId(first, i) + 1));
                g_signal_connect(entry, "activate", G_CALLBACK(MenuItemActivated), chosenId);
            }
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(native), entry);
    }
    gtk_widget_show_all(native);
    return native;
}

} // namespace

GtkWidget* IGraphicsGtk::FindTopLevelWindow()
{
    if (topLevelWindow) {
        return topLevelWindow;
    }
    if (parentWindow) {
        GtkWidget* top = gtk_widget_get_toplevel(parentWindow);
        if (top && gtk_widget_is_toplevel(top) && GTK_IS_WINDOW(top)) {
            SetWeakWidget(topLevelWindow, top);
            topLevelClassName = G_OBJECT_TYPE_NAME(top);
        }
        return topLevelWindow;
    }
    if (!topLevelClassName.empty()) {
        processId = static_cast<uint32_t>(getpid());
        GList* all = gtk_window_list_toplevels();
        for (GList* l = all; l; l = l->next) {
            if (topLevelClassName == G_OBJECT_TYPE_NAME(l->data)) {
                SetWeakWidget(topLevelWindow, GTK_WIDGET(l->data));
                break;
            }
        }
        g_list_free(all);
    }
    return topLevelWindow;
}

int IGraphicsGtk::MessageBoxOn(GtkWidget* owner, const char* text, const char* caption, int type)
{
    int set = MessageBoxButtonSet(type);
    GtkWidget* dialog = gtk_message_dialog_new(owner && GTK_IS_WINDOW(owner) ? GTK_WINDOW(owner) : nullptr,
                                               GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s",
                                               text ? text : "");
    gtk_window_set_title(GTK_WINDOW(dialog), caption ? caption : "");
    switch (set) {
    case MessageBoxOkCancel:
        gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_OK", GTK_RESPONSE_OK, "_Cancel", GTK_RESPONSE_CANCEL, nullptr);
        break;
    case MessageBoxYesNo:
        gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_Yes", GTK_RESPONSE_YES, "_No", GTK_RESPONSE_NO, nullptr);
        break;
    case MessageBoxYesNoCancel:
        gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_Yes", GTK_RESPONSE_YES, "_No", GTK_RESPONSE_NO, "_Cancel",
                               GTK_RESPONSE_CANCEL, nullptr);
        break;
    default: gtk_dialog_add_buttons(GTK_DIALOG(dialog), "_OK", GTK_RESPONSE_OK, nullptr); break;
    }
    int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    MessageBoxChoice choice = MessageBoxChoice::Closed;
    switch (response) {
    case GTK_RESPONSE_OK: choice = MessageBoxChoice::Ok; break;
    case GTK_RESPONSE_CANCEL: choice = MessageBoxChoice::Cancel; break;
    case GTK_RESPONSE_YES: choice = MessageBoxChoice::Yes; break;
    case GTK_RESPONSE_NO: choice = MessageBoxChoice::No; break;
    default: break;
    }
    return MessageBoxResult(type, choice);
}

int IGraphicsGtk::ShowMessageBox(const char* text, const char* caption, int type)
{
    return MessageBoxOn(FindTopLevelWindow(), text, caption, type);
}

IPopupMenu* IGraphicsGtk::ShowPopupMenu(IPopupMenu& menu, const IRectangle& area)
{
    mouseX = -1;
    mouseY = -1;
    captureIndex = -1;
    pointerDown = false;
    if (!window || !gtk_widget_get_window(window) || menu.ItemCount() == 0) {
        return nullptr;
    }
    int chosenId = -1;
    int counter = 0;
    GtkWidget* native = BuildMenu(menu, counter, &chosenId);
    gtk_menu_attach_to_widget(GTK_MENU(native), window, nullptr);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_signal_connect(native, "deactivate", G_CALLBACK(MenuDone), loop);
    GdkRectangle anchor{area.left, area.bottom, 1, 1};
    GdkEvent* trigger = gtk_get_current_event();
    gtk_menu_popup_at_rect(GTK_MENU(native), gtk_widget_get_window(window), &anchor, GDK_GRAVITY_NORTH_WEST,
                           GDK_GRAVITY_NORTH_WEST, trigger);
    if (trigger) {
        gdk_event_free(trigger);
    }
    if (gtk_widget_get_visible(native)) {
        g_main_loop_run(loop);
    }
    g_main_loop_unref(loop);
    gtk_widget_destroy(native);
    if (chosenId < 0) {
        return nullptr;
    }
    int position = -1;
    IPopupMenu* holder = FindPopupHolder(menu, chosenId, position);
    if (holder) {
        holder->chosenIndex = position;
    }
    return holder;
}

void IGraphicsGtk::GetHostDirectory(std::string& out) { out = ExecutableDirectory(); }

void IGraphicsGtk::GetModuleDirectory(std::string& out) { out = ExecutableDirectory(); }

void IGraphicsGtk::GetDesktopDirectory(std::string& out)
{
    const char* desktop = g_get_user_special_dir(G_USER_DIRECTORY_DESKTOP);
    out = desktop ? desktop : "";
}

void IGraphicsGtk::ChooseFile(std::string& fileName, int action, std::string& directory, const char* extensions)
{
    if (!window) {
        fileName.clear();
        return;
    }
    if (directory.empty()) {
        GetDesktopDirectory(directory);
    }
    bool save = action == 1;
    GtkWidget* owner = gtk_widget_get_toplevel(window);
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        save ? "Save" : "Open", GTK_IS_WINDOW(owner) ? GTK_WINDOW(owner) : nullptr,
        save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel", GTK_RESPONSE_CANCEL,
        save ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    if (!directory.empty()) {
        gtk_file_chooser_set_current_folder(chooser, directory.c_str());
    }
    std::string pattern;
    std::string defaultExtension;
    if (BuildFileFilter(extensions, pattern, defaultExtension)) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, pattern.c_str());
        size_t start = 0;
        while (start <= pattern.size()) {
            size_t end = pattern.find(';', start);
            if (end == std::string::npos) {
                end = pattern.size();
            }
            gtk_file_filter_add_pattern(filter, pattern.substr(start, end - start).c_str());
            start = end + 1;
        }
        gtk_file_chooser_add_filter(chooser, filter);
    }
    // A name with a folder opens the dialog in that folder, as the file
    // dialogs do with a full path; a relative one is taken from the directory.
    std::string path = fileName;
    if (!path.empty() && !g_path_is_absolute(path.c_str()) && !directory.empty()) {
        gchar* joined = g_build_filename(directory.c_str(), path.c_str(), nullptr);
        path = joined;
        g_free(joined);
    }
    if (save) {
        gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
        if (!path.empty()) {
            gchar* folder = g_path_get_dirname(path.c_str());
            if (path.find('/') != std::string::npos) {
                gtk_file_chooser_set_current_folder(chooser, folder);
            }
            g_free(folder);
            gchar* base = g_path_get_basename(path.c_str());
            gtk_file_chooser_set_current_name(chooser, base);
            g_free(base);
        }
    } else if (!path.empty()) {
        gtk_file_chooser_set_filename(chooser, path.c_str());
    }
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        gchar* chosen = gtk_file_chooser_get_filename(chooser);
        if (chosen) {
            std::string path = chosen;
            g_free(chosen);
            std::string base = path.substr(path.find_last_of('/') + 1);
            if (save && !defaultExtension.empty() && base.find('.') == std::string::npos) {
                path += "." + defaultExtension;
            }
            std::string folder = DirectoryOfPath(path);
            if (!folder.empty() && folder.size() <= 256) {
                directory = folder;
            }
            fileName = path;
        }
    }
    gtk_widget_destroy(dialog);
}

bool IGraphicsGtk::ChooseColour(IRgbaColor& colour, const char* prompt)
{
    if (!window) {
        return false;
    }
    if (!customColours) {
        customColours = std::make_unique<std::array<IRgbaColor, 16>>();
        customColours->fill(IRgbaColor{0, 0, 0, 0});
    }
    GtkWidget* owner = gtk_widget_get_toplevel(window);
    GtkWidget* dialog = gtk_color_chooser_dialog_new(prompt && *prompt ? prompt : "Colour",
                                                     GTK_IS_WINDOW(owner) ? GTK_WINDOW(owner) : nullptr);
    GtkColorChooser* chooser = GTK_COLOR_CHOOSER(dialog);
    gtk_color_chooser_set_use_alpha(chooser, FALSE);
    GdkRGBA palette[16];
    for (int i = 0; i < 16; ++i) {
        const IRgbaColor& c = (*customColours)[static_cast<size_t>(i)];
        palette[i] = GdkRGBA{c.red / 255.0, c.green / 255.0, c.blue / 255.0, 1.0};
    }
    gtk_color_chooser_add_palette(chooser, GTK_ORIENTATION_HORIZONTAL, 8, 16, palette);
    GdkRGBA initial{colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0, 1.0};
    gtk_color_chooser_set_rgba(chooser, &initial);
    bool ok = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK;
    if (ok) {
        GdkRGBA chosen;
        gtk_color_chooser_get_rgba(chooser, &chosen);
        auto byte = [](double v) { return static_cast<int32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
        colour.red = byte(chosen.red);
        colour.green = byte(chosen.green);
        colour.blue = byte(chosen.blue);
        // Keep the choice among the custom colours offered next time.
        auto& list = *customColours;
        IRgbaColor kept{0, colour.red, colour.green, colour.blue};
        std::copy_backward(list.begin(), list.end() - 1, list.end());
        list[0] = kept;
    }
    gtk_widget_destroy(dialog);
    return ok;
}

bool IGraphicsGtk::OpenWebAddress(const char* address, const char* title, const char* confirmation,
                                  const char* errorText)
{
    GtkWidget* owner = window ? gtk_widget_get_toplevel(window) : nullptr;
    if (confirmation && MessageBoxOn(owner, confirmation, title, MessageBoxYesNo) != ResultYes) {
        return false;
    }
    if (address && *address && g_network_monitor_get_network_available(g_network_monitor_get_default())) {
        GError* error = nullptr;
        if (gtk_show_uri_on_window(owner && GTK_IS_WINDOW(owner) ? GTK_WINDOW(owner) : nullptr, address,
                                   GDK_CURRENT_TIME, &error)) {
            return true;
        }
        if (error) {
            g_error_free(error);
        }
    }
    if (errorText) {
        MessageBoxOn(owner, errorText, title, MessageBoxOk);
    }
    return false;
}
