// X errors of the editor's own connection stay with the editor; everyone
// else's still reach the handler the host installed. The test process plays
// the host: its handler counts what reaches it (Xlib's default one would
// end the process).

#include "gui/IGraphicsX11.h"
#include "gui/X11ErrorTrap.h"
#include "platform/DebugTrace.h"
#include "tests/lv2/ui/UiHost.h"
#include "tests/support/RequireService.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

// A window id no client has: the server refuses it with BadWindow.
constexpr Window kBogusWindow = 0x1ffffffe;

std::mutex traceLock;
std::vector<std::string> traces;

class X11ErrorTrapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = OpenTestDisplay();
        REQUIRE_SERVICE(host != nullptr, "no X display (run under tests/support/with-xvfb.sh)");
        TolerateXErrors();
        SetDebugTraceHook([](const char* line) {
            std::lock_guard<std::mutex> hold(traceLock);
            traces.emplace_back(line);
        });
    }
    void TearDown() override
    {
        SetDebugTraceHook(nullptr);
        if (host != nullptr) {
            XCloseDisplay(host);
        }
    }
    static size_t TraceCount()
    {
        std::lock_guard<std::mutex> hold(traceLock);
        return traces.size();
    }

    Display* host = nullptr;
};

TEST_F(X11ErrorTrapTest, ErrorsOnTheEditorsConnectionStayWithItOthersReachTheHost)
{
    Display* ours = OpenTestDisplay();
    ASSERT_NE(ours, nullptr);
    X11ErrorTrap::Watch(ours);
    struct Case {
        const char* what;
        bool onOurs;     // the bad request goes over the editor's connection
        bool insideTrap; // while a trap is alive
        int hostSees;    // errors the host's handler receives
        unsigned long editorCounts;
    };
    const Case cases[] = {
        {"the editor's error during its calls", true, true, 0, 1},
        {"the host's error during the editor's calls", false, true, 1, 0},
        {"the host's error after the editor's calls", false, false, 1, 0},
    };
    for (const Case& c : cases) {
        const int hostBefore = XErrorCount();
        const size_t tracesBefore = TraceCount();
        unsigned long editorBefore = 0;
        unsigned long editorAfter = 0;
        {
            std::unique_ptr<X11ErrorTrap> trap;
            if (c.insideTrap) {
                trap = std::make_unique<X11ErrorTrap>(ours);
                editorBefore = X11ErrorTrap::ErrorsOn(ours);
            }
            Display* connection = c.onOurs ? ours : host;
            XMapWindow(connection, kBogusWindow);
            XSync(connection, False);
            if (c.insideTrap) {
                editorAfter = X11ErrorTrap::ErrorsOn(ours);
            }
        }
        EXPECT_EQ(XErrorCount() - hostBefore, c.hostSees) << c.what;
        EXPECT_EQ(editorAfter - editorBefore, c.editorCounts) << c.what;
        // Each trapped error leaves one debug line naming it.
        EXPECT_EQ(TraceCount() - tracesBefore, c.editorCounts) << c.what;
        if (c.editorCounts > 0 && TraceCount() > 0) {
            std::lock_guard<std::mutex> hold(traceLock);
            EXPECT_NE(traces.back().find("BadWindow"), std::string::npos) << traces.back();
        }
    }
    XCloseDisplay(ours);
    X11ErrorTrap::Unwatch(ours);
}

// The host destroys the parent; before the editor reads of it, a tick draws
// into the window that is gone.
TEST_F(X11ErrorTrapTest, ADrawIntoAWindowTheHostDestroyedEndsNoHost)
{
    const Window parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 100, 100, 0, 0, 0);
    XSync(host, False);
    IGraphicsX11 editor(nullptr, 64, 48, 25);
    editor.CreateBackingBitmaps();
    ASSERT_NE(editor.OpenEditorWindow(reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(parent))), nullptr);
    XDestroyWindow(host, parent);
    XSync(host, False);
    const int hostBefore = XErrorCount();
    const size_t tracesBefore = TraceCount();
    editor.PresentToScreen(IRectangle{0, 0, 64, 48});
    EXPECT_EQ(XErrorCount(), hostBefore);
    EXPECT_GE(TraceCount(), tracesBefore + 1) << "the put into the vanished window was an error of its own";
    // The next idle call reads that the window is gone; closing then asks nothing more of it.
    EXPECT_FALSE(editor.Idle());
    editor.CloseEditorWindow();
    XSync(host, False);
    EXPECT_EQ(XErrorCount(), hostBefore);
}

} // namespace
