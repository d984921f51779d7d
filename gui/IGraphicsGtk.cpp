#include "gui/IGraphicsGtk.h"

#include "core/IAudioPlugin.h"
#include "core/IParameter.h"
#include "gui/IGraphicsHeadless.h"
#include "gui/IPopupMenu.h"
#include "gui/PopupMenuIds.h"
#include "raster/PngDecoder.h"
#include "raster/RasterSysBitmap.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

int openWindowCount = 0;

IMouseKeys KeysFromState(guint state)
{
    IMouseKeys keys;
    keys.left = (state & GDK_BUTTON1_MASK) != 0;
    keys.right = (state & GDK_BUTTON3_MASK) != 0;
    keys.shift = (state & GDK_SHIFT_MASK) != 0;
    keys.control = (state & GDK_CONTROL_MASK) != 0;
    keys.alt = (state & GDK_MOD1_MASK) != 0;
    return keys;
}

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

void ApplyEntryStyle(GtkWidget* entry, const ITextStyle& style)
{
    auto rgb = [](const IRgbaColor& c) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "rgb(%d,%d,%d)", c.red, c.green, c.blue);
        return std::string(buffer);
    };
    gchar* family = g_strescape(style.font, nullptr);
    gchar* css = g_strdup_printf("entry { font-family: \"%s\"; font-size: %dpx; font-weight: %d; font-style: %s; "
                                 "background: %s; color: %s; padding: 0; min-height: 0; border-radius: 0; }",
                                 family, style.size, style.style == ITextStyle::Bold ? 700 : 400,
                                 style.style == ITextStyle::Italic ? "italic" : "normal",
                                 rgb(style.entryBackground).c_str(), rgb(style.entryForeground).c_str());
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css, -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(entry), GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
    g_free(css);
    g_free(family);
}

// Points slot at widget and clears it by itself when the widget is finalized,
// so cached parents and top-level windows never dangle.
void SetWeakWidget(GtkWidget*& slot, GtkWidget* widget)
{
    if (slot == widget) {
        return;
    }
    if (slot) {
        g_object_remove_weak_pointer(G_OBJECT(slot), reinterpret_cast<gpointer*>(&slot));
    }
    slot = widget;
    if (slot) {
        g_object_add_weak_pointer(G_OBJECT(slot), reinterpret_cast<gpointer*>(&slot));
    }
}

} // namespace

// The signal handlers: they translate GTK events and leave every decision to
// the editor and the window logic.
struct IGraphicsGtk::Handlers {
    static gboolean Draw(GtkWidget*, cairo_t* cr, gpointer data)
    {
        auto* self = static_cast<IGraphicsGtk*>(data);
        RasterSysBitmap* buffer = self->backBuffer.get();
        if (!buffer || !buffer->Pixels()) {
            return TRUE;
        }
        // An RGB24 view of the same pixels: the alpha byte is not shown.
        cairo_surface_t* view = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(buffer->Pixels()), CAIRO_FORMAT_RGB24, buffer->Width(),
            buffer->Height(), buffer->Stride() * 4);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, view, 0, 0);
        cairo_rectangle(cr, 0, 0, buffer->Width(), buffer->Height());
        cairo_fill(cr);
        cairo_surface_destroy(view);
        return TRUE;
    }

    static gboolean Tick(gpointer data)
    {
        static_cast<IGraphicsGtk*>(data)->TimerTick();
        return G_SOURCE_CONTINUE;
    }

    static gboolean ButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer data)
    {
        auto* self = static_cast<IGraphicsGtk*>(data);
        int x = static_cast<int>(std::floor(event->x));
        int y = static_cast<int>(std::floor(event->y));
        IMouseKeys keys = KeysFromState(event->state);
        if (event->button == 1) {
            keys.left = true;
        } else if (event->button == 3) {
            keys.right = true;
        }
        bool leftOrRight = event->button == 1 || event->button == 3;
        if (event->type == GDK_2BUTTON_PRESS) {
            if (self->entryField) {
                return TRUE;
            }
            if (event->button == 1 && self->DispatchDoubleClick(x, y, keys)) {
                self->pointerDown = true;
            }
            return TRUE;
        }
        if (event->type != GDK_BUTTON_PRESS || event->button > 3) {
            return FALSE;
        }
        if (self->entryField && self->entryState == EntryEditing) {
            if (leftOrRight) {
                self->entryState = EntryCancel;
            }
            return TRUE;
        }
        if (self->entryField) {
            self->CloseEntryField();
            self->PaintDirtyControls(IRectangle{0, 0, self->width, self->height});
        }
        gtk_widget_grab_focus(widget);
        self->pointerDown = true;
        self->DispatchMousePress(x, y, keys);
        return TRUE;
    }

    static gboolean ButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data)
    {
        auto* self = static_cast<IGraphicsGtk*>(data);
        if (event->button != 1 && event->button != 3) {
            return FALSE;
        }
        if (self->entryField && self->entryState == EntryEditing) {
            return TRUE;
        }
        IMouseKeys keys = KeysFromState(event->state);
        if (event->button == 1) {
            keys.left = false;
        } else {
            keys.right = false;
        }
        self->pointerDown = false;
        self->DispatchMouseRelease(static_cast<int>(std::floor(event->x)), static_cast<int>(std::floor(event->y)),
                                   keys);
        return TRUE;
    }

    static gboolean Motion(GtkWidget*, GdkEventMotion* event, gpointer data)
    {
        auto* self = static_cast<IGraphicsGtk*>(data);
        if (self->entryField && self->entryState == EntryEditing) {
            return FALSE;
        }
        int x = static_cast<int>(std::floor(event->x));
        int y = static_cast<int>(std::floor(event->y));
        IMouseKeys keys = KeysFromState(event->state);
        if (keys.left || keys.right) {
            if (self->pointerDown && !self->entryField) {
                self->DispatchMouseDrag(x, y, keys);
            }
        } else if (self->DispatchMouseHover(x, y, keys)) {
            self->trackingLeave = true;
        }
        return TRUE;
    }

    static gboolean Scroll(GtkWidget*, GdkEventScroll* event, gpointer data)
    {
        auto* self = static_cast<IGraphicsGtk*>(data);
        if (self->entryField) {
            if (self->entryState != EntryEditing) {
                self->entryState = EntryCancel;
            }
            return TRUE;
        }
        int steps = 0;
        switch (event->direction) {
        case GDK_SCROLL_UP: steps = WheelAccumulator::StepsFromUnits(WheelAccumulator::kUnitsPerNotch); break;
        case GDK_SCROLL_DOWN: steps = WheelAccumulator::StepsFromUnits(-WheelAccumulator::kUnitsPerNotch); break;
        case GDK_SCROLL_SMOOTH: steps = self->wheel.AddSmoothDelta(event->delta_y); break;
        default: return FALSE; // horizontal scrolling is not a wheel turn here
        }
        self->DispatchWheel(static_cast<int>(std::floor(event->x)), static_cast<int>(std::floor(event->y)),
                            KeysFromState(event->state), steps);
        return TRUE;
    }

    static gboolean Leave(GtkWidget*, GdkEventCrossing* event, gpointer data)
    {
        auto* self = static_cast<IGraphicsGtk*>(data);
        if (self->entryField && self->entryState == EntryEditing) {
            return FALSE;
        }
        if (self->trackingLeave && event->mode == GDK_CROSSING_NORMAL) {
            self->trackingLeave = false;
            self->DispatchMouseLeave();
        }
        return TRUE;
    }

    static gboolean KeyPress(GtkWidget* widget, GdkEventKey* event, gpointer data)
    {
        auto* self = static_cast<IGraphicsGtk*>(data);
        if (self->entryField && self->entryState == EntryEditing) {
            return FALSE;
        }
        // The key's own symbol without Shift, so "a" and "A" (or "1" and "!") give one key.
        guint keyval = event->keyval;
        GdkKeymap* keymap = gdk_keymap_get_for_display(gtk_widget_get_display(widget));
        guint plain = 0;
        if (gdk_keymap_translate_keyboard_state(keymap, event->hardware_keycode, static_cast<GdkModifierType>(0),
                                                event->group, &plain, nullptr, nullptr, nullptr)) {
            keyval = plain;
        }
        if (event->keyval >= GDK_KEY_KP_Space && event->keyval <= GDK_KEY_KP_9) {
            return FALSE; // the keypad is not the editor's
        }
        EditorKey key = EditorKeyFromKeyval(keyval);
        if (key == KeyNone) {
            return FALSE;
        }
        int x = 0;
        int y = 0;
        GdkWindow* gdkWindow = gtk_widget_get_window(widget);
        GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(widget));
        if (gdkWindow && seat && gdk_seat_get_pointer(seat)) {
            gdk_window_get_device_position(gdkWindow, gdk_seat_get_pointer(seat), &x, &y, nullptr);
        }
        return self->DispatchKey(x, y, key) ? TRUE : FALSE;
    }

    static gboolean EntryFocusIn(GtkWidget*, GdkEvent*, gpointer data)
    {
        static_cast<IGraphicsGtk*>(data)->entryState = EntryEditing;
        return FALSE;
    }

    static gboolean EntryFocusOut(GtkWidget*, GdkEvent*, gpointer data)
    {
        static_cast<IGraphicsGtk*>(data)->entryState = EntryCancel;
        return FALSE;
    }

    static gboolean EntryKeyPress(GtkWidget*, GdkEventKey* event, gpointer data)
    {
        if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter ||
            event->keyval == GDK_KEY_ISO_Enter) {
            static_cast<IGraphicsGtk*>(data)->entryState = EntryCommit;
            return TRUE; // the field never sees Enter
        }
        return FALSE;
    }

    static void EntryInsertText(GtkEditable* editable, const gchar* text, gint length, gint*, gpointer data)
    {
        auto* self = static_cast<IGraphicsGtk*>(data);
        const gchar* end = length < 0 ? nullptr : text + length;
        for (const gchar* p = text; *p && (!end || p < end); p = g_utf8_next_char(p)) {
            if (!AcceptEntryCharacter(g_utf8_get_char(p), self->entryParameter)) {
                g_signal_stop_emission_by_name(editable, "insert-text");
                gtk_widget_error_bell(GTK_WIDGET(editable));
                return;
            }
        }
    }

    static void AreaDestroyed(GtkWidget*, gpointer data) { static_cast<IGraphicsGtk*>(data)->DestroyedByParent(); }

    static void MenuItemActivated(GtkMenuItem* item, gpointer data)
    {
        *static_cast<int*>(data) = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "snarlbox-id")) - 1;
    }

    static void MenuDone(GtkMenuShell*, gpointer data)
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
    static GtkWidget* BuildMenu(IPopupMenu& menu, int& counter, int* chosenId)
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
};

IGraphicsGtk::IGraphicsGtk(IAudioPlugin* plugIn, int32_t w, int32_t h, int32_t rate) : IGraphics(plugIn, w, h, rate)
{
}

IGraphicsGtk::~IGraphicsGtk()
{
    CloseEditorWindow();
    SetWeakWidget(parentWindow, nullptr);
    SetWeakWidget(topLevelWindow, nullptr);
}

int IGraphicsGtk::OpenWindowCount() { return openWindowCount; }

std::unique_ptr<IGraphics> IGraphicsGtk::Create(IAudioPlugin* plug, int w, int h, int fps)
{
    return std::make_unique<IGraphicsGtk>(plug, w, h, fps);
}

WindowHandle IGraphicsGtk::OpenEditorWindow(WindowHandle parent)
{
    if (window) {
        // GTK lays the area out inside its parent, so reopening keeps its place by itself.
        CloseEditorWindow();
    }
    auto* parentWidget = static_cast<GtkWidget*>(parent);
    if (!parentWidget || !GTK_IS_CONTAINER(parentWidget)) {
        return nullptr;
    }
    SetWeakWidget(parentWindow, parentWidget);
    ++openWindowCount;

    overlay = gtk_overlay_new();
    window = gtk_drawing_area_new();
    gtk_widget_set_size_request(window, width, height);
    gtk_widget_set_can_focus(window, TRUE);
    gtk_widget_add_events(window, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                      GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK | GDK_LEAVE_NOTIFY_MASK |
                                      GDK_KEY_PRESS_MASK | GDK_FOCUS_CHANGE_MASK);
    g_signal_connect(window, "draw", G_CALLBACK(Handlers::Draw), this);
    g_signal_connect(window, "button-press-event", G_CALLBACK(Handlers::ButtonPress), this);
    g_signal_connect(window, "button-release-event", G_CALLBACK(Handlers::ButtonRelease), this);
    g_signal_connect(window, "motion-notify-event", G_CALLBACK(Handlers::Motion), this);
    g_signal_connect(window, "scroll-event", G_CALLBACK(Handlers::Scroll), this);
    g_signal_connect(window, "leave-notify-event", G_CALLBACK(Handlers::Leave), this);
    g_signal_connect(window, "key-press-event", G_CALLBACK(Handlers::KeyPress), this);
    g_signal_connect(window, "destroy", G_CALLBACK(Handlers::AreaDestroyed), this);
    gtk_container_add(GTK_CONTAINER(overlay), window);
    gtk_container_add(GTK_CONTAINER(parentWidget), overlay);
    gtk_widget_show_all(overlay);

    int period = RedrawPeriodMs(frameRate);
    if (period > 0) {
        timerSource = g_timeout_add(static_cast<guint>(period), Handlers::Tick, this);
    }
    gtk_widget_grab_focus(window);
    wheel.Reset();
    for (auto& control : controls) {
        control->MarkChanged(false);
    }
    return window;
}

void IGraphicsGtk::CloseEditorWindow()
{
    if (!window) {
        return;
    }
    CloseEntryField();
    if (timerSource) {
        g_source_remove(timerSource);
        timerSource = 0;
    }
    g_signal_handlers_disconnect_by_data(window, this);
    GtkWidget* outer = overlay;
    window = nullptr;
    overlay = nullptr;
    pointerDown = false;
    trackingLeave = false;
    if (outer) {
        gtk_widget_destroy(outer);
    }
    --openWindowCount;
}

void IGraphicsGtk::DestroyedByParent()
{
    // The parent went away with the area: forget the widgets, stop the timer.
    if (timerSource) {
        g_source_remove(timerSource);
        timerSource = 0;
    }
    if (entryField) {
        g_signal_handlers_disconnect_by_data(entryField, this);
    }
    entryField = nullptr;
    entryControl = nullptr;
    entryParameter = nullptr;
    entryState = EntryNone;
    window = nullptr;
    overlay = nullptr;
    SetWeakWidget(topLevelWindow, nullptr);
    SetWeakWidget(parentWindow, nullptr);
    pointerDown = false;
}

WindowHandle IGraphicsGtk::GetEditorWindowHandle() { return window; }

bool IGraphicsGtk::IsEditorWindowOpen() { return window != nullptr; }

bool IGraphicsGtk::PresentToScreen(const IRectangle& area)
{
    ++presentCount;
    if (window) {
        gtk_widget_queue_draw_area(window, area.left, area.top, area.Width(), area.Height());
    }
    return true;
}

void IGraphicsGtk::CancelValueEntry() { entryState = EntryCancel; }

bool IGraphicsGtk::TimerTick()
{
    switch (DecideEntryTick(entryField != nullptr, entryState)) {
    case EntryTickAction::Commit: CommitEntryField(); return false;
    case EntryTickAction::Cancel: CloseEntryField(); return false;
    case EntryTickAction::ResetState: entryState = EntryNone; return false;
    case EntryTickAction::Ignore: return false;
    case EntryTickAction::CheckRedraw: break;
    }
    IRectangle dirty;
    if (!GatherDirtyArea(dirty)) {
        return false;
    }
    // An open field lies above the area in the overlay, so painting under it is harmless.
    PaintDirtyControls(dirty);
    if (entryField) {
        entryState = EntryUpdate;
    }
    return true;
}

void IGraphicsGtk::CommitEntryField()
{
    std::string text = LimitEntryText(gtk_entry_get_text(GTK_ENTRY(entryField)));
    IControl* control = entryControl;
    IParameter* parameter = entryParameter;
    if (control) {
        if (parameter) {
            control->TakeEnteredValue(parameter->ToNormalized(ParseEnteredValue(text.c_str(), *parameter)));
        } else {
            control->TakeEnteredText(text.c_str());
        }
    }
    CloseEntryField();
}

void IGraphicsGtk::CloseEntryField()
{
    if (entryField) {
        GtkWidget* field = entryField;
        g_signal_handlers_disconnect_by_data(field, this);
        entryField = nullptr;
        gtk_widget_destroy(field);
        if (window) {
            gtk_widget_grab_focus(window);
        }
    }
    entryControl = nullptr;
    entryParameter = nullptr;
    entryState = EntryNone;
}

void IGraphicsGtk::OpenTextEntry(IControl* control, const ITextStyle& style, const IRectangle& area,
                                 const char* text, IParameter* parameter)
{
    if (!control || entryField || !window || !overlay) {
        return;
    }
    GtkWidget* field = gtk_entry_new();
    gtk_entry_set_has_frame(GTK_ENTRY(field), FALSE);
    gtk_entry_set_alignment(GTK_ENTRY(field), style.align == ITextStyle::AlignCentre  ? 0.5f
                                              : style.align == ITextStyle::AlignRight ? 1.0f
                                                                                       : 0.0f);
    gtk_widget_set_halign(field, GTK_ALIGN_START);
    gtk_widget_set_valign(field, GTK_ALIGN_START);
    gtk_widget_set_margin_start(field, area.left);
    gtk_widget_set_margin_top(field, area.top);
    gtk_widget_set_size_request(field, area.Width() + 1, area.Height() + 1);
    gtk_entry_set_width_chars(GTK_ENTRY(field), 1);
    ApplyEntryStyle(field, style);
    gtk_entry_set_text(GTK_ENTRY(field), text ? text : "");
    gtk_entry_set_max_length(GTK_ENTRY(field), control->textEntryLength > 0 ? control->textEntryLength : 0);
    entryField = field;
    entryParameter = parameter;
    entryControl = control;
    g_signal_connect(field, "focus-in-event", G_CALLBACK(Handlers::EntryFocusIn), this);
    g_signal_connect(field, "focus-out-event", G_CALLBACK(Handlers::EntryFocusOut), this);
    g_signal_connect(field, "key-press-event", G_CALLBACK(Handlers::EntryKeyPress), this);
    g_signal_connect(field, "insert-text", G_CALLBACK(Handlers::EntryInsertText), this);
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), field);
    gtk_widget_show(field);
    gtk_widget_grab_focus(field);
    gtk_editable_select_region(GTK_EDITABLE(field), 0, -1);
    // Created with the focus: editing, even before the focus event arrives.
    entryState = EntryEditing;
}

void IGraphicsGtk::ResizeEditor(int32_t w, int32_t h)
{
    if (w == width && h == height) {
        return;
    }
    IGraphics::ResizeEditor(w, h);
    if (!window) {
        return;
    }
    // The containers above follow the area's request.
    gtk_widget_set_size_request(window, width, height);
    gtk_widget_queue_draw(window);
}

void IGraphicsGtk::HideCursorForDrag()
{
    if (cursorHidden || !window || !gtk_widget_get_window(window)) {
        return;
    }
    GdkDisplay* display = gtk_widget_get_display(window);
    GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
    int x = -1;
    int y = -1;
    if (pointer) {
        gdk_device_get_position(pointer, nullptr, &x, &y);
    }
    savedCursorX = x;
    savedCursorY = y;
    GdkCursor* blank = gdk_cursor_new_for_display(display, GDK_BLANK_CURSOR);
    gdk_window_set_cursor(gtk_widget_get_window(window), blank);
    if (blank) {
        g_object_unref(blank);
    }
    cursorHidden = true;
}

void IGraphicsGtk::RestoreCursorAfterDrag()
{
    if (!cursorHidden) {
        return;
    }
    cursorHidden = false;
    if (!window || !gtk_widget_get_window(window)) {
        return;
    }
    GdkDisplay* display = gtk_widget_get_display(window);
    GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
    if (pointer && savedCursorX >= 0 && savedCursorY >= 0) {
        gdk_device_warp(pointer, gdk_display_get_default_screen(display), savedCursorX, savedCursorY);
    }
    gdk_window_set_cursor(gtk_widget_get_window(window), nullptr);
}

RasterBitmap* IGraphicsGtk::LoadImageResource(int32_t id, const char* fileName)
{
    if (!IsPngFileName(fileName)) {
        return nullptr;
    }
    return DecodePngResource(moduleInstance, id);
}

// ---- native menus and dialogs ----

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
    GtkWidget* native = Handlers::BuildMenu(menu, counter, &chosenId);
    gtk_menu_attach_to_widget(GTK_MENU(native), window, nullptr);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_signal_connect(native, "deactivate", G_CALLBACK(Handlers::MenuDone), loop);
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
    if (save) {
        gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
        if (!fileName.empty()) {
            gchar* base = g_path_get_basename(fileName.c_str());
            gtk_file_chooser_set_current_name(chooser, base);
            g_free(base);
        }
    } else if (!fileName.empty()) {
        gtk_file_chooser_set_filename(chooser, fileName.c_str());
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
