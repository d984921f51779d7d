// The editor at the scale factor its host asks for: the size it opens at and
// reports, what it shows, and the pointer turning knobs by editor pixels.

#include "lv2/Lv2Interface.h"
#include "tests/lv2/ui/EditorPictures.h"
#include "tests/lv2/ui/UiHost.h"
#include "tests/support/RequireService.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kCoarsePort = Lv2Interface::kFirstControl + 0;
constexpr uint32_t kGainPort = Lv2Interface::kFirstControl + 3;

class Lv2UiScaleTest : public UiDisplayTest {
protected:
    std::pair<int, int> WindowSize(Window window)
    {
        XWindowAttributes attributes{};
        XSync(display, False);
        if (XGetWindowAttributes(display, window, &attributes) == 0) {
            return {0, 0};
        }
        return {attributes.width, attributes.height};
    }
};

} // namespace

// At instantiation (0: the host passes no options), then through the options
// interface while open: the window's size, the size reported and the pixels.
TEST_F(Lv2UiScaleTest, OpensAtTheHostsScaleAndFollowsItsChanges)
{
    // Counted from here: an earlier test's late error is not this test's.
    XSync(display, False);
    const int errorsBefore = XErrorCount();
    const struct {
        float factor;
        int scale;
    } cases[] = {{0.0f, 1}, {1.25f, 1}, {1.75f, 2}, {3.0f, 3}, {4.5f, 3}, {-2.0f, 1}};
    for (const auto& c : cases) {
        UiHost host(display, library->descriptor, 0, 0, true, c.factor);
        ASSERT_NE(host.ui, nullptr);
        const std::pair<int, int> size{655 * c.scale, 175 * c.scale};
        EXPECT_EQ(WindowSize(host.EditorWindow()), size) << c.factor;
        EXPECT_EQ(host.sizes, (std::vector<std::pair<int, int>>{size})) << c.factor;
    }
    UiHost host(display, library->descriptor, 0, 0, true, 1.0f);
    ASSERT_NE(host.ui, nullptr);
    host.SetPort(kGainPort, 0.25f);
    EXPECT_EQ(host.SetScaleFactor(2.2f), static_cast<uint32_t>(LV2_OPTIONS_SUCCESS));
    EXPECT_EQ(WindowSize(host.EditorWindow()), (std::pair<int, int>{1310, 350}));
    EXPECT_EQ(host.sizes.back(), (std::pair<int, int>{1310, 350}));
    ReferenceEditor reference(2);
    reference.SetPlain(3, 0.25);
    host.IdleFor(150);
    EXPECT_EQ(CompareWindow(display, host.EditorWindow(), reference.Screen()), "");
    const size_t reported = host.sizes.size();
    EXPECT_EQ(host.SetScaleFactor(2.0f), static_cast<uint32_t>(LV2_OPTIONS_SUCCESS));
    EXPECT_EQ(host.sizes.size(), reported) << "the same scale again is no new size";
    XSync(display, False);
    EXPECT_EQ(XErrorCount(), errorsBefore);
}

// The same pointer moves in editor pixels give the same port values at
// scale 1 and 2: positions and distances are the device pixels times the scale.
TEST_F(Lv2UiScaleTest, TheSameDragAndWheelGiveTheSameValuesAtEveryScale)
{
    REQUIRE_SERVICE(std::system("command -v xdotool >/dev/null 2>&1") == 0, "xdotool is not installed");
    std::vector<std::pair<float, float>> results;
    for (int scale = 1; scale <= 2; ++scale) {
        UiHost host(display, library->descriptor, 0, 0, true, static_cast<float>(scale));
        ASSERT_NE(host.ui, nullptr);
        host.IdleFor(100);
        const std::string w = std::to_string(host.EditorWindow());
        auto at = [&](int x, int y) { return std::to_string(x * scale) + " " + std::to_string(y * scale); };
        ASSERT_TRUE(Xdotool("mousemove --window " + w + " " + at(82, 67) + " mousedown 1 mousemove --window " + w +
                            " " + at(82, 40) + " mousemove --window " + w + " " + at(82, 27) + " mouseup 1"));
        ASSERT_TRUE(host.IdleUntil([&] { return host.touches.size() >= 2; })) << "the drag never ended";
        ASSERT_TRUE(Xdotool("mousemove --window " + w + " " + at(564, 68) + " click 5 click 5 click 4"));
        const auto gainWrites = [&] {
            size_t count = 0;
            for (const UiHost::Write& write : host.writes) {
                count += write.port == kGainPort ? 1 : 0;
            }
            return count;
        };
        ASSERT_TRUE(host.IdleUntil([&] { return gainWrites() >= 3; })) << "the wheel turned Gain three times";
        results.emplace_back(host.LastWrite(kCoarsePort), host.LastWrite(kGainPort));
        Xdotool("mousemove 0 0");
    }
    ASSERT_EQ(results.size(), 2u);
    EXPECT_GT(results[0].first, 1.0f) << "the drag turned Coarse";
    EXPECT_EQ(results[0].first, results[1].first);
    EXPECT_EQ(results[0].second, results[1].second);
}
