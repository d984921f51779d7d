#include "gui/ClickSequence.h"

#include <gtest/gtest.h>

TEST(ClickSequence, SecondPressWithinTimeAndDistanceOnly)
{
    ClickSequence clicks;
    EXPECT_FALSE(clicks.IsDoubleClick(1, 1000, 10, 10, 400, 5));
    EXPECT_TRUE(clicks.IsDoubleClick(1, 1400, 15, 5, 400, 5)); // at both limits
    // A third press starts afresh, and the fourth pairs with it.
    EXPECT_FALSE(clicks.IsDoubleClick(1, 1500, 15, 5, 400, 5));
    EXPECT_TRUE(clicks.IsDoubleClick(1, 1600, 15, 5, 400, 5));

    EXPECT_FALSE(clicks.IsDoubleClick(1, 2000, 10, 10, 400, 5));
    EXPECT_FALSE(clicks.IsDoubleClick(1, 2401, 10, 10, 400, 5)); // too late
    EXPECT_FALSE(clicks.IsDoubleClick(1, 2500, 16, 10, 400, 5)); // too far along x
    EXPECT_FALSE(clicks.IsDoubleClick(1, 2550, 16, 4, 400, 5));  // too far along y
    EXPECT_FALSE(clicks.IsDoubleClick(3, 2600, 16, 10, 400, 5)); // other button
    EXPECT_TRUE(clicks.IsDoubleClick(3, 2700, 16, 10, 400, 5));
    // The event clock wraps around.
    EXPECT_FALSE(clicks.IsDoubleClick(1, 0xFFFFFF00u, 0, 0, 400, 5));
    EXPECT_TRUE(clicks.IsDoubleClick(1, 0x00000010u, 0, 0, 400, 5));
    clicks.Reset();
    EXPECT_FALSE(clicks.IsDoubleClick(1, 0x00000020u, 0, 0, 400, 5));
}
