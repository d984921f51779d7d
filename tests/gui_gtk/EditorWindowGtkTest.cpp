#include "tests/support/GtkTestLoop.h"
#include "tests/support/RequireService.h"
#include "core/IParameter.h"
#include "effect/DistortionEffect.h"
#include "effect/EditorFactory.h"
#include "effect/EditorLayout.h"
#include "gui/IGraphicsGtk.h"
#include "gui/IGraphicsHeadless.h"
#include "gui/IPopupMenu.h"
#include "gui/ITextControl.h"
#include "raster/RasterSysBitmap.h"

#include <gtest/gtest.h>
#include <glib/gstdio.h>
#include <gtk/gtk.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace {

std::unique_ptr<IGraphics> MakeHeadlessEditor(IAudioPlugin* plug, int w, int h, int fps)
{
    return std::make_unique<IGraphicsHeadless>(plug, w, h, fps);
}

// A key press queued on the top-level window, as the X server would deliver it.
void QueueKey(GtkWidget* top, guint keyval)
{
    GdkWindow* window = gtk_widget_get_window(top);
    GdkDisplay* display = gdk_window_get_display(window);
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(window));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = keyval;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count) && count > 0) {
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
        event->key.group = static_cast<guint8>(keys[0].group);
    }
    g_free(keys);
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
    gdk_display_put_event(display, event);
    gdk_event_free(event);
}

// A button event of the given type delivered straight to the editor area,
// at event time ms, as the toolkit hands it on.
void SendButton(GtkWidget* area, GdkEventType type, guint button, int x, int y, guint32 ms)
{
    GdkWindow* window = gtk_widget_get_window(area);
    GdkEvent* event = gdk_event_new(type);
    event->button.window = GDK_WINDOW(g_object_ref(window));
    event->button.send_event = TRUE;
    event->button.time = ms;
    event->button.x = x;
    event->button.y = y;
    event->button.button = button;
    if (type == GDK_BUTTON_RELEASE) {
        event->button.state = button == 1 ? GDK_BUTTON1_MASK : GDK_BUTTON3_MASK;
    }
    GdkDisplay* display = gdk_window_get_display(window);
    gdk_event_set_device(event, gdk_seat_get_pointer(gdk_display_get_default_seat(display)));
    gtk_widget_event(area, event);
    gdk_event_free(event);
}

// Records what the editor dispatches to it, in order.
class RecordingControl : public IControl {
public:
    RecordingControl(IAudioPlugin* plug, const IRectangle& r) : IControl(plug, r, -1, IBlendSpec{}) {}
    bool Render(IGraphics&) override { return true; }
    void MousePressed(int, int, const IMouseKeys&) override { calls += "press "; }
    void MouseReleased(int, int, const IMouseKeys&) override { calls += "release "; }
    void MouseDoubleClicked(int, int, const IMouseKeys&) override { calls += "double "; }
    bool KeyPressed(int, int, EditorKey key) override
    {
        keys.push_back(key);
        return true;
    }
    std::string calls;
    std::vector<EditorKey> keys;
};

bool HaveDisplay()
{
    static int state = -1;
    if (state < 0) {
        state = gtk_init_check(nullptr, nullptr) ? 1 : 0;
    }
    return state == 1;
}

class EditorWindowGtk : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SERVICE(HaveDisplay(), "no display can be opened");
        SetEditorFactory(&IGraphicsGtk::Create);
        effect = std::make_unique<DistortionEffect>(nullptr, &channel);
        SetEditorFactory(nullptr);
        editor = dynamic_cast<IGraphicsGtk*>(effect->Editor());
        ASSERT_NE(editor, nullptr);
        top = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_resizable(GTK_WINDOW(top), FALSE);
        box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_container_add(GTK_CONTAINER(top), box);
        area = static_cast<GtkWidget*>(editor->OpenEditorWindow(box));
        ASSERT_NE(area, nullptr);
        gtk_window_move(GTK_WINDOW(top), 0, 0);
        gtk_widget_show_all(top);
        Pump(300);
        ASSERT_TRUE(gtk_widget_get_mapped(area));
    }

    void TearDown() override
    {
        effect.reset();
        if (top) {
            gtk_widget_destroy(top);
        }
        Pump(20);
    }

    // Screen position of an editor pixel, in the device pixels the pointer
    // moves in (GTK's positions are in pixels of the window's scale).
    void ScreenPoint(int x, int y, int& sx, int& sy)
    {
        int ox = 0;
        int oy = 0;
        gdk_window_get_origin(gtk_widget_get_window(area), &ox, &oy);
        const int factor = gtk_widget_get_scale_factor(area);
        sx = (ox + x) * factor;
        sy = (oy + y) * factor;
    }

    bool PointerTo(int x, int y)
    {
        int sx = 0;
        int sy = 0;
        ScreenPoint(x, y, sx, sy);
        return Xdotool("mousemove " + std::to_string(sx) + " " + std::to_string(sy));
    }

    uint16_t channel = 0;
    std::unique_ptr<DistortionEffect> effect;
    IGraphicsGtk* editor = nullptr;
    GtkWidget* top = nullptr;
    GtkWidget* box = nullptr;
    GtkWidget* area = nullptr;
};

// The back buffer of a headless editor of the same effect after painting
// everything: what the window's back buffer must hold for those values.
std::unique_ptr<DistortionEffect> ReferenceEffect(uint16_t* channel)
{
    SetEditorFactory(MakeHeadlessEditor);
    auto reference = std::make_unique<DistortionEffect>(nullptr, channel);
    SetEditorFactory(nullptr);
    return reference;
}

int CountDifferentPixels(RasterSysBitmap& a, RasterSysBitmap& b)
{
    int different = 0;
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            if (a.Pixels()[y * a.Stride() + x] != b.Pixels()[y * b.Stride() + x]) {
                ++different;
            }
        }
    }
    return different;
}

// Pixels of the screenshot whose colour differs from the bitmap's (the
// screen shows no alpha).
int CountScreenMismatches(GdkPixbuf* shot, RasterSysBitmap& bitmap)
{
    int mismatches = 0;
    const guchar* rows = gdk_pixbuf_get_pixels(shot);
    int rowstride = gdk_pixbuf_get_rowstride(shot);
    int channels = gdk_pixbuf_get_n_channels(shot);
    for (int y = 0; y < gdk_pixbuf_get_height(shot); ++y) {
        for (int px = 0; px < gdk_pixbuf_get_width(shot); ++px) {
            uint32_t p = bitmap.Pixels()[y * bitmap.Stride() + px];
            const guchar* s = rows + y * rowstride + px * channels;
            if (s[0] != ((p >> 16) & 255) || s[1] != ((p >> 8) & 255) || s[2] != (p & 255)) {
                ++mismatches;
            }
        }
    }
    return mismatches;
}

} // namespace

TEST_F(EditorWindowGtk, OpensInItsParentAndCountsWindows)
{
    const int open = IGraphicsGtk::OpenWindowCount(); // other tests' parents may have gone uncounted
    ASSERT_GE(open, 1);
    EXPECT_TRUE(editor->IsEditorWindowOpen());
    EXPECT_EQ(editor->GetEditorWindowHandle(), area);
    EXPECT_EQ(gtk_widget_get_allocated_width(area), 655);
    EXPECT_EQ(gtk_widget_get_allocated_height(area), 175);
    EXPECT_EQ(editor->FindTopLevelWindow(), top);
    // Reopening replaces the area without counting twice.
    GtkWidget* again = static_cast<GtkWidget*>(editor->OpenEditorWindow(box));
    ASSERT_NE(again, nullptr);
    area = again;
    EXPECT_EQ(IGraphicsGtk::OpenWindowCount(), open);
    editor->CloseEditorWindow();
    EXPECT_EQ(IGraphicsGtk::OpenWindowCount(), open - 1);
    EXPECT_FALSE(editor->IsEditorWindowOpen());
    EXPECT_EQ(editor->OpenEditorWindow(nullptr), nullptr);
    EXPECT_EQ(IGraphicsGtk::OpenWindowCount(), open - 1);
}

TEST_F(EditorWindowGtk, DragWheelAndDoubleClickMoveTheKnobs)
{
    REQUIRE_SERVICE(HaveXdotool(), "xdotool is not installed");
    IControl& coarse = *editor->controls[1];
    IControl& fine = *editor->controls[2];
    IParameter& coarseParameter = *effect->parameters[DistortionEffect::CoarseDownsample];
    ASSERT_DOUBLE_EQ(coarse.value, 0.0);

    // Drag up 56 editor pixels: 56 / 70 / gearing 4 = 0.2, at any window scale.
    int sx = 0;
    int sy = 0;
    int midY = 0;
    int endY = 0;
    ScreenPoint(82, 60, sx, midY);
    ScreenPoint(82, 24, sx, endY);
    ScreenPoint(82, 80, sx, sy);
    std::string x = std::to_string(sx);
    ASSERT_TRUE(Xdotool("mousemove " + x + " " + std::to_string(sy) + " sleep 0.05 mousedown 1 sleep 0.05 mousemove " + x +
                        " " + std::to_string(midY) + " sleep 0.05 mousemove " + x + " " + std::to_string(endY) +
                        " sleep 0.05 mouseup 1"));
    Pump(300);
    EXPECT_NEAR(coarse.value, 0.2, 1e-9);
    IParameter expected = coarseParameter;
    expected.SetFromNormalized(coarse.value);
    EXPECT_DOUBLE_EQ(coarseParameter.value, expected.value);
    EXPECT_EQ(editor->captureIndex, -1);

    // The back buffer holds what a headless editor draws for the same values.
    auto reference = ReferenceEffect(&channel);
    IGraphics& ref = dynamic_cast<IGraphics&>(*reference->Editor());
    ASSERT_TRUE(ref.SetScale(editor->scale));
    ref.controls[1]->TakePlugValue(coarse.value);
    ref.PaintDirtyControls(IRectangle{0, 0, 655, 175});
    // Let go above the knob, the readout is empty, as in the reference.
    PumpUntil([&] { return !coarse.NeedsDrawing() && !coarse.nameDisplay->NeedsDrawing() &&
                           !coarse.valueDisplay->NeedsDrawing(); }, 3000);
    Pump(100); // the present after the paint
    EXPECT_EQ(CountDifferentPixels(*editor->backBuffer, *ref.backBuffer), 0)
        << "readout \"" << coarse.nameDisplay->Text() << "\" \"" << coarse.valueDisplay->Text() << "\", "
        << (coarse.NeedsDrawing() || coarse.nameDisplay->NeedsDrawing() ? "not yet drawn" : "drawn");

    // And the screen shows the back buffer (alpha not shown), at the
    // desktop's scale (the suite runs again under GDK_SCALE=2 and 3).
    const char* desktopScale = std::getenv("GDK_SCALE");
    EXPECT_EQ(editor->scale, desktopScale != nullptr ? std::atoi(desktopScale) : 1);
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gtk_widget_get_window(area), 0, 0, 655, 175);
    ASSERT_NE(shot, nullptr);
    ASSERT_EQ(gdk_pixbuf_get_width(shot), 655 * editor->scale);
    ASSERT_EQ(gdk_pixbuf_get_height(shot), 175 * editor->scale);
    EXPECT_EQ(CountScreenMismatches(shot, *editor->backBuffer), 0);
    g_object_unref(shot);

    // One wheel notch up over the Fine knob: one step of 0.01.
    ASSERT_TRUE(PointerTo(177, 67));
    ASSERT_TRUE(Xdotool("click 4"));
    Pump(200);
    EXPECT_NEAR(fine.value, 0.01, 1e-9);

    // A double click restores the Coarse default and captures nothing.
    ASSERT_TRUE(PointerTo(82, 67));
    Pump(50);
    ASSERT_TRUE(Xdotool("click --repeat 2 --delay 60 1"));
    Pump(300);
    EXPECT_DOUBLE_EQ(coarse.value, 0.0);
    EXPECT_DOUBLE_EQ(coarseParameter.value, coarseParameter.defaultValue);
    EXPECT_EQ(editor->captureIndex, -1);
}

// The readout under a real drag and a real pointer, on the screen too.
TEST_F(EditorWindowGtk, ReadoutShowsTheKnobBeingDraggedOrPointedAt)
{
    REQUIRE_SERVICE(HaveXdotool(), "xdotool is not installed");
    ITextControl* name = editor->controls[1]->nameDisplay;
    ITextControl* value = editor->controls[1]->valueDisplay;
    ASSERT_TRUE(name != nullptr && value != nullptr);
    auto readoutOnScreen = [&] {
        GdkPixbuf* shot = gdk_pixbuf_get_from_window(gtk_widget_get_window(area), kReadoutLeft, kReadoutTop,
                                                     kReadoutRight - kReadoutLeft, kReadoutBottom - kReadoutTop);
        std::string pixels;
        if (shot != nullptr) {
            pixels.assign(reinterpret_cast<const char*>(gdk_pixbuf_read_pixels(shot)), gdk_pixbuf_get_byte_length(shot));
            g_object_unref(shot);
        }
        return pixels;
    };
    const std::string empty = readoutOnScreen();
    ASSERT_FALSE(empty.empty());

    // A quarter of the way up (70 pixels), looked at before letting go.
    int sx = 0;
    int sy = 0;
    ScreenPoint(82, 80, sx, sy);
    const std::string x = std::to_string(sx);
    ASSERT_TRUE(Xdotool("mousemove " + x + " " + std::to_string(sy) + " sleep 0.05 mousedown 1 sleep 0.05 mousemove " +
                        x + " " + std::to_string(sy - 30) + " sleep 0.05 mousemove " + x + " " +
                        std::to_string(sy - 70)));
    Pump(300);
    EXPECT_EQ(name->Text(), "Coarse Downsample");
    EXPECT_EQ(value->Text(), "21");
    EXPECT_TRUE(PumpUntil([&] { return readoutOnScreen() != empty; }, 3000));
    // Let go above the knob: the readout empties, on screen as well.
    ASSERT_TRUE(Xdotool("mouseup 1"));
    Pump(300);
    EXPECT_EQ(name->Text(), "");
    EXPECT_TRUE(PumpUntil([&] { return readoutOnScreen() == empty; }, 3000));

    // Pointing at the Wet dial shows it.
    ASSERT_TRUE(PointerTo(469, 68));
    PumpUntil([&] { return name->Text() == "Wet %"; }, 3000);
    EXPECT_EQ(name->Text(), "Wet %");
    EXPECT_EQ(value->Text(), "100 %");
}

TEST_F(EditorWindowGtk, IdleEditorDoesNotPresent)
{
    Pump(200); // the opening paint and the second, pending one
    int presents = editor->PresentCount();
    EXPECT_GT(presents, 0);
    Pump(400); // about ten ticks
    EXPECT_EQ(editor->PresentCount(), presents);
    // A value pushed from the plug-in is drawn on the next ticks.
    effect->Editor()->ShowParameterValue(DistortionEffect::Gain, 0.5, true);
    Pump(200);
    EXPECT_GT(editor->PresentCount(), presents);
}

TEST_F(EditorWindowGtk, UnhandledKeysReachTheTopLevelWindow)
{
    int keysAtTop = 0;
    g_signal_connect_after(top, "key-press-event", G_CALLBACK(+[](GtkWidget*, GdkEventKey*, gpointer data) -> gboolean {
                         ++*static_cast<int*>(data);
                         return TRUE;
                     }),
                     &keysAtTop);
    gtk_widget_grab_focus(area);
    // No knob takes keys, so both the letter and F1 go on up.
    QueueKey(top, GDK_KEY_a);
    QueueKey(top, GDK_KEY_F1);
    Pump(100);
    EXPECT_EQ(keysAtTop, 2);
}

TEST_F(EditorWindowGtk, TextEntryCommitsOnEnterAndFiltersCharacters)
{
    IControl& gain = *editor->controls[6];
    IParameter& gainParameter = *effect->parameters[DistortionEffect::Gain];
    editor->OpenTextEntry(&gain, gain.textStyle, gain.rect, "1", &gainParameter);
    ASSERT_NE(editor->entryField, nullptr);
    Pump(100);
    EXPECT_EQ(editor->entryState, EntryEditing);
    GtkEntry* field = GTK_ENTRY(editor->entryField);
    gtk_entry_set_text(field, "");
    int position = 0;
    gtk_editable_insert_text(GTK_EDITABLE(field), "0.5", -1, &position);
    gtk_editable_insert_text(GTK_EDITABLE(field), "x", -1, &position); // refused
    EXPECT_STREQ(gtk_entry_get_text(field), "0.5");
    // Ticks while editing leave the field alone.
    editor->TimerTick();
    EXPECT_NE(editor->entryField, nullptr);
    EXPECT_EQ(editor->entryState, EntryEditing);
    QueueKey(top, GDK_KEY_Return);
    Pump(150);
    EXPECT_EQ(editor->entryField, nullptr);
    EXPECT_EQ(editor->entryState, EntryNone);
    EXPECT_DOUBLE_EQ(gain.value, gainParameter.ToNormalized(0.5));
    IParameter expected = gainParameter;
    expected.SetFromNormalized(gain.value);
    EXPECT_DOUBLE_EQ(gainParameter.value, expected.value);
}

TEST_F(EditorWindowGtk, ClickWhileEditingOnlyCancels)
{
    REQUIRE_SERVICE(HaveXdotool(), "xdotool is not installed");
    IControl& coarse = *editor->controls[1];
    IControl& gain = *editor->controls[6];
    double before = gain.value;
    editor->OpenTextEntry(&gain, gain.textStyle, gain.rect, "1", effect->parameters[DistortionEffect::Gain].get());
    Pump(100);
    ASSERT_EQ(editor->entryState, EntryEditing);
    ASSERT_TRUE(PointerTo(82, 67));
    ASSERT_TRUE(Xdotool("click 1"));
    Pump(20);
    EXPECT_EQ(editor->captureIndex, -1);
    Pump(150);
    EXPECT_EQ(editor->entryField, nullptr);
    EXPECT_DOUBLE_EQ(gain.value, before);
    EXPECT_DOUBLE_EQ(coarse.value, 0.0);
}

TEST_F(EditorWindowGtk, PopupMenuReturnsTheHolderOfTheChoice)
{
    IPopupMenu menu;
    menu.AddItem("One");
    menu.AddItem("", IPopupMenuItem::Separator);
    menu.AddItem("Three", IPopupMenuItem::Checked);
    IPopupMenuItem& more = menu.AddItem("More");
    more.submenu = std::make_unique<IPopupMenu>(IPopupMenu::PrefixTwoDigits);
    more.submenu->AddItem("x");
    more.submenu->AddItem("y");
    std::string shown;

    auto choose = [&](int index, int subIndex) {
        RunLater(150, [&, index, subIndex] {
            GList* menus = gtk_menu_get_for_attach_widget(area);
            ASSERT_NE(menus, nullptr);
            GtkMenuShell* root = GTK_MENU_SHELL(menus->data);
            GList* items = gtk_container_get_children(GTK_CONTAINER(root));
            GtkWidget* item = GTK_WIDGET(g_list_nth_data(items, static_cast<guint>(index)));
            g_list_free(items);
            if (subIndex >= 0) {
                GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(item));
                GList* subItems = gtk_container_get_children(GTK_CONTAINER(sub));
                GtkWidget* subItem = GTK_WIDGET(g_list_nth_data(subItems, static_cast<guint>(subIndex)));
                g_list_free(subItems);
                shown = gtk_menu_item_get_label(GTK_MENU_ITEM(subItem));
                gtk_menu_item_activate(GTK_MENU_ITEM(subItem));
            } else if (index >= 0) {
                gtk_menu_item_activate(GTK_MENU_ITEM(item));
            }
            gtk_menu_shell_deactivate(root);
        });
    };

    editor->captureIndex = 3;
    choose(2, -1);
    EXPECT_EQ(editor->ShowPopupMenu(menu, IRectangle{47, 32, 117, 102}), &menu);
    EXPECT_EQ(menu.chosenIndex, 2);
    EXPECT_EQ(editor->captureIndex, -1);
    EXPECT_EQ(editor->mouseX, -1);

    choose(3, 1);
    EXPECT_EQ(editor->ShowPopupMenu(menu, IRectangle{47, 32, 117, 102}), more.submenu.get());
    EXPECT_EQ(more.submenu->chosenIndex, 1);
    EXPECT_EQ(shown, "02: y");

    choose(-1, -1); // dismissed
    EXPECT_EQ(editor->ShowPopupMenu(menu, IRectangle{47, 32, 117, 102}), nullptr);
}

TEST_F(EditorWindowGtk, MessageBoxGivesButtonResultsOnTheTopLevelWindow)
{
    auto answer = [&](int response) {
        RunLater(100, [&, response] {
            GList* all = gtk_window_list_toplevels();
            for (GList* l = all; l; l = l->next) {
                if (GTK_IS_MESSAGE_DIALOG(l->data)) {
                    EXPECT_EQ(GTK_WIDGET(gtk_window_get_transient_for(GTK_WINDOW(l->data))), top);
                    gtk_dialog_response(GTK_DIALOG(l->data), response);
                }
            }
            g_list_free(all);
        });
    };
    answer(GTK_RESPONSE_YES);
    EXPECT_EQ(editor->ShowMessageBox("Go on?", "Snarlbox", MessageBoxYesNo), ResultYes);
    answer(GTK_RESPONSE_CANCEL);
    EXPECT_EQ(editor->ShowMessageBox("Go on?", "Snarlbox", MessageBoxYesNoCancel), ResultCancel);
    answer(GTK_RESPONSE_DELETE_EVENT);
    EXPECT_EQ(editor->ShowMessageBox("Done.", "Snarlbox", MessageBoxOk), ResultOk);
    // Declining the confirmation opens nothing.
    answer(GTK_RESPONSE_NO);
    EXPECT_FALSE(editor->OpenWebAddress("https://example.invalid/", "Snarlbox", "Open the page?", nullptr));
}

TEST_F(EditorWindowGtk, FolderPaths)
{
    std::string host;
    editor->GetHostDirectory(host);
    ASSERT_FALSE(host.empty());
    EXPECT_EQ(host.back(), '/');
    std::string module;
    editor->GetModuleDirectory(module);
    EXPECT_EQ(module, host);
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    EXPECT_EQ(std::string(exe).rfind(host, 0), 0u);
    std::string desktop;
    editor->GetDesktopDirectory(desktop);
    const char* expected = g_get_user_special_dir(G_USER_DIRECTORY_DESKTOP);
    EXPECT_EQ(desktop, expected ? expected : "");
}

TEST_F(EditorWindowGtk, ColourAndFileDialogs)
{
    auto respond = [&](GType type, int response, const GdkRGBA* colour) {
        RunLater(150, [&, type, response, colour] {
            GList* all = gtk_window_list_toplevels();
            for (GList* l = all; l; l = l->next) {
                if (G_TYPE_CHECK_INSTANCE_TYPE(l->data, type)) {
                    if (colour) {
                        gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(l->data), colour);
                    }
                    gtk_dialog_response(GTK_DIALOG(l->data), response);
                }
            }
            g_list_free(all);
        });
    };
    IRgbaColor colour{200, 10, 20, 30};
    const GdkRGBA orange{1.0, 0.5, 0.0, 1.0};
    respond(GTK_TYPE_COLOR_CHOOSER_DIALOG, GTK_RESPONSE_OK, &orange);
    EXPECT_TRUE(editor->ChooseColour(colour, "Knob colour"));
    EXPECT_EQ(colour.alpha, 200); // untouched
    EXPECT_EQ(colour.red, 255);
    EXPECT_EQ(colour.green, 128);
    EXPECT_EQ(colour.blue, 0);
    ASSERT_NE(editor->customColours, nullptr);
    EXPECT_EQ((*editor->customColours)[0].green, 128);
    respond(GTK_TYPE_COLOR_CHOOSER_DIALOG, GTK_RESPONSE_CANCEL, nullptr);
    EXPECT_FALSE(editor->ChooseColour(colour, nullptr));
    EXPECT_EQ(colour.red, 255);

    // Cancel keeps the name; an empty folder becomes the desktop.
    std::string name = "preset.fxp";
    std::string folder;
    respond(GTK_TYPE_FILE_CHOOSER_DIALOG, GTK_RESPONSE_CANCEL, nullptr);
    editor->ChooseFile(name, 1, folder, "fxp fxb");
    EXPECT_EQ(name, "preset.fxp");
    std::string desktop;
    editor->GetDesktopDirectory(desktop);
    EXPECT_EQ(folder, desktop);
    // Without a window the name is emptied at once.
    editor->CloseEditorWindow();
    editor->ChooseFile(name, 0, folder, "png");
    EXPECT_EQ(name, "");
    EXPECT_FALSE(editor->ChooseColour(colour, nullptr));
}

TEST_F(EditorWindowGtk, ResizeGrowsTheAreaAndItsWindow)
{
    editor->ResizeEditor(655, 175); // same size: nothing happens
    EXPECT_EQ(editor->controls.size(), 9u);
    editor->ResizeEditor(700, 200);
    Pump(200);
    EXPECT_TRUE(editor->controls.empty()); // whoever resizes builds the controls again
    ASSERT_NE(editor->backBuffer, nullptr);
    EXPECT_EQ(editor->backBuffer->Width(), 700);
    EXPECT_EQ(editor->backBuffer->Height(), 200);
    EXPECT_EQ(gtk_widget_get_allocated_width(area), 700);
    EXPECT_EQ(gtk_widget_get_allocated_height(area), 200);
    int w = 0;
    int h = 0;
    gtk_window_get_size(GTK_WINDOW(top), &w, &h);
    EXPECT_EQ(w, 700);
    EXPECT_EQ(h, 200);
}

TEST_F(EditorWindowGtk, CachedWindowsForgetDestroyedWidgets)
{
    EXPECT_EQ(editor->FindTopLevelWindow(), top);
    editor->CloseEditorWindow();
    gtk_widget_destroy(top);
    top = nullptr;
    Pump(20);
    EXPECT_EQ(editor->topLevelWindow, nullptr);
    EXPECT_EQ(editor->parentWindow, nullptr);
}

TEST_F(EditorWindowGtk, DestroyingTheParentClosesTheEditor)
{
    int before = IGraphicsGtk::OpenWindowCount();
    gtk_widget_destroy(top);
    top = nullptr;
    Pump(100); // ticks after the parent went must not touch it
    EXPECT_FALSE(editor->IsEditorWindowOpen());
    EXPECT_EQ(editor->GetEditorWindowHandle(), nullptr);
    // As documented: destroying the parent does not count the window down.
    EXPECT_EQ(IGraphicsGtk::OpenWindowCount(), before);
    editor->CloseEditorWindow(); // nothing left to close
    EXPECT_EQ(IGraphicsGtk::OpenWindowCount(), before);
}

TEST_F(EditorWindowGtk, ResizingWithAnOpenFieldClosesItFirst)
{
    IControl& gain = *editor->controls[6];
    editor->OpenTextEntry(&gain, gain.textStyle, gain.rect, "1", effect->parameters[DistortionEffect::Gain].get());
    ASSERT_NE(editor->entryField, nullptr);
    Pump(50);
    editor->entryState = EntryCommit;
    editor->ResizeEditor(700, 200); // deletes every control, the gain knob too
    EXPECT_EQ(editor->entryField, nullptr);
    EXPECT_EQ(editor->entryControl, nullptr);
    EXPECT_EQ(editor->entryState, EntryNone);
    editor->TimerTick(); // nothing left to commit into
    Pump(50);
    EXPECT_EQ(editor->entryField, nullptr);
}

// Presses, releases and the toolkit's double press reach the editor as a
// window with double clicks gets them: press, release, double click, release.
TEST_F(EditorWindowGtk, DoubleClickReplacesTheSecondPress)
{
    auto owned = std::make_unique<RecordingControl>(effect.get(), IRectangle{300, 100, 340, 140});
    RecordingControl* probe = owned.get();
    editor->AddControl(std::move(owned));
    guint32 t = 5000;
    auto click = [&](GdkEventType second) {
        SendButton(area, GDK_BUTTON_PRESS, 1, 310, 110, t);
        if (second != GDK_NOTHING) {
            SendButton(area, second, 1, 310, 110, t);
        }
        SendButton(area, GDK_BUTTON_RELEASE, 1, 310, 110, t + 30);
        t += 100;
    };
    click(GDK_NOTHING);
    click(GDK_2BUTTON_PRESS);
    EXPECT_EQ(probe->calls, "press release double release ");
    EXPECT_EQ(editor->captureIndex, -1);
    // A third press in a row is a press again.
    click(GDK_3BUTTON_PRESS);
    EXPECT_EQ(probe->calls, "press release double release press release ");

    // A control that takes double clicks as presses is pressed and captures.
    probe->calls.clear();
    probe->doubleClickAsPress = true;
    t += 1000;
    SendButton(area, GDK_BUTTON_PRESS, 1, 310, 110, t);
    SendButton(area, GDK_BUTTON_RELEASE, 1, 310, 110, t + 30);
    SendButton(area, GDK_BUTTON_PRESS, 1, 311, 111, t + 100);
    SendButton(area, GDK_2BUTTON_PRESS, 1, 311, 111, t + 100);
    EXPECT_EQ(editor->captureIndex, static_cast<int>(editor->controls.size()) - 1);
    SendButton(area, GDK_BUTTON_RELEASE, 1, 311, 111, t + 130);
    EXPECT_EQ(probe->calls, "press release press release ");

    // Presses further apart in time than the double-click time stay presses.
    probe->calls.clear();
    t += 1000;
    SendButton(area, GDK_BUTTON_PRESS, 1, 310, 110, t);
    SendButton(area, GDK_BUTTON_RELEASE, 1, 310, 110, t + 30);
    SendButton(area, GDK_BUTTON_PRESS, 1, 310, 110, t + 2000);
    SendButton(area, GDK_BUTTON_RELEASE, 1, 310, 110, t + 2030);
    EXPECT_EQ(probe->calls, "press release press release ");
}

// On a French layout the digit row gives "&", "é", ... without Shift; the
// editor still gets the digits, and the letters as the layout places them.
TEST_F(EditorWindowGtk, DigitRowGivesDigitsOnAzerty)
{
    gchar* tool = g_find_program_in_path("setxkbmap");
    REQUIRE_SERVICE(tool != nullptr, "setxkbmap is not installed");
    std::string display = gdk_display_get_name(gtk_widget_get_display(top));
    std::string setxkbmap = std::string(tool) + " -display " + display;
    g_free(tool);
    gint status = -1;
    ASSERT_TRUE(g_spawn_command_line_sync((setxkbmap + " fr").c_str(), nullptr, nullptr, &status, nullptr));
    ASSERT_EQ(status, 0);
    Pump(300); // the toolkit hears of the new keymap
    auto owned = std::make_unique<RecordingControl>(effect.get(), IRectangle{300, 100, 340, 140});
    RecordingControl* probe = owned.get();
    editor->captureIndex = editor->AddControl(std::move(owned)); // keys go to the captured control
    gtk_widget_grab_focus(area);
    // The keys as the server sends them without modifiers: "&" is the 1 key,
    // "eacute" the 2 key, "a" the key QWERTY calls Q.
    QueueKey(top, GDK_KEY_ampersand);
    QueueKey(top, GDK_KEY_eacute);
    QueueKey(top, GDK_KEY_a);
    Pump(200);
    g_spawn_command_line_sync((setxkbmap + " us").c_str(), nullptr, nullptr, &status, nullptr);
    Pump(200);
    EXPECT_EQ(probe->keys, (std::vector<EditorKey>{static_cast<EditorKey>(KeyDigit0 + 1),
                                                   static_cast<EditorKey>(KeyDigit0 + 2), KeyLetterA}));
}

TEST_F(EditorWindowGtk, SaveDialogOpensInTheFolderOfTheName)
{
    gchar* folder = g_dir_make_tmp("snarlbox-save-XXXXXX", nullptr);
    ASSERT_NE(folder, nullptr);
    std::string shownFolder;
    std::string shownName;
    // The chooser takes its folder in the background: look until it has one
    // (or five seconds have passed), then cancel.
    struct Watch {
        std::string* folder;
        std::string* name;
        std::chrono::steady_clock::time_point giveUp;
    } watch{&shownFolder, &shownName, std::chrono::steady_clock::now() + std::chrono::seconds(5)};
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* w = static_cast<Watch*>(data);
            GtkWidget* dialog = nullptr;
            GList* all = gtk_window_list_toplevels();
            for (GList* l = all; l; l = l->next) {
                if (GTK_IS_FILE_CHOOSER_DIALOG(l->data)) {
                    dialog = GTK_WIDGET(l->data);
                }
            }
            g_list_free(all);
            if (!dialog) {
                return G_SOURCE_CONTINUE;
            }
            gchar* current = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog));
            if (!current && std::chrono::steady_clock::now() < w->giveUp) {
                return G_SOURCE_CONTINUE;
            }
            *w->folder = current ? current : "";
            g_free(current);
            gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog));
            *w->name = name ? name : "";
            g_free(name);
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
            return G_SOURCE_REMOVE;
        },
        &watch);
    std::string name = std::string(folder) + "/preset.fxp";
    std::string directory; // empty: the desktop, unless the name has a folder
    editor->ChooseFile(name, 1, directory, "fxp");
    EXPECT_EQ(shownFolder, folder);
    EXPECT_EQ(shownName, "preset.fxp");
    EXPECT_EQ(name, std::string(folder) + "/preset.fxp"); // cancelled: unchanged
    g_rmdir(folder);
    g_free(folder);
}

// Knob values that the plug-in side sets reach the screen on the next ticks.
// When SNARLBOX_EDITOR_SCREENSHOT names a file, the window is saved there too.
TEST_F(EditorWindowGtk, KnobValuesFromThePlugInReachTheScreen)
{
    editor->controls[5]->TakePlugValue(0.5);
    editor->controls[3]->TakePlugValue(0.3);
    Pump(200);
    auto reference = ReferenceEffect(&channel);
    IGraphics& ref = dynamic_cast<IGraphics&>(*reference->Editor());
    ref.PaintDirtyControls(IRectangle{0, 0, 655, 175});
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gtk_widget_get_window(area), 0, 0, 655, 175);
    ASSERT_NE(shot, nullptr);
    EXPECT_GT(CountScreenMismatches(shot, *ref.backBuffer), 0) << "the knobs did not move on screen";
    ref.controls[5]->TakePlugValue(0.5);
    ref.controls[3]->TakePlugValue(0.3);
    ref.PaintDirtyControls(IRectangle{0, 0, 655, 175});
    EXPECT_EQ(CountScreenMismatches(shot, *ref.backBuffer), 0);
    g_object_unref(shot);

    if (const char* path = std::getenv("SNARLBOX_EDITOR_SCREENSHOT")) {
        GdkWindow* window = gtk_widget_get_window(top);
        GdkPixbuf* whole = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                                      gdk_window_get_height(window));
        ASSERT_NE(whole, nullptr);
        EXPECT_TRUE(gdk_pixbuf_save(whole, path, "png", nullptr, nullptr));
        g_object_unref(whole);
    }
}

// The desktop's scale changes while the editor is open (an XSETTINGS
// manager announces a new window scale, as a desktop does when the window
// moves to another monitor): the editor follows, drawn at the new scale.
TEST_F(EditorWindowGtk, FollowsAScaleChangeWhileOpen)
{
    ASSERT_EQ(std::getenv("GDK_SCALE"), nullptr) << "GDK_SCALE would fix the scale";
    gchar* manager = g_find_program_in_path("xsettingsd");
    REQUIRE_SERVICE(manager != nullptr, "xsettingsd is not installed");
    gchar* folder = g_dir_make_tmp("snarlbox-scale-XXXXXX", nullptr);
    const std::string config = std::string(folder) + "/xsettingsd.conf";
    auto announce = [&](int scale) {
        g_file_set_contents(config.c_str(), ("Gdk/WindowScalingFactor " + std::to_string(scale) + "\n").c_str(), -1,
                            nullptr);
    };
    announce(2);
    gchar* argv[] = {manager, const_cast<gchar*>("-c"), const_cast<gchar*>(config.c_str()), nullptr};
    GPid pid = 0;
    ASSERT_TRUE(g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &pid, nullptr));
    EXPECT_TRUE(PumpUntil([&] { return editor->scale == 2; }, 5000));
    EXPECT_EQ(editor->backBuffer->Width(), 1310);
    EXPECT_EQ(gtk_widget_get_allocated_width(area), 655);

    // Back to 1 before the manager goes, for the tests after this one.
    announce(1);
    kill(pid, SIGHUP);
    EXPECT_TRUE(PumpUntil([&] { return editor->scale == 1; }, 5000));
    EXPECT_EQ(editor->backBuffer->Width(), 655);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    g_remove(config.c_str());
    g_rmdir(folder);
    g_free(folder);
    g_free(manager);
}
