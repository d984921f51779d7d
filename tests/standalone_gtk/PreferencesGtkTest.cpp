#include "tests/support/RequireService.h"
#include "FakePreferences.h"

#include "effect/DistortionEffect.h"
#include "effect/EditorFactory.h"
#include "gui/IGraphicsGtk.h"
#include "standalone/MainWindowGtk.h"
#include "standalone/PreferencesDialog.h"
#include "standalone/PreferencesGtk.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using P = PreferencesDialog;

bool HaveDisplay()
{
    static const bool ok = gtk_init_check(nullptr, nullptr);
    return ok;
}

// Every label and frame text under widget, in widget order.
void CollectTexts(GtkWidget* widget, std::vector<std::string>& texts)
{
    if (GTK_IS_LABEL(widget)) {
        texts.push_back(gtk_label_get_text(GTK_LABEL(widget)));
    }
    if (GTK_IS_FRAME(widget) && gtk_frame_get_label(GTK_FRAME(widget)) != nullptr) {
        texts.push_back(gtk_frame_get_label(GTK_FRAME(widget)));
    }
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* child = children; child != nullptr; child = child->next) {
            CollectTexts(GTK_WIDGET(child->data), texts);
        }
        g_list_free(children);
    }
}

bool Contains(const std::vector<std::string>& texts, const char* text)
{
    for (const std::string& t : texts) {
        if (t == text) {
            return true;
        }
    }
    return false;
}

TEST(PreferencesGtk, ListsSelectionsAndTextsBehaveLikeTheDialogLogicExpects)
{
    REQUIRE_SERVICE(HaveDisplay(), "no display");
    PreferencesGtk view(nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(view.DialogWidget())), "Preferences");
    std::vector<std::string> texts;
    CollectTexts(view.DialogWidget(), texts);
    for (const char* text : {"Audio Device Settings", "MIDI Device Settings", "Driver Type", "Input Device",
                             "Output Device", "IO Vector Size", "Signal Vector Size", "Sampling Rate", "Input 1 (L)",
                             "Input 2 (R)", "Output 1 (L)", "Output 2 (R)", "Mono Input", "JACK Config...",
                             "Input Channel", "Output Channel", "Apply", "OK", "Cancel"}) {
        EXPECT_TRUE(Contains(texts, text)) << text;
    }

    view.AddItem(P::kSampleRate, "44100");
    view.AddItem(P::kSampleRate, "48000");
    EXPECT_EQ(view.ItemCount(P::kSampleRate), 2);
    EXPECT_EQ(view.ItemText(P::kSampleRate, 1), "48000");
    EXPECT_EQ(view.ItemText(P::kSampleRate, 2), "");
    EXPECT_EQ(view.SelectedItem(P::kSampleRate), -1);
    view.SelectItem(P::kSampleRate, 1);
    EXPECT_EQ(view.SelectedItem(P::kSampleRate), 1);
    view.SelectItem(P::kSampleRate, 5);
    EXPECT_EQ(view.SelectedItem(P::kSampleRate), -1);
    view.ClearItems(P::kSampleRate);
    EXPECT_EQ(view.ItemCount(P::kSampleRate), 0);
    view.SetChecked(P::kMonoInput, true);
    EXPECT_TRUE(view.IsChecked(P::kMonoInput));
    // Unknown ids and a button asked for list things answer harmlessly.
    EXPECT_EQ(view.ItemCount(P::kApply), 0);
    EXPECT_EQ(view.SelectedItem(12345), -1);
}

TEST(PreferencesGtk, FilledByTheLogic)
{
    REQUIRE_SERVICE(HaveDisplay(), "no display");
    AppSettings current;
    AppSettings backup;
    AppSettings stream;
    DefaultSettings(current);
    SetSettingsText(current.audioInputDevice, "default");
    SetSettingsText(current.audioOutputDevice, "default");
    current.inputChannel1 = 1;
    current.inputChannel2 = 2;
    stream = current;
    FakePreferencesHost host;
    host.driverType = &current.driverType;
    host.devices[0] = {{"default", {4, 2, {48000}}}};
    PreferencesGtk view(nullptr);
    PreferencesDialog logic(view, host, current, backup, stream);
    logic.PreferencesProc(P::kInitialise, 0, P::kOtherNotification);
    EXPECT_EQ(view.ItemText(P::kDriverType, 0), "ALSA");
    EXPECT_EQ(view.ItemText(P::kDriverType, 1), "JACK");
    EXPECT_EQ(view.ItemCount(P::kInputChannel1), 3);
    EXPECT_EQ(view.ItemCount(P::kIoVectorSize), 9);
    EXPECT_EQ(view.ItemCount(P::kMidiInputChannel), 17);
    // The stored rate is not offered: a note says so; there is no driver panel to open.
    GtkWidget* note = view.Control(P::kAudioNote);
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(note));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(note)), "44100 Hz is not offered by this device");
    EXPECT_FALSE(gtk_widget_get_sensitive(view.Control(P::kDriverConfig)));

    // Chosen from the list, the note goes.
    view.SelectItem(P::kSampleRate, 0);
    logic.PreferencesProc(P::kCommand, P::kSampleRate, P::kSelectionChanged);
    EXPECT_FALSE(gtk_widget_get_visible(note));

    // Empty lists are explained under them.
    host.devices[0].clear();
    host.midiObjects = false;
    PreferencesDialog again(view, host, current, backup, stream);
    again.PreferencesProc(P::kInitialise, 0, P::kOtherNotification);
    EXPECT_TRUE(gtk_widget_get_visible(note));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(note)), "no audio devices found");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(view.Control(P::kMidiNote))), "MIDI is not available");
}

TEST(MainWindowGtk, TitledNotResizableAndClosedLikeQuit)
{
    REQUIRE_SERVICE(HaveDisplay(), "no display");
    testing::internal::CaptureStdout();
    MainWindowGtk window(nullptr);
    window.Create();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "couldn't attach gui\n");
    ASSERT_NE(window.Window(), nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window.Window())), "Snarlbox");
    EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(window.Window())));
    EXPECT_NE(gtk_window_get_icon(GTK_WINDOW(window.Window())), nullptr);
    std::vector<std::string> texts;
    CollectTexts(window.Window(), texts);
    EXPECT_TRUE(Contains(texts, "File"));
    EXPECT_TRUE(Contains(texts, "Help"));
    // The close box ends the window as Quit does.
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window.Window())));
    gtk_main_do_event(event);
    gdk_event_free(event);
    EXPECT_EQ(window.Window(), nullptr);
}

// The window as the program opens it, editor included: its outer corner half
// the editor's size left of and above the screen's centre (no window manager
// adds a frame under the test display), the editor area below the menu bar at
// exactly the editor's size.
TEST(MainWindowGtk, CentredWithTheEditorAreaAtItsExactSize)
{
    REQUIRE_SERVICE(HaveDisplay(), "no display");
    uint16_t channel = 0;
    SetEditorFactory(&IGraphicsGtk::Create);
    DistortionEffect effect(nullptr, &channel);
    SetEditorFactory(nullptr);
    MainWindowGtk window(&effect);
    window.Create();
    ASSERT_NE(window.Window(), nullptr);
    auto* area = static_cast<GtkWidget*>(dynamic_cast<IGraphics&>(*effect.Editor()).GetEditorWindowHandle());
    ASSERT_NE(area, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!gtk_widget_get_mapped(area) && std::chrono::steady_clock::now() < deadline) {
        gtk_main_iteration_do(FALSE);
    }
    ASSERT_TRUE(gtk_widget_get_mapped(area));
    while (gtk_events_pending()) {
        gtk_main_iteration_do(FALSE);
    }

    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) {
        monitor = gdk_display_get_monitor(display, 0);
    }
    ASSERT_NE(monitor, nullptr);
    GdkRectangle screen{};
    gdk_monitor_get_geometry(monitor, &screen);
    int left = 0;
    int top = 0;
    gdk_window_get_origin(gtk_widget_get_window(window.Window()), &left, &top);
    EXPECT_EQ(left, screen.x + screen.width / 2 - 327);
    EXPECT_EQ(top, screen.y + screen.height / 2 - 87);

    GtkAllocation editor{};
    gtk_widget_get_allocation(area, &editor);
    EXPECT_EQ(editor.width, 655);
    EXPECT_EQ(editor.height, 175);
    int x = -1;
    int y = -1;
    ASSERT_TRUE(gtk_widget_translate_coordinates(area, window.Window(), 0, 0, &x, &y));
    EXPECT_EQ(x, 0);
    EXPECT_GT(y, 0) << "the menu bar sits above the editor";
    EXPECT_EQ(gtk_widget_get_allocated_width(window.Window()), 655);
    // Below the editor only the status line, across the whole width.
    int statusY = -1;
    ASSERT_TRUE(gtk_widget_translate_coordinates(window.StatusWidget(), window.Window(), 0, 0, &x, &statusY));
    EXPECT_GE(statusY, y + 175);
    EXPECT_EQ(gtk_widget_get_allocated_height(window.Window()),
              statusY + gtk_widget_get_allocated_height(window.StatusWidget()));
}

} // namespace
