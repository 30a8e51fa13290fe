// The window's view geometry: the screen turned and letterboxed into a window of any size,
// window points mapped back onto the phone's pixels exactly, and the size it starts at.
#include "sdl/WindowParts.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace sdl::detail;

TEST(WindowGeometry, TurningAndTurningBackIsExactAndCornersGoWhereTheViewTurnsThem)
{
    for (int turns = 0; turns < 4; turns++) {
        for (device::PointD s : {device::PointD{0.5, 0.5}, {799.5, 0.5}, {123.25, 456.75}}) {
            const device::PointD v = ScreenToView(s, 800, 480, turns);
            const device::PointD back = ViewToScreen(v, 800, 480, turns);
            EXPECT_DOUBLE_EQ(back.x, s.x);
            EXPECT_DOUBLE_EQ(back.y, s.y);
        }
    }
    // A quarter turn clockwise puts the screen's top-left corner at the view's top-right.
    const device::PointD tl = ScreenToView({0.5, 0.5}, 800, 480, 1);
    EXPECT_DOUBLE_EQ(tl.x, 479.5);
    EXPECT_DOUBLE_EQ(tl.y, 0.5);
    const device::PointD upside = ScreenToView({0.5, 0.5}, 800, 480, 2);
    EXPECT_DOUBLE_EQ(upside.x, 799.5);
    EXPECT_DOUBLE_EQ(upside.y, 479.5);
    const device::PointD ccw = ScreenToView({0.5, 0.5}, 800, 480, 3);
    EXPECT_DOUBLE_EQ(ccw.x, 0.5);
    EXPECT_DOUBLE_EQ(ccw.y, 799.5);
    EXPECT_EQ(TurnedSize(800, 480, 3).w, 480);
    EXPECT_EQ(TurnedSize(800, 480, 2).w, 800);
}

TEST(WindowGeometry, TheViewKeepsTheScreensShapeAndEveryPhonePixelIsReachedAtAnySize)
{
    // Wider than the phone: black left and right; taller: above and below.
    const Box wide = FitView(1000, 480, 800, 480);
    EXPECT_EQ(wide.x, 100);
    EXPECT_EQ(wide.w, 800);
    const Box tall = FitView(800, 800, 800, 480);
    EXPECT_EQ(tall.y, 160);
    EXPECT_EQ(tall.h, 480);
    // At 1.5 times, the middle of each window pixel maps onto the phone pixel under it: every
    // phone pixel of a row is hit, in order, none skipped.
    const Box big = FitView(1200, 720, 800, 480);
    int last = -1, hits = 0;
    for (int wx = big.x; wx < big.x + big.w; wx++) {
        const double vx = (wx + 0.5 - big.x) * 800.0 / big.w;
        const int px = static_cast<int>(std::floor(ViewToScreen({vx, 10.5}, 800, 480, 0).x));
        EXPECT_GE(px, last);
        EXPECT_LE(px, last + 1);
        hits += px != last;
        last = px;
    }
    EXPECT_EQ(hits, 800);
    EXPECT_EQ(last, 799);
}

TEST(WindowGeometry, TheWindowStartsAtWholeMultiplesOnDenseDesktopsAndAlwaysFits)
{
    using sdl::detail::StartScale;
    // An ordinary desktop shows the phone's pixels one to one, also when its density is unknown.
    EXPECT_EQ(StartScale(800, 1920, 1080, 96.0f), 1.0);
    EXPECT_EQ(StartScale(800, 1920, 1080, 0.0f), 1.0);
    EXPECT_EQ(StartScale(800, 1920, 1080, std::nanf("")), 1.0);
    // Dense ones take whole multiples (a little under 144 dpi is still one)...
    EXPECT_EQ(StartScale(800, 3840, 2400, 192.0f), 2.0);
    EXPECT_EQ(StartScale(800, 3840, 2400, 140.0f), 1.0);
    EXPECT_EQ(StartScale(800, 5120, 3200, 280.0f), 3.0);
    // ...but never more than leaves the turned phone inside the desktop.
    EXPECT_DOUBLE_EQ(StartScale(800, 2560, 1600, 192.0f), 1600 * 0.95 / 800);
    EXPECT_DOUBLE_EQ(StartScale(480, 2560, 1600, 192.0f), 1600 * 0.95 / 800);
    // A desktop too small for the phone shrinks it to fit, however dense.
    EXPECT_DOUBLE_EQ(StartScale(800, 1024, 600, 96.0f), 600 * 0.95 / 800);
    EXPECT_DOUBLE_EQ(StartScale(800, 700, 2000, 192.0f), 700 * 0.95 / 800);
    EXPECT_EQ(StartScale(800, 0, 0, 192.0f), 1.0);
}

TEST(WindowGeometry, OnAScaledWaylandOutputTheStartSizeIsCountedInItsUnits)
{
    using sdl::detail::StartSize;
    // At scale 2 a desktop of 1600x900 units is 3200x1800 pixels: the phone twice, 800x480 units.
    const auto twice = StartSize(800, 480, 1600, 900, 192.0f, 2);
    EXPECT_EQ(twice.w, 800);
    EXPECT_EQ(twice.h, 480);
    // At scale 1 the same units are pixels: one to one.
    const auto once = StartSize(800, 480, 1600, 900, 96.0f, 1);
    EXPECT_EQ(once.w, 800);
    EXPECT_EQ(once.h, 480);
    // A phone's output, 360x720 units at scale 2: fitted into 95 % of its width, in units.
    const auto phone = StartSize(800, 480, 360, 720, 192.0f, 2);
    EXPECT_EQ(phone.w, 342);
    EXPECT_EQ(phone.h, 205);
    // No scale reported counts as one.
    const auto none = StartSize(800, 480, 1600, 900, 96.0f, 0);
    EXPECT_EQ(none.w, 800);
}
