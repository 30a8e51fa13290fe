// The window on SDL's Wayland driver, driven by SDL's own finger events as on a phone's touch
// screen. It needs a compositor with a seat: tests/window/test_wayland.sh runs it inside the
// Weston it starts; elsewhere it is skipped.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/WindowRig.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::WindowRig;

void Finger(WindowRig& rig, Uint32 type, double vx, double vy)
{
    // The middle of a view pixel, as a fraction of the 800x480 window.
    SDL_Event e{};
    e.type = type;
    e.tfinger.touchId = 3;
    e.tfinger.fingerId = 1;
    e.tfinger.x = static_cast<float>((vx + 0.5) / 800);
    e.tfinger.y = static_cast<float>((vy + 0.5) / 480);
    e.tfinger.pressure = 1.0f;
    rig.Push(e);
}

} // namespace

TEST(WindowWayland, FingersOnTheWaylandWindowTurnTheNeedle)
{
    if (!std::getenv("VELTORA_WAYLAND_RIG")) {
        GTEST_SKIP() << "runs inside the Weston that tests/window/test_wayland.sh starts";
    }
    ScopedEnv noX("DISPLAY", "");
    WindowRig rig(WindowRig::One(), {}, "wayland");
    ASSERT_TRUE(rig.window) << rig.reason;
    ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "wayland");
    rig.h.Tilt(-90);
    rig.Settle();
    auto f = rig.h.Inspect();
    ASSERT_EQ(f.orientation, 2);

    // A finger near the landscape hub takes the measuring needle and turns it to 45 degrees.
    Finger(rig, SDL_FINGERDOWN, 400, 400);
    Finger(rig, SDL_FINGERMOTION, 300, 380);
    rig.Settle();
    EXPECT_TRUE(f.moveLandscapePin);
    EXPECT_NEAR(f.landscapePin, 45.0, 0.5);
    Finger(rig, SDL_FINGERUP, 300, 380);
    rig.Settle();
    EXPECT_FALSE(f.moveLandscapePin);
    EXPECT_NEAR(f.landscapePin, 45.0, 0.5);
}
