// C in the desktop window on SDL's offscreen driver: the corner under the mouse is aimed under
// the hub at once, with no other input needed to bring the aim to the camera.
#include <gtest/gtest.h>

#include <cmath>

#include "demo/DemoScene.h"
#include "device/SeenPicture.h"
#include "edges/Finger.h"
#include "support/WindowRig.h"

namespace {

constexpr device::FrameSize kScreen{800, 480};
constexpr device::FrameSize kScene{demo::DemoScene::kSceneWidth, demo::DemoScene::kSceneHeight};

device::PointD OnScreen(testing_support::Harness& h, const demo::KnownAngle& k)
{
    const device::SeenPicture seen{kScene, h.Device().Camera().PictureTurns(), h.Device().Camera().HeldTurns()};
    return device::SourceToFrame(h.Device().Camera().GetAim(), seen, kScreen,
                                 {(k.vertexX + 0.5) / kScene.width, (k.vertexY + 0.5) / kScene.height});
}

// A corner of the scene that opens upward and lies well away from the hub.
const demo::KnownAngle* CornerAwayFromHub(testing_support::Harness& h)
{
    const device::PointD hub = edges::ShapeOf(edges::Dial::Half).hub;
    for (const demo::KnownAngle& k : demo::DemoScene::KnownAngles()) {
        const device::PointD v = OnScreen(h, k);
        const bool up = std::sin(k.edge1Deg * M_PI / 180) >= 0 && std::sin(k.edge2Deg * M_PI / 180) >= 0;
        if (up && std::hypot(v.x - hub.x, v.y - hub.y) > 80 && v.x > 40 && v.x < 760 && v.y > 40 && v.y < 440) {
            return &k;
        }
    }
    return nullptr;
}

} // namespace

TEST(WindowCorner, CAimsTheCornerUnderTheHubWithoutWaitingForMoreInput)
{
    testing_support::WindowRig rig;
    if (!rig.window) {
        GTEST_SKIP() << "SDL's offscreen video driver is not available: " << rig.reason;
    }
    rig.h.Tilt(-90);
    rig.Settle();
    SDL_Window* w = rig.sdlWindow;
    ASSERT_NE(w, nullptr);
    const device::PointD hub = edges::ShapeOf(edges::Dial::Half).hub;
    const demo::KnownAngle* corner = CornerAwayFromHub(rig.h);
    ASSERT_NE(corner, nullptr) << "no corner of the scene to point at";
    const device::PointD v = OnScreen(rig.h, *corner);
    SDL_WarpMouseInWindow(w, static_cast<int>(v.x) + 3, static_cast<int>(v.y) - 3);
    rig.Settle();
    rig.Key(SDLK_c);
    // Nothing else happens in the window: the aim must still reach the camera.
    EXPECT_TRUE(rig.WaitFor(
        [&] {
            const device::PointD now = OnScreen(rig.h, *corner);
            return std::hypot(now.x - hub.x, now.y - hub.y) < 1.5;
        },
        30))
        << corner->name << " did not come under the hub";
    const auto f = rig.h.Inspect();
    EXPECT_EQ(static_cast<int>(std::lround(std::abs(f.landscapePin - f.landscapeOrigin) * 10)),
              static_cast<int>(std::lround(corner->angleDeg * 10)))
        << corner->name;
}

TEST(WindowCorner, ANoticeInTheTitleGoesWhenTheNextSearchSucceeds)
{
    testing_support::WindowRig rig;
    if (!rig.window) {
        GTEST_SKIP() << "SDL's offscreen video driver is not available: " << rig.reason;
    }
    rig.h.Tilt(-90);
    rig.Settle();
    const std::string plain = rig.Title();
    ASSERT_EQ(plain.rfind("Veltora - demo scene", 0), 0u) << plain;
    const demo::KnownAngle* corner = CornerAwayFromHub(rig.h);
    ASSERT_NE(corner, nullptr) << "no corner of the scene to point at";
    const device::PointD v = OnScreen(rig.h, *corner);
    SDL_WarpMouseInWindow(rig.sdlWindow, static_cast<int>(v.x) + 3, static_cast<int>(v.y) - 3);
    rig.Settle();
    // With the finger down the search has nothing to do but say so, in the title.
    rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, 20, 460);
    rig.Settle();
    rig.Key(SDLK_c);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.Title() != plain && rig.Title().find("demo scene") == std::string::npos; }, 30))
        << rig.Title();
    rig.Mouse(SDL_MOUSEBUTTONUP, 0, 20, 460);
    rig.Settle();
    rig.Key(SDLK_c);
    // The title tells what it told before, though nothing it tells has changed.
    EXPECT_TRUE(rig.WaitFor([&] { return rig.Title().rfind("Veltora - demo scene", 0) == 0; }, 30)) << rig.Title();
}
