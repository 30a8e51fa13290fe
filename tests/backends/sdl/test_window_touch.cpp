// A touch screen on the window: SDL's own finger events, pushed into a real window on SDL's
// offscreen driver, drive the application's needles through the view's transform.
#include <gtest/gtest.h>

#include "support/WindowRig.h"

namespace {

// The rig with fingers, given as view pixels of a window one to one with the view.
struct TouchRig : testing_support::WindowRig {
    int viewW = 800, viewH = 480;

    // A finger event at the middle of a view pixel, as SDL reports it: a fraction of the window.
    void Finger(Uint32 type, SDL_FingerID finger, double vx, double vy, SDL_TouchID touch = 7)
    {
        SDL_Event e{};
        e.type = type;
        e.tfinger.touchId = touch;
        e.tfinger.fingerId = finger;
        e.tfinger.x = static_cast<float>((vx + 0.5) / viewW);
        e.tfinger.y = static_cast<float>((vy + 0.5) / viewH);
        e.tfinger.pressure = 1.0f;
        Push(e);
    }
};

} // namespace

TEST(WindowTouch, TheFirstFingerIsTheFingerAndNothingPressesItTwice)
{
    TouchRig rig;
    if (!rig.window) {
        GTEST_SKIP() << "SDL's offscreen video driver is not available: " << rig.reason;
    }
    rig.h.Tilt(-90);
    rig.Settle();
    auto f = rig.h.Inspect();
    ASSERT_EQ(f.orientation, 2);
    const double startPin = f.landscapePin, startOrigin = f.landscapeOrigin;

    // A finger near the landscape hub takes the measuring needle and turns it to 45 degrees.
    rig.Finger(SDL_FINGERDOWN, 1, 400, 400);
    rig.Finger(SDL_FINGERMOTION, 1, 300, 380);
    rig.Settle();
    EXPECT_TRUE(f.moveLandscapePin);
    EXPECT_NEAR(f.landscapePin, 45.0, 0.5);

    // A second finger, on the origin ring and moving, is ignored while the first is down; so
    // is the mouse SDL would make from the touch.
    rig.Finger(SDL_FINGERDOWN, 2, 400, 200);
    rig.Finger(SDL_FINGERMOTION, 2, 700, 470);
    rig.Mouse(SDL_MOUSEMOTION, SDL_TOUCH_MOUSEID, 100, 470);
    rig.Settle();
    EXPECT_NEAR(f.landscapePin, 45.0, 0.5);
    EXPECT_FALSE(f.moveLandscapeOrigin);
    EXPECT_DOUBLE_EQ(f.landscapeOrigin, startOrigin);

    // The first finger lifts where it moved last: the needle follows it there, then lets go.
    rig.Finger(SDL_FINGERUP, 1, 500, 380);
    rig.Settle();
    EXPECT_NEAR(f.landscapePin, 135.0, 0.5);
    EXPECT_FALSE(f.moveLandscapePin);

    // The second finger, still on the glass, does not become the finger by moving.
    rig.Finger(SDL_FINGERMOTION, 2, 420, 300);
    rig.Finger(SDL_FINGERUP, 2, 420, 300);
    // Nor do the mouse SDL makes from a touch and the touch it makes from the mouse.
    rig.Mouse(SDL_MOUSEBUTTONDOWN, SDL_TOUCH_MOUSEID, 400, 400);
    rig.Mouse(SDL_MOUSEMOTION, SDL_TOUCH_MOUSEID, 300, 380);
    rig.Mouse(SDL_MOUSEBUTTONUP, SDL_TOUCH_MOUSEID, 300, 380);
    rig.Finger(SDL_FINGERDOWN, 3, 400, 200, SDL_MOUSE_TOUCHID);
    rig.Finger(SDL_FINGERMOTION, 3, 700, 470, SDL_MOUSE_TOUCHID);
    rig.Settle();
    EXPECT_NEAR(f.landscapePin, 135.0, 0.5);
    EXPECT_DOUBLE_EQ(f.landscapeOrigin, startOrigin);
    EXPECT_FALSE(f.moveLandscapePin || f.moveLandscapeOrigin);
    rig.Finger(SDL_FINGERUP, 3, 700, 470, SDL_MOUSE_TOUCHID);

    // While the real mouse holds the finger, a touch waits too; after it, a new finger works.
    rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, 400, 400);
    rig.Mouse(SDL_MOUSEMOTION, 0, 300, 380);
    rig.Finger(SDL_FINGERDOWN, 4, 400, 200);
    rig.Finger(SDL_FINGERMOTION, 4, 100, 470);
    rig.Mouse(SDL_MOUSEBUTTONUP, 0, 300, 380);
    rig.Settle();
    EXPECT_NEAR(f.landscapePin, 45.0, 0.5);
    EXPECT_DOUBLE_EQ(f.landscapeOrigin, startOrigin);
    rig.Finger(SDL_FINGERUP, 4, 100, 470);
    rig.Finger(SDL_FINGERDOWN, 5, 400, 200);
    rig.Finger(SDL_FINGERMOTION, 5, 700, 470);
    rig.Finger(SDL_FINGERUP, 5, 700, 470);
    rig.Settle();
    EXPECT_GT(f.landscapeOrigin, 170.0);
    EXPECT_NE(f.landscapeOrigin, startOrigin);
    EXPECT_NE(startPin, f.landscapePin);
}

TEST(WindowTouch, ATouchOnTheTurnedViewLandsOnThePhonePixelUnderIt)
{
    TouchRig rig;
    if (!rig.window) {
        GTEST_SKIP() << "SDL's offscreen video driver is not available: " << rig.reason;
    }
    // Key 2 holds the phone upright: the window turns the screen a quarter clockwise and
    // takes the view's shape, 480 by 800.
    rig.Key(SDLK_2);
    rig.Settle();
    ASSERT_TRUE(rig.TurnedTo(480, 800));
    rig.h.Tilt(0);
    rig.Settle();
    auto f = rig.h.Inspect();
    ASSERT_EQ(f.orientation, 0);
    rig.viewW = 480;
    rig.viewH = 800;
    // Screen (460, 240), right of the round dial's hub, is seen at view (239, 460).
    const device::PointD v = sdl::detail::ScreenToView({460.5, 240.5}, 800, 480, 1);
    rig.Finger(SDL_FINGERDOWN, 9, v.x - 0.5, v.y - 10.5);
    rig.Finger(SDL_FINGERMOTION, 9, v.x - 0.5, v.y - 0.5);
    rig.Finger(SDL_FINGERUP, 9, v.x - 0.5, v.y - 0.5);
    rig.Settle();
    EXPECT_NEAR(f.portraitPin, 270.0, 0.5);
}

// E and C in the window, at the mouse, through the same touches a finger makes: the demo
// scene's roof ridge lies under the half dial's hub from the start.
TEST(WindowTouch, EAndCLayTheNeedlesAlongThePicturesEdges)
{
    TouchRig rig;
    if (!rig.window) {
        GTEST_SKIP() << "SDL's offscreen video driver is not available: " << rig.reason;
    }
    rig.h.Tilt(-90);
    rig.Settle();
    SDL_Window* w = nullptr;
    for (Uint32 id = 1; !w && id < 16; id++) {
        w = SDL_GetWindowFromID(id);
    }
    ASSERT_NE(w, nullptr);
    const auto f = rig.h.Inspect();
    ASSERT_EQ(f.landscapePin, 0.0);
    ASSERT_EQ(f.landscapeOrigin, 90.0);
    // A finger first turns the origin needle to about 30 degrees.
    rig.Finger(SDL_FINGERDOWN, 1, 120, 470);
    rig.Finger(SDL_FINGERMOTION, 1, 152, 337);
    rig.Finger(SDL_FINGERUP, 1, 152, 337);
    rig.Settle();
    ASSERT_NEAR(f.landscapeOrigin, 30.0, 0.5);
    // E on the left rafter (37.5 degrees on this dial): the origin needle, nearer it now, is
    // laid along it; the measuring needle stays.
    SDL_WarpMouseInWindow(w, 400 - 120, 469 - 92);
    rig.Settle();
    rig.Key(SDLK_e);
    // The search runs beside the window: wait for its touches, within a generous bound.
    EXPECT_TRUE(rig.WaitFor([&] { return f.landscapeOrigin >= 37; }, 30));
    EXPECT_NEAR(f.landscapeOrigin, 37.5, 0.05);
    EXPECT_EQ(f.landscapePin, 0.0);
    // C near the ridge: both needles along the rafters.
    SDL_WarpMouseInWindow(w, 405, 463);
    rig.Settle();
    rig.Key(SDLK_c);
    EXPECT_TRUE(rig.WaitFor([&] { return f.landscapePin != 0.0; }, 30));
    EXPECT_EQ(static_cast<int>(std::abs(f.landscapePin - f.landscapeOrigin) * 10), 1050);
}
