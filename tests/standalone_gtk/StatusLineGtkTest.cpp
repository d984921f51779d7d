// The main window's status line over the real audio engine, with a private
// JACK server that runs, dies and comes back; the text is read from the widget.
#include "tests/support/GtkTestLoop.h"
#include "tests/support/RequireService.h"
#include "JackServer.h"

#include "standalone/AudioEngine.h"
#include "standalone/HostSettings.h"
#include "standalone/MainWindowGtk.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <jack/jack.h>

#include <memory>
#include <string>
#include <vector>

namespace {

bool HaveDisplay()
{
    static const bool ok = gtk_init_check(nullptr, nullptr);
    return ok;
}

class StatusLineGtk : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SERVICE(HaveDisplay(), "no display");
        DefaultSettings(currentSettings);
        currentSettings.driverType = 1;
        SetSettingsText(currentSettings.audioInputDevice, "system");
        SetSettingsText(currentSettings.audioOutputDevice, "system");
        SetSettingsText(currentSettings.sampleRate, "44100");
        SetSettingsText(currentSettings.ioVectorSize, "512");
        SetSettingsText(currentSettings.signalVectorSize, "32");
        SetSettingsText(currentSettings.midiInputDevice, "off");
        SetSettingsText(currentSettings.midiOutputDevice, "off");
        testing::internal::CaptureStdout(); // "couldn't attach gui": no plug-in here
        window = std::make_unique<MainWindowGtk>(nullptr);
        window->Create();
        testing::internal::GetCapturedStdout();
        Pump(100);
    }
    void TearDown() override
    {
        audioEngine.StopAudioStream();
        window.reset();
        Pump(20);
        DefaultSettings(currentSettings);
    }

    // Looks at the engine as the program's poll does until the line holds
    // words; every text shown on the way is kept.
    bool StatusSays(const std::string& words, int ms = 10000)
    {
        for (int waited = 0; waited <= ms; waited += 50) {
            audioEngine.PollAudioStream();
            window->RefreshStatusLine();
            Pump(50);
            const std::string text = window->StatusText();
            if (seen.empty() || seen.back() != text) {
                seen.push_back(text);
            }
            if (text.find(words) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    std::string Seen() const
    {
        std::string all;
        for (const std::string& text : seen) {
            all += "\n  " + text;
        }
        return all;
    }

    std::unique_ptr<MainWindowGtk> window;
    std::vector<std::string> seen;
};

TEST_F(StatusLineGtk, RunningThenServerKilledThenBackAgain)
{
    JackServer server;
    REQUIRE_SERVICE(server.Start(44100, 512), "jackd with the dummy driver could not be started");
    ASSERT_TRUE(audioEngine.StartAudioFromSettings());
    ASSERT_TRUE(StatusSays("JACK \u00b7 system \u00b7 44100 Hz \u00b7 512 frames (11.6 ms) \u00b7 DSP load ")) << Seen();
    EXPECT_NE(window->StatusText().find(" xrun"), std::string::npos) << Seen();

    // The server dies: the line says so at once and keeps saying why there is no sound.
    server.Kill();
    EXPECT_TRUE(StatusSays("JACK server is not running; audio starts when it does")) << Seen();
    EXPECT_EQ(window->StatusText().find("44100 Hz \u00b7"), std::string::npos) << Seen();

    // It comes back by itself, and so does the line.
    ASSERT_TRUE(server.Start(44100, 512, server.Name()));
    EXPECT_TRUE(StatusSays("JACK \u00b7 system \u00b7 44100 Hz \u00b7 512 frames", 20000)) << Seen();

    // The server's buffer size changes: the stream keeps running and the
    // line shows the new size and its length.
    jack_status_t status{};
    jack_client_t* client = jack_client_open("status-line-test", JackNoStartServer, &status);
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(jack_set_buffer_size(client, 1024), 0);
    jack_client_close(client);
    EXPECT_TRUE(StatusSays("44100 Hz \u00b7 1024 frames (23.2 ms)", 20000)) << Seen();
}

TEST_F(StatusLineGtk, WhatKeepsAudioOffIsSaid)
{
    JackServer server;
    REQUIRE_SERVICE(server.Start(48000, 256), "jackd with the dummy driver could not be started");
    // The server's rate is not the stored one: under JACK the server's wins.
    EXPECT_TRUE(audioEngine.StartAudioFromSettings());
    EXPECT_TRUE(StatusSays("JACK \u00b7 system \u00b7 48000 Hz \u00b7 256 frames")) << Seen();
    audioEngine.StopAudioStream();

    // A device that is not there; its long name does not widen the window.
    const std::string name(90, 'x');
    SetSettingsText(currentSettings.audioOutputDevice, name.c_str());
    EXPECT_FALSE(audioEngine.StartAudioFromSettings());
    EXPECT_TRUE(StatusSays("no device named \"" + name + "\" (Preferences...)")) << Seen();
    Pump(200);
    GtkAllocation allocation;
    gtk_widget_get_allocation(window->Window(), &allocation);
    EXPECT_EQ(allocation.width, 655);
    const char* tip = gtk_widget_get_tooltip_text(window->StatusWidget());
    ASSERT_NE(tip, nullptr);
    EXPECT_NE(std::string(tip).find(name), std::string::npos);
    g_free(const_cast<char*>(tip));

    // Once the device is right the stream runs; at 256 frames that is 5.3 ms.
    SetSettingsText(currentSettings.audioOutputDevice, "system");
    EXPECT_TRUE(audioEngine.StartAudioFromSettings());
    EXPECT_TRUE(StatusSays("48000 Hz \u00b7 256 frames (5.3 ms)")) << Seen();
}

// Larger text, from GDK_DPI_SCALE or the desktop's text scale (its DPI): the
// running stream's line, DSP load and xruns at its end, stays whole inside
// the window, which keeps the editor's width.
TEST_F(StatusLineGtk, LargerTextNeverCutsTheLine)
{
    JackServer server;
    REQUIRE_SERVICE(server.Start(44100, 512), "jackd with the dummy driver could not be started");
    ASSERT_TRUE(audioEngine.StartAudioFromSettings());
    ASSERT_TRUE(StatusSays("DSP load ")) << Seen();
    GList* rows = gtk_container_get_children(GTK_CONTAINER(window->StatusWidget()));
    GList* parts = gtk_container_get_children(GTK_CONTAINER(rows->data));
    GtkWidget* label = GTK_WIDGET(g_list_nth_data(parts, 1)); // after the light
    g_list_free(parts);
    g_list_free(rows);
    GtkSettings* settings = gtk_settings_get_default();
    gint dpiBefore = 0;
    g_object_get(settings, "gtk-xft-dpi", &dpiBefore, nullptr);
    const struct {
        const char* dpiScale;
        int dpi;
    } cases[] = {{"1", 96}, {"2", 96}, {"1", 192}, {"3", 96}};
    for (const auto& c : cases) {
        g_setenv("GDK_DPI_SCALE", c.dpiScale, TRUE);
        g_object_set(settings, "gtk-xft-dpi", c.dpi * 1024, nullptr);
        // The window grows through the X server's answers: on a loaded
        // machine that takes a few rounds of the loop.
        PangoLayout* layout = nullptr;
        int width = 0, height = 0, right = 0, bottom = 0;
        GtkAllocation box{};
        GdkWindow* shown = gtk_widget_get_window(window->Window());
        bool fits = false;
        for (int waited = 0; waited <= 5000 && !fits; waited += 100) {
            Pump(100);
            layout = gtk_label_get_layout(GTK_LABEL(label));
            pango_layout_get_pixel_size(layout, &width, &height);
            gtk_widget_get_allocation(label, &box);
            gtk_widget_translate_coordinates(label, window->Window(), box.width, box.height, &right, &bottom);
            fits = width <= box.width && height <= box.height && right <= gdk_window_get_width(shown) &&
                   bottom <= gdk_window_get_height(shown);
        }
        EXPECT_FALSE(pango_layout_is_ellipsized(layout)) << c.dpiScale << " x " << c.dpi;
        EXPECT_TRUE(fits) << c.dpiScale << " x " << c.dpi << ": " << width << "x" << height << " in " << box.width
                          << "x" << box.height << ", to " << right << "," << bottom;
        EXPECT_EQ(gdk_window_get_width(shown), 655) << c.dpiScale << " x " << c.dpi;
    }
    g_unsetenv("GDK_DPI_SCALE");
    g_object_set(settings, "gtk-xft-dpi", dpiBefore, nullptr);
}

// A click on the status line opens Preferences.
TEST_F(StatusLineGtk, ClickOpensPreferences)
{
    REQUIRE_SERVICE(HaveXdotool(), "xdotool is not installed");
    window->RefreshStatusLine();
    Pump(300);
    GtkWidget* line = window->StatusWidget();
    ASSERT_NE(line, nullptr);
    ASSERT_TRUE(gtk_widget_get_mapped(line));
    int x = 0;
    int y = 0;
    gdk_window_get_origin(gtk_widget_get_window(line), &x, &y);
    GtkAllocation allocation;
    gtk_widget_get_allocation(line, &allocation);
    if (!gtk_widget_get_has_window(line)) {
        x += allocation.x;
        y += allocation.y;
    }
    std::string opened;
    // The dialog runs its own loop; this answers it with Cancel.
    RunLater(1500, [&] {
        GList* windows = gtk_window_list_toplevels();
        for (GList* w = windows; w != nullptr; w = w->next) {
            GtkWindow* candidate = GTK_WINDOW(w->data);
            const char* title = gtk_window_get_title(candidate);
            if (title != nullptr && std::string(title) == "Preferences" && gtk_widget_get_visible(GTK_WIDGET(candidate))) {
                opened = title;
                gtk_dialog_response(GTK_DIALOG(candidate), GTK_RESPONSE_CANCEL);
            }
        }
        g_list_free(windows);
    });
    ASSERT_TRUE(Xdotool("mousemove " + std::to_string(x + 40) + " " + std::to_string(y + allocation.height / 2) +
                        " click 1"));
    Pump(2500);
    EXPECT_EQ(opened, "Preferences");
}

} // namespace
