// The main window's sound items over a real effect, and the last sound kept
// for the next start.
#include "tests/support/ScratchFolder.h"
#include "tests/support/GtkTestLoop.h"
#include "tests/support/RequireService.h"

#include "effect/DistortionEffect.h"
#include "standalone/ApplySound.h"
#include "standalone/HostSettings.h"
#include "standalone/SoundMenuGtk.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool HaveDisplay()
{
    static const bool ok = gtk_init_check(nullptr, nullptr);
    return ok;
}

std::vector<GtkWidget*> Items(GtkWidget* menu)
{
    std::vector<GtkWidget*> items;
    GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
    for (GList* child = children; child != nullptr; child = child->next) {
        if (!GTK_IS_SEPARATOR_MENU_ITEM(child->data)) {
            items.push_back(GTK_WIDGET(child->data));
        }
    }
    g_list_free(children);
    return items;
}

std::string Label(GtkWidget* item) { return gtk_menu_item_get_label(GTK_MENU_ITEM(item)); }

class SoundMenuGtkTest : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SERVICE(HaveDisplay(), "no display");
        ASSERT_FALSE(folder.empty());
        std::memcpy(keptPath, settingsPath, sizeof keptPath);
        std::snprintf(settingsPath, kSettingsPathSize, "%s/settings.ini", folder.c_str());
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        fileMenu = g_object_ref_sink(gtk_menu_new());
        accelerators = gtk_accel_group_new();
        fx.LoadPresetSlot(0);
        menu.AddTo(fileMenu, accelerators, window);
    }
    void TearDown() override
    {
        if (window == nullptr) {
            return;
        }
        menu.Forget();
        gtk_widget_destroy(fileMenu);
        g_object_unref(fileMenu);
        g_object_unref(accelerators);
        gtk_widget_destroy(window);
        Pump(10);
        std::memcpy(settingsPath, keptPath, sizeof keptPath);
        currentSettings.startWithLastSound = 0;
    }

    const ScratchFolder scratch{"snarlbox-sound-menu"};
    const fs::path folder = scratch.path;
    char keptPath[kSettingsPathSize] = {};
    GtkWidget* window = nullptr;
    GtkWidget* fileMenu = nullptr;
    GtkAccelGroup* accelerators = nullptr;
    DistortionEffect fx{nullptr, nullptr, false};
    SoundMenuGtk menu{&fx};
};

TEST_F(SoundMenuGtkTest, SoundsMenuLoadsAndTheNameStaysWhileTheKnobsHoldIt)
{
    const std::vector<GtkWidget*> items = Items(fileMenu);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(Label(items[0]), "_Open Sound...");
    EXPECT_EQ(Label(items[1]), "_Save Sound As...");
    EXPECT_EQ(Label(items[2]), "Sou_nds");
    const std::vector<GtkWidget*> sounds = Items(gtk_menu_item_get_submenu(GTK_MENU_ITEM(items[2])));
    ASSERT_GE(sounds.size(), 8u);
    const char* names[] = {"Clean", "Subtle Grit", "Warm Crunch", "Hard Clip", "Lo-Fi Sampler", "Radio Buzz",
                           "Bitcrushed Fuzz", "Broken Robot"};
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(Label(sounds[i]), names[i]);
    }
    EXPECT_EQ(menu.ShownName(), "");

    gtk_menu_item_activate(GTK_MENU_ITEM(sounds[7]));
    const double robot[7] = {48.0, 9.0, 1.0, 0.6, 0.0, 0.8, 0.6};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(fx.ParameterAt(i)->value, robot[i]) << i;
    }
    EXPECT_EQ(fx.gain, 0.6);
    EXPECT_EQ(menu.ShownName(), "Broken Robot");
    fx.SetParameterFromEditor(DistortionEffect::OddHarmonics, 0.1);
    EXPECT_EQ(menu.ShownName(), "");
}

TEST_F(SoundMenuGtkTest, LastSoundIsKeptAndLoadedOnlyWhenAskedFor)
{
    const Sound sound{"Mine", {20.0, 2.0, 0.5, 0.75, 0.0, 0.25, 0.125}};
    ApplySound(fx, sound);
    menu.KeepLastSound(); // the option is off: nothing is kept
    EXPECT_FALSE(fs::exists(SoundMenuGtk::LastSoundFolder()));

    currentSettings.startWithLastSound = 1;
    menu.KeepLastSound();
    ASSERT_EQ(fs::path(SoundMenuGtk::LastSoundFolder()).parent_path(), folder);
    ASSERT_TRUE(fs::is_directory(SoundMenuGtk::LastSoundFolder()));
    for (const bool asked : {false, true}) {
        currentSettings.startWithLastSound = asked ? 1 : 0;
        DistortionEffect next(nullptr, nullptr, false);
        next.LoadPresetSlot(0);
        SoundMenuGtk nextMenu(&next);
        nextMenu.LoadLastSound();
        EXPECT_EQ(CaptureSound(next, "").values,
                  asked ? sound.values : (std::array<double, 7>{1.0, 1.0, 1.0, 1.0, 0.0, 0.0, 0.0}));
    }

    // A damaged last sound starts the defaults, and stays as it was.
    for (const auto& entry : fs::directory_iterator(SoundMenuGtk::LastSoundFolder())) {
        if (entry.path().filename() != "manifest.ttl") {
            std::ofstream(entry.path()) << "<> a <x";
        }
    }
    DistortionEffect next(nullptr, nullptr, false);
    next.LoadPresetSlot(0);
    SoundMenuGtk nextMenu(&next);
    nextMenu.LoadLastSound();
    EXPECT_EQ(next.ParameterAt(0)->value, 1.0);
}

} // namespace
