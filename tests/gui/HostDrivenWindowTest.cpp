// The window-independent decision of the X11 editor window: when the host's
// idle calls tick the redraw timer.

#include "gui/RedrawSchedule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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
