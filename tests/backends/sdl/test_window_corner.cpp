// C in the desktop window on SDL's offscreen driver: the corner under the mouse is aimed under
// the hub at once, and what is told of it leaves the readout and the buttons to be read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/Trace.h"
#include "demo/DemoScene.h"
#include "instrument/Dial.h"
#include "instrument/Finger.h"
#include "instrument/Reading.h"
#include "instrument/SeenPicture.h"
#include "sdl/ViewGeometry.h"
#include "support/WindowFiles.h"
#include "support/WindowRig.h"

namespace {

constexpr device::FrameSize kScreen{800, 480};
constexpr device::FrameSize kScene{demo::DemoScene::kSceneWidth, demo::DemoScene::kSceneHeight};

device::PointD OnScreen(testing_support::Harness& h, const demo::KnownAngle& k)
{
    const instrument::SeenPicture seen{kScene, h.Device().Camera().PictureTurns(), h.Device().Camera().HeldTurns()};
    return instrument::SourceToFrame(h.Device().Camera().GetAim(), seen, kScreen,
                                     {(k.vertexX + 0.5) / kScene.width, (k.vertexY + 0.5) / kScene.height});
}

// A corner of the scene that opens upward and lies well away from the hub; null when none.
const demo::KnownAngle* UpwardCorner(testing_support::Harness& h)
{
    const device::PointD hub = instrument::ShapeOf(instrument::Dial::Half).hub;
    for (const demo::KnownAngle& k : demo::DemoScene::KnownAngles()) {
        const device::PointD v = OnScreen(h, k);
        const bool up = std::sin(k.edge1Deg * M_PI / 180) >= 0 && std::sin(k.edge2Deg * M_PI / 180) >= 0;
        if (up && std::hypot(v.x - hub.x, v.y - hub.y) > 80 && v.x > 40 && v.x < 760 && v.y > 40 && v.y < 440) {
            return &k;
        }
    }
    return nullptr;
}

// The pixels of the fitted stretches' own magenta, which the window draws opaque.
long Magenta(const testing_support::Image& image)
{
    return std::count(image.pixels.begin(), image.pixels.end(), 0xFF00FFu);
}

} // namespace

// C says what it read and how far it can be trusted (in the title, plain ASCII there), keeps it
// in the trace, and draws the lines it fitted over the picture, outside the phone's screen,
// until the next key; the loupe of a touch shows them, and they go when its finger lifts.
TEST(WindowCorner, CTellsItsReadingWithItsUncertaintyAndShowsWhatItFittedUntilTheNextKeyOrTouch)
{
    testing_support::WindowRig rig;
    if (!rig.window) {
        GTEST_SKIP() << "SDL's offscreen video driver is not available: " << rig.reason;
    }
    testing_support::TraceRecorder trace;
    rig.h.Tilt(-90);
    rig.Settle();
    const demo::KnownAngle* corner = UpwardCorner(rig.h);
    ASSERT_NE(corner, nullptr) << "no corner of the scene to point at";
    const device::PointD v = OnScreen(rig.h, *corner);
    SDL_WarpMouseInWindow(rig.sdlWindow, static_cast<int>(v.x) + 3, static_cast<int>(v.y) - 3);
    rig.Settle();
    const long magentaBefore = Magenta(rig.Shown());
    rig.Key(SDLK_c);
    char tenths[16];
    std::snprintf(tenths, sizeof tenths, "%.1f", std::round(corner->angleDeg * 10) / 10);
    const std::string title = std::string("Veltora - ") + tenths + " deg +/- 0.1 deg";
    EXPECT_TRUE(rig.WaitFor([&] { return rig.Title() == title; }, 30)) << rig.Title() << " != " << title;
    // In the trace: what was asked, where, and the reading with its uncertainty.
    const auto finger = std::find_if(trace.events.begin(), trace.events.end(),
                                     [](const trace::Event& e) { return e.type == trace::Event::Type::Finger; });
    ASSERT_NE(finger, trace.events.end());
    EXPECT_EQ(finger->name, "corner");
    const std::vector<std::pair<std::string, std::string>> args{{"x", std::to_string(static_cast<int>(v.x) + 3)},
                                                                {"y", std::to_string(static_cast<int>(v.y) - 3)},
                                                                {"angle", tenths},
                                                                {"uncertainty", "0.1"}};
    EXPECT_EQ(finger->args, args);
    // The fitted stretches over the picture, never in the phone's screen.
    long shown = 0;
    EXPECT_TRUE(rig.WaitFor([&] { return (shown = Magenta(rig.Shown())) > magentaBefore + 200; })) << shown;
    EXPECT_EQ(Magenta(rig.ScreenTurned(0)), magentaBefore);
    // A touch: only its loupe shows them (where the view showed them is mostly no longer
    // magenta); lifted, they are gone.
    const testing_support::Image withLines = rig.Shown();
    const device::PointD hub = instrument::ShapeOf(instrument::Dial::Half).hub;
    rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, static_cast<int>(hub.x) + 20, static_cast<int>(hub.y) - 30);
    rig.Settle();
    long inLoupe = 0, stillInView = 0;
    EXPECT_TRUE(rig.WaitFor([&] {
        const testing_support::Image now = rig.Shown();
        inLoupe = Magenta(now);
        stillInView = 0;
        for (std::size_t i = 0; i < now.pixels.size() && i < withLines.pixels.size(); i++) {
            stillInView += withLines.pixels[i] == 0xFF00FFu && now.pixels[i] == 0xFF00FFu;
        }
        return inLoupe > magentaBefore + 100 && stillInView < shown / 5;
    })) << inLoupe
        << " in the loupe, " << stillInView << " of " << shown << " still in the view";
    rig.Mouse(SDL_MOUSEBUTTONUP, 0, static_cast<int>(hub.x) + 20, static_cast<int>(hub.y) - 30);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return Magenta(rig.Shown()) <= magentaBefore; })) << Magenta(rig.Shown());
    // C again on the corner now under the hub, then any key: gone.
    SDL_WarpMouseInWindow(rig.sdlWindow, static_cast<int>(hub.x) + 3, static_cast<int>(hub.y) - 6);
    rig.Settle();
    rig.Key(SDLK_c);
    EXPECT_TRUE(rig.WaitFor([&] { return Magenta(rig.Shown()) > magentaBefore + 200; }));
    rig.Key(SDLK_F12);
    rig.Settle();
    EXPECT_TRUE(rig.WaitFor([&] { return Magenta(rig.Shown()) <= magentaBefore; })) << Magenta(rig.Shown());
}

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
    const device::PointD hub = instrument::ShapeOf(instrument::Dial::Half).hub;
    const demo::KnownAngle* corner = UpwardCorner(rig.h);
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
    // Within the tenth the reading states.
    const auto f = rig.h.Inspect();
    EXPECT_LE(std::abs(std::abs(f.landscapePin - f.landscapeOrigin) - corner->angleDeg), 0.1) << corner->name;
}

TEST(WindowCorner, ANoticeInTheTitleGivesWayToTheNextReading)
{
    testing_support::WindowRig rig;
    if (!rig.window) {
        GTEST_SKIP() << "SDL's offscreen video driver is not available: " << rig.reason;
    }
    rig.h.Tilt(-90);
    rig.Settle();
    const std::string plain = rig.Title();
    ASSERT_EQ(plain.rfind("Veltora - demo scene", 0), 0u) << plain;
    const demo::KnownAngle* corner = UpwardCorner(rig.h);
    ASSERT_NE(corner, nullptr) << "no corner of the scene to point at";
    const device::PointD v = OnScreen(rig.h, *corner);
    SDL_WarpMouseInWindow(rig.sdlWindow, static_cast<int>(v.x) + 3, static_cast<int>(v.y) - 3);
    rig.Settle();
    // With the finger down the search has nothing to do but say so, in the title.
    rig.Mouse(SDL_MOUSEBUTTONDOWN, 0, 20, 460);
    rig.Settle();
    rig.Key(SDLK_c);
    ASSERT_TRUE(
        rig.WaitFor([&] { return rig.Title() != plain && rig.Title().find("demo scene") == std::string::npos; }, 30))
        << rig.Title();
    rig.Mouse(SDL_MOUSEBUTTONUP, 0, 20, 460);
    rig.Settle();
    rig.Key(SDLK_c);
    // The reading takes the notice's place in the title.
    EXPECT_TRUE(rig.WaitFor([&] { return rig.Title().find("deg +/-") != std::string::npos; }, 30)) << rig.Title();
    EXPECT_EQ(rig.Title().find("lift it first"), std::string::npos) << rig.Title();
}

TEST(WindowCorner, ANoticeAtTheTopLeavesTheReadoutAndTheButtonsToBeRead)
{
    // A picture of fine noise: C finds no corner there and says so at the top of the view.
    testing_support::InFolder folder;
    testing_support::WritePicture(folder.Dir().File("noise.png"), 800, 480, 11);
    testing_support::WindowRig rig(testing_support::WindowRig::One(),
                                   testing_support::Photo(folder.Dir().File("noise.png")));
    SKIP_WITHOUT_WINDOW(rig);
    auto form = rig.h.Inspect();
    const struct {
        SDL_Keycode key;
        int turns, layout, width, height;
    } holdings[] = {{SDLK_1, 0, 2, 800, 480}, {SDLK_2, 1, 0, 480, 800}};
    for (const auto& hold : holdings) {
        SCOPED_TRACE(hold.turns);
        rig.Key(hold.key);
        rig.Settle();
        ASSERT_TRUE(rig.TurnedTo(hold.width, hold.height));
        ASSERT_TRUE(rig.WaitFor([&] { return form.orientation == hold.layout; }));
        SDL_WarpMouseInWindow(rig.sdlWindow, hold.width / 2 + 37, hold.height / 2 + 41);
        rig.Settle();
        rig.Key(SDLK_c);
        const instrument::ControlPlaces c = instrument::ControlsOf(hold.layout);
        std::string why;
        // Shown: the view's top differs from the screen; the readout and both buttons do not.
        EXPECT_TRUE(rig.WaitFor(
            [&] {
                const testing_support::Image shown = rig.Shown(), screen = rig.ScreenTurned(hold.turns);
                if (testing_support::Differing(testing_support::Crop(shown, 0, 0, hold.width, hold.height / 3),
                                               testing_support::Crop(screen, 0, 0, hold.width, hold.height / 3)) <
                    500) {
                    why = "no notice at the top";
                    return false;
                }
                for (const instrument::ScreenRect& r : {c.readout, c.hold, c.infoPress}) {
                    const device::PointD a = sdl::detail::ScreenToView({r.x0, r.y0}, 800, 480, hold.turns);
                    const device::PointD b = sdl::detail::ScreenToView({r.x1, r.y1}, 800, 480, hold.turns);
                    const int x0 = static_cast<int>(std::min(a.x, b.x)), y0 = static_cast<int>(std::min(a.y, b.y));
                    const int w = static_cast<int>(std::abs(b.x - a.x)), h = static_cast<int>(std::abs(b.y - a.y));
                    if (testing_support::Differing(testing_support::Crop(shown, x0, y0, w, h),
                                                   testing_support::Crop(screen, x0, y0, w, h), 0) != 0) {
                        why = "the notice covers " + std::to_string(x0) + "," + std::to_string(y0);
                        return false;
                    }
                }
                return true;
            },
            10))
            << why << " (" << rig.Title() << ")";
        rig.Key(SDLK_h); // any key: the notice may stay, the next holding shows its own
        rig.Key(SDLK_h);
        rig.Settle();
    }
}

// The title shows plain letters only: a refusal that names degrees names them so too, as a
// reading does; the notice on the screen keeps the degree sign.
TEST(WindowCorner, TheTitleSaysARefusalsDegreesInPlainLetters)
{
    instrument::Reading bent;
    bent.refused = "no corner read at (17, 339): this edge bends: 2.8\u00b0 between its halves";
    const std::string title = instrument::Words(bent, true);
    EXPECT_EQ(title, "no corner read at (17, 339): this edge bends: 2.8 deg between its halves");
    EXPECT_TRUE(std::all_of(title.begin(), title.end(), [](char c) { return c > 0 && c < 127; })) << title;
    EXPECT_EQ(instrument::Words(bent), bent.refused);
    instrument::Reading read;
    read.angle = "91.2";
    read.uncertainty = 0.6;
    EXPECT_EQ(instrument::Words(read, true),
              "91.2 deg +/- 0.6 deg: the picture fixes this angle only to 0.6 deg, not to a tenth");
}
