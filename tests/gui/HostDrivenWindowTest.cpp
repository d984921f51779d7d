// The window-independent decisions of the X11 editor window: which presses
// are double clicks, and when the host's idle calls tick the redraw timer.

#include "gui/DoubleClickDetector.h"
#include "gui/RedrawSchedule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

TEST(DoubleClickDetector, TheSecondPressOfOneButtonCloseInTimeAndPlaceIsADoubleClick)
{
    DoubleClickDetector clicks;
    EXPECT_FALSE(clicks.Press(1, 100, 50, 1000));
    EXPECT_TRUE(clicks.Press(1, 105, 45, 1400)); // at both limits
    // A third press starts over, as GTK gives no second double click.
    EXPECT_FALSE(clicks.Press(1, 105, 45, 1450));
    EXPECT_TRUE(clicks.Press(1, 105, 45, 1500));

    EXPECT_FALSE(clicks.Press(1, 10, 10, 2000));
    EXPECT_FALSE(clicks.Press(1, 10, 10, 2401)) << "too late";
    EXPECT_FALSE(clicks.Press(1, 16, 10, 2500)) << "too far along x";
    EXPECT_FALSE(clicks.Press(1, 16, 4, 2600)) << "too far along y";
    EXPECT_FALSE(clicks.Press(3, 16, 4, 2700)) << "another button";
    EXPECT_TRUE(clicks.Press(3, 16, 4, 2800));

    // The server's millisecond clock wraps after 49 days.
    EXPECT_FALSE(clicks.Press(1, 0, 0, UINT32_MAX - 100));
    EXPECT_TRUE(clicks.Press(1, 0, 0, 150));
    // A forgotten press is no half of a double click.
    EXPECT_FALSE(clicks.Press(1, 0, 0, 10000));
    clicks.Reset();
    EXPECT_FALSE(clicks.Press(1, 0, 0, 10100));
}

namespace {
// Ticks when idle calls come every step ms from 0 to end ms.
std::vector<int64_t> Ticks(RedrawSchedule& schedule, int64_t step, int64_t end, int64_t start = 0)
{
    std::vector<int64_t> at;
    for (int64_t now = start; now <= end; now += step) {
        if (schedule.Due(now)) {
            at.push_back(now);
        }
    }
    return at;
}
} // namespace

TEST(RedrawSchedule, FastIdleCallsTickEveryPeriod)
{
    RedrawSchedule schedule(40);
    EXPECT_EQ(Ticks(schedule, 10, 200), (std::vector<int64_t>{0, 40, 80, 120, 160, 200}));
}

TEST(RedrawSchedule, SlowerIdleCallsStillGiveTheFrameRateOnAverage)
{
    // A host idling at 30 per second: 25 ticks a second all the same.
    RedrawSchedule schedule(40);
    const std::vector<int64_t> ticks = Ticks(schedule, 33, 10000);
    EXPECT_NEAR(static_cast<double>(ticks.size()), 250.0, 2.0);
    for (size_t i = 1; i < ticks.size(); ++i) {
        EXPECT_LE(ticks[i] - ticks[i - 1], 66);
    }
}

TEST(RedrawSchedule, AStalledHostGetsOneTickNotABurst)
{
    RedrawSchedule schedule(40);
    EXPECT_TRUE(schedule.Due(0));
    EXPECT_TRUE(schedule.Due(1000)); // a second without idle calls
    EXPECT_FALSE(schedule.Due(1010));
    EXPECT_FALSE(schedule.Due(1039));
    EXPECT_TRUE(schedule.Due(1040));

    // Reopened: the next call ticks at once; no timer without a frame rate.
    schedule.Restart();
    EXPECT_TRUE(schedule.Due(1041));
    RedrawSchedule never(0);
    EXPECT_EQ(Ticks(never, 10, 1000).size(), 0u);
}
