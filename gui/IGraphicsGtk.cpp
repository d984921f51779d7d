// The editor window: the drawing area and its timer, events, text-entry field
// and cursor.
#include "gui/IGraphicsGtk.h"

#include "core/IAudioPlugin.h"
#include "gui/IGraphicsHeadless.h"
#include "raster/PngDecoder.h"
#include "raster/RasterSysBitmap.h"

#include <gtk/gtk.h>

#include <cmath>
#include <cstdio>

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

} // namespace

void IGraphicsGtk::SetWeakWidget(GtkWidget*& slot, GtkWidget* widget)
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
        // An RGB24 view of the same pixels: the alpha byte is not shown. Its
        // device scale is the editor's, so at the window's scale factor each
        // back-buffer pixel is one screen pixel.
        cairo_surface_t* view = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(buffer->Pixels()), CAIRO_FORMAT_RGB24, buffer->Width(),
            buffer->Height(), buffer->Stride() * 4);
        cairo_surface_set_device_scale(view, self->scale, self->scale);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, view, 0, 0);
        cairo_rectangle(cr, 0, 0, buffer->Width() / self->scale, buffer->Height() / self->scale);
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
        if (event->type != GDK_BUTTON_PRESS) {
            // The toolkit's own double and triple presses follow the second
            // press; the press itself has already been told apart below.
            return event->button <= 3 ? TRUE : FALSE;
        }
        if (event->button < 1 || event->button > 3) {
            return FALSE;
        }
        int x = static_cast<int>(std::floor(event->x));
        int y = static_cast<int>(std::floor(event->y));
        IMouseKeys keys = KeysFromState(event->state);
        if (event->button == 1) {
            keys.left = true;
        } else if (event->button == 3) {
            keys.right = true;
        }
        // Every press counts toward a double click, as the system counts them.
        gint doubleTime = ClickSequence::kDefaultTimeMs;
        gint doubleDistance = ClickSequence::kDefaultDistance;
        g_object_get(gtk_widget_get_settings(widget), "gtk-double-click-time", &doubleTime,
                     "gtk-double-click-distance", &doubleDistance, nullptr);
        const bool isDouble =
            self->clicks.IsDoubleClick(static_cast<int>(event->button), event->time, x, y, doubleTime, doubleDistance);
        if (self->FieldIsEditing()) {
            if (event->button == 1 || event->button == 3) {
                self->entryState = EntryCancel;
            }
            return TRUE;
        }
        if (isDouble) {
            // Press, release, double click, release: the second press is the
            // double click. Only the left button's is answered.
            if (event->button == 1 && self->DispatchDoubleClick(x, y, keys)) {
                self->pointerDown = true;
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
        if (self->FieldIsEditing()) {
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
        if (self->FieldIsEditing()) {
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
        if (self->FieldIsEditing()) {
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
        if (self->FieldIsEditing()) {
            return FALSE;
        }
        // The key's own symbols without and with Shift, so "a" and "A" give
        // one key, and the digit row gives its digits on every layout.
        GdkKeymap* keymap = gdk_keymap_get_for_display(gtk_widget_get_display(widget));
        guint plain = 0;
        guint shifted = 0;
        if (!gdk_keymap_translate_keyboard_state(keymap, event->hardware_keycode, static_cast<GdkModifierType>(0),
                                                 event->group, &plain, nullptr, nullptr, nullptr)) {
            plain = event->keyval;
        }
        if (!gdk_keymap_translate_keyboard_state(keymap, event->hardware_keycode, GDK_SHIFT_MASK, event->group,
                                                 &shifted, nullptr, nullptr, nullptr)) {
            shifted = 0;
        }
        if (event->keyval >= GDK_KEY_KP_Space && event->keyval <= GDK_KEY_KP_9) {
            return FALSE; // the keypad is not the editor's
        }
        EditorKey key = EditorKeyFromLevels(plain, shifted);
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

    // GDK_SCALE, the desktop's scale setting, or the window moved to a
    // monitor of another scale.
    static void ScaleFactorChanged(GtkWidget*, GParamSpec*, gpointer data)
    {
        static_cast<IGraphicsGtk*>(data)->FollowScaleFactor();
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
    g_signal_connect(window, "notify::scale-factor", G_CALLBACK(Handlers::ScaleFactorChanged), this);
    gtk_container_add(GTK_CONTAINER(overlay), window);
    gtk_container_add(GTK_CONTAINER(parentWidget), overlay);
    gtk_widget_show_all(overlay);
    SetScale(gtk_widget_get_scale_factor(window));

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

void IGraphicsGtk::FollowScaleFactor()
{
    if (window == nullptr) {
        return;
    }
    const int32_t before = scale;
    if (SetScale(gtk_widget_get_scale_factor(window)) && scale != before) {
        // Drawn at once at the new scale, not stretched until the next tick.
        TimerTick();
        gtk_widget_queue_draw(window);
    }
}

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
    std::string text = gtk_entry_get_text(GTK_ENTRY(entryField));
    IControl* control = entryControl;
    IParameter* parameter = entryParameter;
    if (control) {
        CommitEnteredText(*control, parameter, text.c_str());
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
    // The controls are about to go: an open field must not commit into one.
    CloseEntryField();
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
