// Dragging the pins with a finger, through the real touch screen and control tree:
// which pin a drag takes, where it points, and what lifting the finger does.
#include <gtest/gtest.h>

#include <cmath>

#include "support/Harness.h"

using testing_support::Harness;

namespace {

// Holds the phone at `pitch` and lets a tilt reading lay the controls out.
void Layout(Harness& h, float pitch) { h.Tilt(pitch); }

// A finger that lands beside (x, y) and makes its first move onto it: pins are taken
// by moves, at the point moved to.
void FirstMoveAt(Harness& h, int x, int y)
{
    h.Press(x + 1, y);
    h.MoveTo(x, y);
}

} // namespace

TEST(Dragging, LandscapeZonesHaveStrictLimits)
{
    Harness h;
    Layout(h, -90);
    auto f = h.Inspect();
    struct Case {
        int y; // straight above the touch centre (400, 480)
        bool measuring, origin;
    };
    for (const Case c : {Case{315, true, false}, Case{314, false, false}, Case{274, false, false},
                         Case{273, false, true}, Case{115, false, true}, Case{114, false, false}}) {
        FirstMoveAt(h, 400, c.y);
        EXPECT_EQ(f.moveLandscapePin, c.measuring) << "length " << 480 - c.y;
        EXPECT_EQ(f.moveLandscapeOrigin, c.origin) << "length " << 480 - c.y;
        EXPECT_FALSE(f.movePortraitPin || f.movePortraitOrigin);
        h.Release(400, c.y);
    }
}

TEST(Dragging, PortraitZonesHaveStrictLimits)
{
    Harness h;
    Layout(h, 0);
    auto f = h.Inspect();
    struct Case {
        int y; // straight above the touch centre (400, 240)
        bool measuring, origin;
    };
    for (const Case c : {Case{145, true, false}, Case{144, false, false}, Case{112, false, false},
                         Case{111, false, true}, Case{1, false, true}, Case{0, false, false}}) {
        FirstMoveAt(h, 400, c.y);
        EXPECT_EQ(f.movePortraitPin, c.measuring) << "length " << 240 - c.y;
        EXPECT_EQ(f.movePortraitOrigin, c.origin) << "length " << 240 - c.y;
        EXPECT_FALSE(f.moveLandscapePin || f.moveLandscapeOrigin);
        h.Release(400, c.y);
    }
}

TEST(Dragging, APinIsTakenOnlyByMovingAndThenFollowsAnywhere)
{
    Harness h;
    Layout(h, -90);
    auto f = h.Inspect();
    // Pressing and lifting changes nothing.
    h.Tap(400, 400);
    EXPECT_EQ(f.landscapePin, 0.0);
    EXPECT_EQ(f.landscapeOrigin, 90.0);
    // A drag starting between the zones takes nothing until it enters one...
    h.Press(400, 300);
    h.MoveTo(420, 300);
    EXPECT_FALSE(f.moveLandscapePin || f.moveLandscapeOrigin);
    EXPECT_EQ(f.landscapePin, 0.0);
    h.MoveTo(400, 350);
    EXPECT_TRUE(f.moveLandscapePin);
    EXPECT_NEAR(f.landscapePin, 90.0, 1e-9);
    // ...and then the pin follows the finger far outside its zone.
    h.MoveTo(100, 479);
    EXPECT_NEAR(f.landscapePin, std::acos(300.0 / std::sqrt(300.0 * 300 + 1)) * 180 / M_PI, 1e-9);
    EXPECT_GT(f.landscapePin, 0.0);
    EXPECT_LT(f.landscapePin, 0.5);
    h.MoveTo(700, 479);
    EXPECT_GT(f.landscapePin, 179.5);
    EXPECT_LT(f.landscapePin, 180.0);
    h.MoveTo(400, 300);
    EXPECT_NEAR(f.landscapePin, 90.0, 1e-9);
    EXPECT_EQ(f.landscapeOrigin, 90.0);
    h.Release(400, 300);
}

TEST(Dragging, PortraitAnglesGrowClockwiseFromDown)
{
    Harness h;
    Layout(h, 0);
    auto f = h.Inspect();
    // Without a pin held, (300, 240) is 100 pixels out: between the zones.
    FirstMoveAt(h, 300, 240);
    EXPECT_FALSE(f.movePortraitPin || f.movePortraitOrigin);
    h.Release(300, 240);

    h.Press(400, 200);
    h.MoveTo(400, 210); // 30 from the centre: the measuring pin
    ASSERT_TRUE(f.movePortraitPin);
    struct Case {
        int x, y;
        double angle;
    };
    for (const Case c : {Case{300, 240, 90.0}, Case{500, 240, 270.0}, Case{400, 140, 180.0}, Case{400, 340, 360.0}}) {
        h.MoveTo(c.x, c.y);
        EXPECT_NEAR(f.portraitPin, c.angle, 1e-9) << c.x << "," << c.y;
    }
    h.MoveTo(399, 340);
    EXPECT_GT(f.portraitPin, 0.0);
    EXPECT_LT(f.portraitPin, 1.0);
    h.Release(399, 340);
    EXPECT_EQ(f.portraitOrigin, 90.0);
}

TEST(Dragging, LiftingTheFingerEndsEveryDrag)
{
    Harness h;
    auto f = h.Inspect();
    f.moveLandscapeOrigin = f.movePortraitOrigin = f.moveLandscapePin = f.movePortraitPin = true;
    h.Tap(600, 200);
    EXPECT_FALSE(f.moveLandscapeOrigin || f.movePortraitOrigin || f.moveLandscapePin || f.movePortraitPin);
}

TEST(Dragging, ADragAcrossATurnOfThePhoneHoldsAPinOnEachDial)
{
    Harness h;
    Layout(h, -90);
    auto f = h.Inspect();
    h.Press(400, 400);
    h.MoveTo(400, 401);
    ASSERT_TRUE(f.moveLandscapePin);
    // The phone turns to portrait while the finger is down.
    h.Tilt(0);
    ASSERT_EQ(f.orientation, PORTRAIT_UP);
    h.MoveTo(400, 200); // 40 from the portrait centre: its measuring pin
    EXPECT_TRUE(f.movePortraitPin);
    EXPECT_TRUE(f.moveLandscapePin);
    EXPECT_NEAR(f.portraitPin, 180.0, 1e-9);
    const double landscape = f.landscapePin;
    h.MoveTo(300, 240);
    EXPECT_NEAR(f.portraitPin, 90.0, 1e-9);
    EXPECT_EQ(f.landscapePin, landscape);
    h.Release(300, 240);
    EXPECT_FALSE(f.movePortraitPin || f.moveLandscapePin);
}

TEST(Dragging, TheHelpPageReportsMovesToo)
{
    Harness h;
    Layout(h, -90);
    auto f = h.Inspect();
    h.Tap(40, 115); // the information image
    h.Frames(1);
    ASSERT_TRUE(f.infoPanel->GetShowState());
    ASSERT_TRUE(h.Screen().Portrait());
    // Moves on the help image scroll it; a move on the title strip reaches the form, and
    // is measured on the landscape dial, the code in force.
    h.Press(100, 30);
    h.MoveTo(101, 30); // 476 from (400, 480): no pin
    h.MoveTo(300, 400); // now within 166: the measuring pin
    EXPECT_TRUE(f.moveLandscapePin);
    EXPECT_NEAR(f.landscapePin, std::acos(100.0 / std::sqrt(100.0 * 100 + 80 * 80)) * 180 / M_PI, 1e-9);
    h.Release(300, 400);
}

TEST(Dragging, AFingerOnTheCentreKeepsThePinsAngle)
{
    Harness h;
    Layout(h, 0);
    auto f = h.Inspect();
    f.portraitPin = 123.0;
    // (400, 240) is the portrait dial's touch centre: no direction to point in.
    FirstMoveAt(h, 400, 240);
    EXPECT_TRUE(f.movePortraitPin);
    EXPECT_EQ(f.portraitPin, 123.0);
    h.MoveTo(400, 340);
    EXPECT_NEAR(f.portraitPin, 360.0, 1e-9);
    h.Release(400, 340);

    // The landscape centre (400, 480) lies just below the screen; a control reporting
    // it (relative to itself) gets the same care.
    h.Tilt(-90);
    f.landscapePin = 33.0;
    Osp::Ui::TouchEventInfo info;
    f.form.OnTouchMoved(*f.cameraPanel, Osp::Graphics::Point(400, 480), info);
    EXPECT_TRUE(f.moveLandscapePin);
    EXPECT_EQ(f.landscapePin, 33.0);
    h.Frames(1);
    EXPECT_EQ(h.ShownDraws()[0], "landscape_pin.png@400,469/15,631:57");
}

TEST(Dragging, RoundingNeverMakesAnAngleThatIsNotANumber)
{
    // A direction normalised with a rounding error can have a cosine just past 1 or -1,
    // where the arc cosine has no value; the pin then points straight along the axis.
    const VECTOR left = {-1.0, 0.0};
    const double over = std::nextafter(1.0, 2.0);
    double angle = 50.0;
    MainFormInspector::TurnPin(angle, left, VECTOR{-over, 0.0}, 10.0);
    EXPECT_EQ(angle, 0.0);
    MainFormInspector::TurnPin(angle, left, VECTOR{over, 0.0}, 10.0);
    EXPECT_EQ(angle, 180.0);
    // No length, no direction: the angle stays.
    MainFormInspector::TurnPin(angle, left, VECTOR{0.0, 0.0}, 0.0);
    EXPECT_EQ(angle, 180.0);

    // Through the touch screen, along the bottom row where the cosine is exactly 1 or -1.
    Harness h;
    h.Tilt(-90);
    auto f = h.Inspect();
    Osp::Ui::TouchEventInfo info;
    for (int x : {0, 1, 399, 401, 799, 100000, -100000}) {
        f.moveLandscapePin = true;
        f.form.OnTouchMoved(*f.cameraPanel, Osp::Graphics::Point(x, 480), info);
        EXPECT_TRUE(std::isfinite(f.landscapePin)) << x;
        EXPECT_EQ(f.landscapePin, x < 400 ? 0.0 : 180.0) << x;
    }
}

TEST(Dragging, TouchesWhileInTheBackgroundReachNothing)
{
    Harness h;
    h.Tilt(-90);
    auto f = h.Inspect();
    h.Press(400, 400);
    h.MoveTo(400, 401);
    ASSERT_TRUE(f.moveLandscapePin);
    // Leaving lifts the finger for the application: its gesture is over.
    h.Device().PostBackground();
    h.RunMs(0);
    EXPECT_FALSE(f.moveLandscapePin);
    h.MoveTo(100, 470);
    h.Drag(400, 400, 300, 300);
    EXPECT_NEAR(f.landscapePin, 90.0, 1.0);
    h.Device().PostForeground();
    h.RunMs(0);
    h.Drag(400, 400, 300, 450);
    EXPECT_LT(f.landscapePin, 30.0);
}
