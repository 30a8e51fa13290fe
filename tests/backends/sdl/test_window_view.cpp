// The view's placement in a window, asked of nothing but numbers: window units on a dense
// desktop, the black beside the view and a turned phone all map back onto the right pixel.
#include <gtest/gtest.h>

#include "sdl/ViewGeometry.h"

using sdl::detail::ViewShape;
using sdl::detail::WindowToScreen;

TEST(WindowView, WindowPointsLandOnThePixelUnderThemAtAnyDensityAndTurn)
{
    // One to one: the middle of a window pixel is the middle of the phone's pixel.
    ViewShape plain{800, 480, 0, 800, 480, 800, 480};
    device::PointD p = WindowToScreen(plain, 10.5, 20.5);
    EXPECT_DOUBLE_EQ(p.x, 10.5);
    EXPECT_DOUBLE_EQ(p.y, 20.5);
    // A dense desktop: 400x240 window units over 800x480 output pixels.
    ViewShape dense{800, 480, 0, 400, 240, 800, 480};
    p = WindowToScreen(dense, 100.25, 60.25);
    EXPECT_DOUBLE_EQ(p.x, 200.5);
    EXPECT_DOUBLE_EQ(p.y, 120.5);
    // Black left and right of the view: the view starts 100 pixels in, and points in the
    // black lie off the screen (the finger clamps them, the aimer uses them as they are).
    ViewShape wide{800, 480, 0, 1000, 480, 1000, 480};
    p = WindowToScreen(wide, 100.5, 0.5);
    EXPECT_DOUBLE_EQ(p.x, 0.5);
    EXPECT_LT(WindowToScreen(wide, 50, 10).x, 0);
    // Held upright (a quarter turn): the view's top-right corner is the screen's top-left.
    ViewShape upright{800, 480, 1, 480, 800, 480, 800};
    p = WindowToScreen(upright, 479.5, 0.5);
    EXPECT_DOUBLE_EQ(p.x, 0.5);
    EXPECT_DOUBLE_EQ(p.y, 0.5);
    // Upright at half size on a dense desktop, letterboxed in a square window.
    ViewShape small{800, 480, 1, 300, 300, 600, 600};
    p = WindowToScreen(small, 150, 150);
    EXPECT_DOUBLE_EQ(p.x, 400);
    EXPECT_DOUBLE_EQ(p.y, 240);
    // A window with nothing to show yet does not divide by nothing.
    p = WindowToScreen(ViewShape{800, 480, 0, 0, 0, 0, 0}, 5, 5);
    EXPECT_DOUBLE_EQ(p.x, 0);
    EXPECT_DOUBLE_EQ(p.y, 0);
}
