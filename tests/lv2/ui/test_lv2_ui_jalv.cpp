// The editor in real hosts: jalv's GTK 3 and Qt 5 forms embed it through
// suil on a private JACK server. What they show, and what the real pointer
// in the editor does to the sound.

#include "tests/lv2/JalvSupport.h"
#include "tests/lv2/ui/EditorPictures.h"
#include "tests/lv2/ui/UiHost.h"
#include "tests/standalone/JackServer.h"
#include "tests/support/RequireService.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// The editor window a host opened, found by its class name, or 0.
Window FindEditorWindow()
{
    const std::string found = RunCommand("xdotool search --classname snarlbox-editor 2>/dev/null");
    return found.empty() ? 0 : std::strtoul(found.c_str(), nullptr, 10);
}

class Lv2UiJalvTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        display = OpenTestDisplay();
        REQUIRE_SERVICE(display != nullptr, "no X display (run under tests/support/with-xvfb.sh)");
        REQUIRE_SERVICE(HaveProgram("xdotool"), "xdotool is not installed");
        REQUIRE_SERVICE(server.Start(44100, static_cast<int>(kPeriod)),
                        "jackd with the dummy driver could not be started");
        ASSERT_TRUE(probe.Open(0.5f, -0.25f));
    }
    void TearDown() override
    {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }

    // Starts the host and waits for its ports and the editor's window.
    void StartHost(Jalv& jalv, const std::string& clientName, const std::string& controls, const std::string& log)
    {
        ASSERT_TRUE(jalv.Start(clientName, controls, log));
        const std::string ports = clientName.empty() ? "Snarlbox" : clientName;
        ASSERT_TRUE(WaitFor([&] { return probe.Connect(ports) || !jalv.Running(); }, 20000) && jalv.Running())
            << "the host's ports never appeared:\n" << ReadText(log);
        ASSERT_TRUE(WaitFor([&] { return (editor = FindEditorWindow()) != 0 || !jalv.Running(); }, 20000) &&
                    editor != 0)
            << "the host showed no editor:\n" << ReadText(log);
    }
    // What the editor shows, once it equals the reference or the time is up.
    std::string ShowsLike(ReferenceEditor& reference)
    {
        std::string difference;
        WaitFor(
            [&] {
                difference = CompareWindow(display, editor, reference.Screen());
                return difference.empty();
            },
            10000);
        return difference;
    }
    // Whether the plug-in's output comes to what the effect makes of the
    // probe's levels with these controls, within the time.
    bool SoundsLike(const Controls& controls)
    {
        const Stereo constant{std::vector<float>(kPeriod, 0.5f), std::vector<float>(kPeriod, -0.25f)};
        const Stereo expected = ReferenceRender(controls, constant);
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (!probe.KeepNextCycle()) {
                return false;
            }
            if (probe.kept[0] == expected.left && probe.kept[1] == expected.right) {
                return true;
            }
        }
        return false;
    }

    Display* display = nullptr;
    JackServer server;
    LevelProbe probe;
    Window editor = 0;
};

} // namespace

// jalv.gtk3 deadlocks in GTK's start-up (bindtextdomain) when a sanitizer's
// runtime is preloaded into it, with any plug-in: a sanitized build shows the
// editor in jalv.qt5, and drags it in the tests' own host.
#if !SNARLBOX_TOOLS_PRELOAD_SANITIZER
TEST_F(Lv2UiJalvTest, Gtk3ShowsTheEditorAndADragInItChangesTheControlAndTheSound)
{
    REQUIRE_SERVICE(HaveProgram("jalv.gtk3"), "jalv.gtk3 is not installed (package jalv)");
    const std::string name = "snarlbox-ui-" + std::to_string(getpid());
    const std::string log = "/tmp/" + name + ".log";
    Jalv jalv("jalv.gtk3");
    // Fine set by the host before the editor opens: its knob shows it.
    ASSERT_NO_FATAL_FAILURE(StartHost(jalv, name, "-c fine=2", log));
    ReferenceEditor reference;
    reference.SetPlain(1, 2.0);
    EXPECT_EQ(ShowsLike(reference), "") << "the host's Fine of 2 on the knob";
    Controls controls = {1.0f, 2.0f, 1.0f, 1.0f, 0.0f, 0.0f};
    EXPECT_TRUE(SoundsLike(controls));

    // Gain dragged down half its height with the real pointer.
    const std::string w = std::to_string(editor);
    ASSERT_EQ(std::system(("xdotool mousemove --window " + w + " 564 68 mousedown 1 mousemove --window " + w +
                           " 564 100 mouseup 1")
                              .c_str()),
              0);
    IMouseKeys left;
    left.left = true;
    reference.graphics->DispatchMousePress(564, 68, left);
    reference.graphics->DispatchMouseDrag(564, 100, left);
    reference.graphics->DispatchMouseRelease(564, 100, IMouseKeys{});
    reference.Paint();
    controls[3] = reference.Plain(3);
    EXPECT_FLOAT_EQ(controls[3], 0.875f * 0.875f);
    EXPECT_TRUE(SoundsLike(controls)) << "the dragged gain never reached the sound:\n" << ReadText(log);
    EXPECT_EQ(ShowsLike(reference), "");
    EXPECT_TRUE(jalv.Quit()) << ReadText(log);
    std::remove(log.c_str());
}
#endif

TEST_F(Lv2UiJalvTest, Qt5ShowsTheEditorAndTheWheelInItChangesTheSound)
{
    REQUIRE_SERVICE(HaveProgram("jalv.qt5"), "jalv.qt5 is not installed (package jalv)");
    const std::string log = "/tmp/snarlbox-ui-qt-" + std::to_string(getpid()) + ".log";
    // jalv.qt5 takes no options: its JACK client is the plug-in's name.
    Jalv jalv("QT_QPA_PLATFORM=xcb jalv.qt5");
    ASSERT_NO_FATAL_FAILURE(StartHost(jalv, "", "", log));
    ReferenceEditor reference;
    EXPECT_EQ(ShowsLike(reference), "");

    const std::string w = std::to_string(editor);
    ASSERT_EQ(std::system(("xdotool mousemove --window " + w + " 564 68 click 5 click 5").c_str()), 0);
    reference.graphics->DispatchWheel(564, 68, IMouseKeys{}, -1);
    reference.graphics->DispatchWheel(564, 68, IMouseKeys{}, -1);
    reference.Paint();
    const Controls controls = {1.0f, 1.0f, 1.0f, reference.Plain(3), 0.0f, 0.0f};
    EXPECT_FLOAT_EQ(controls[3], 0.98f * 0.98f);
    EXPECT_TRUE(SoundsLike(controls)) << ReadText(log);
    EXPECT_EQ(ShowsLike(reference), "");
    EXPECT_TRUE(jalv.Quit()) << ReadText(log);
    std::remove(log.c_str());
}
