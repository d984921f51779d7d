#include "raster/RasterMemBitmap.h"
#include "raster/RasterSysBitmap.h"
#include "platform/DeviceContext.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>

TEST(RasterMemBitmap, StartsEmptyAndRoundsStride)
{
    RasterMemBitmap empty;
    EXPECT_EQ(empty.Pixels(), nullptr);
    EXPECT_EQ(empty.Capacity(), 0);

    RasterMemBitmap b(3, 2);
    ASSERT_NE(b.Pixels(), nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b.Pixels()) % 64, 0u);
    EXPECT_EQ(b.Stride(), 4);
    EXPECT_GE(b.Capacity(), 32);
    EXPECT_FALSE(b.SetSize(3, 2));
    EXPECT_TRUE(b.SetSize(4, 2));
    EXPECT_EQ(b.Stride(), 4);
    EXPECT_TRUE(b.SetSize(5, 2));
    EXPECT_EQ(b.Stride(), 8);
}

TEST(RasterMemBitmap, GrowsWithHeadRoomAndNeverShrinks)
{
    RasterMemBitmap b(16, 16);
    EXPECT_EQ(b.Capacity(), 1024);
    EXPECT_TRUE(b.SetSize(17, 16));
    EXPECT_EQ(b.Capacity(), 1600);
    RasterPixel* pixels = b.Pixels();
    EXPECT_TRUE(b.SetSize(20, 16));
    EXPECT_EQ(b.Pixels(), pixels);
    EXPECT_TRUE(b.SetSize(2, 2));
    EXPECT_EQ(b.Capacity(), 1600);
    EXPECT_EQ(b.Pixels(), pixels);
    // The whole of the last row must be writable.
    b.SetSize(20, 16);
    b.Pixels()[15 * b.Stride() + 19] = 1;
}

TEST(RasterMemBitmap, EmptyNegativeAndHugeSizesLeaveNoPixels)
{
    RasterMemBitmap b(8, 8);
    EXPECT_TRUE(b.SetSize(5, 0));
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
    EXPECT_EQ(b.Pixels(), nullptr);
    EXPECT_EQ(b.Capacity(), 0);

    // Two negative sides would multiply to a positive byte count.
    EXPECT_TRUE(b.SetSize(-8, -8));
    EXPECT_EQ(b.Pixels(), nullptr);
    EXPECT_EQ(b.Width(), 0);

    // 100000 x 100000 pixels overflow a 32-bit byte count.
    EXPECT_TRUE(b.SetSize(100000, 100000));
    EXPECT_EQ(b.Pixels(), nullptr);
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
}

TEST(RasterSysBitmap, KeepsPixelsWhenTheSizeFits)
{
    RasterSysBitmap b(100, 100);
    ASSERT_NE(b.Pixels(), nullptr);
    EXPECT_EQ(b.Stride(), 100);
    EXPECT_EQ(b.Pixels()[0], 0u);
    RasterPixel* pixels = b.Pixels();
    EXPECT_FALSE(b.SetSize(100, 100));
    EXPECT_TRUE(b.SetSize(50, 50));
    EXPECT_EQ(b.Stride(), 100);
    EXPECT_EQ(b.Pixels(), pixels);
    EXPECT_EQ(b.Width(), 50);
    EXPECT_TRUE(b.SetSize(101, 100));
    EXPECT_EQ(b.Stride(), 104);
    EXPECT_EQ(b.Width(), 101);
    ASSERT_NE(b.Pixels(), nullptr);
}

TEST(RasterSysBitmap, ZeroSideReleasesThePixels)
{
    RasterSysBitmap b(20, 20);
    EXPECT_FALSE(b.SetSize(0, 10));
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 10);
    EXPECT_EQ(b.Pixels(), nullptr);
    ASSERT_NE(b.DeviceContext(), nullptr);
    EXPECT_EQ(b.DeviceContext()->Cairo(), nullptr);

    RasterSysBitmap empty;
    EXPECT_EQ(empty.Pixels(), nullptr);
    EXPECT_NE(empty.DeviceContext(), nullptr);
    EXPECT_TRUE(empty.SetSize(-5, 4));
    EXPECT_EQ(empty.Pixels(), nullptr);
    EXPECT_EQ(empty.Width(), 0);
}

TEST(RasterSysBitmap, DeviceContextDrawsIntoThePixels)
{
    RasterSysBitmap b(7, 3);
    ::DeviceContext* dc = b.DeviceContext();
    ASSERT_NE(dc, nullptr);
    ASSERT_NE(dc->Cairo(), nullptr);
    EXPECT_EQ(cairo_image_surface_get_data(dc->Surface()), reinterpret_cast<unsigned char*>(b.Pixels()));
    EXPECT_EQ(cairo_image_surface_get_stride(dc->Surface()), b.Stride() * 4);
    cairo_set_source_rgb(dc->Cairo(), 1.0, 0.0, 0.0);
    cairo_paint(dc->Cairo());
    cairo_surface_flush(dc->Surface());
    EXPECT_EQ(b.Pixels()[2 * b.Stride() + 6], 0xFFFF0000u);
}
