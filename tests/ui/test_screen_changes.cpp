// The screen kept up to date by its changes alone, as the window keeps its picture: after
// any run of frames, touches, holding and the help page it matches a whole composition.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "backends/demo/DemoScene.h"
#include "support/Harness.h"

using testing_support::Harness;

namespace {

constexpr std::uint32_t kPoison = 0x00ABCDEFu;

// A buffer outside the display, like the window's texture.
struct Kept {
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(800 * 480, kPoison);
    device::PixelRect changed;
    bool Update(device::Display& display, bool holdsLast)
    {
        return display.ComposeChangesInto({pixels.data(), display.Width(), display.Height(), display.Width() * 4},
                                          holdsLast, changed);
    }
    // Compared with the screen composed whole, now.
    bool MatchesTheScreen(device::Display& display) const
    {
        const device::PixelView whole = display.Compose();
        for (int y = 0; y < whole.height; y++) {
            for (int x = 0; x < whole.width; x++) {
                if (pixels[std::size_t(y) * whole.width + x] != whole.Row(y)[x]) {
                    ADD_FAILURE() << "the kept picture differs at " << x << "," << y;
                    return false;
                }
            }
        }
        return true;
    }
};

// The application live in landscape on the demo scene, its screen drawn once into `kept`.
class ScreenChanges : public testing::Test {
protected:
    void SetUp() override
    {
        h.Tilt(-90.0f);
        h.Frames(2);
        ASSERT_TRUE(kept.Update(display, false));
    }
    Harness h;
    device::Display& display = h.Device().GetDisplay();
    Kept kept;
};

} // namespace

TEST_F(ScreenChanges, LiveFramesDrawOnlyWhereTheCameraChangedAndMatchAWholeScreen)
{
    EXPECT_EQ(kept.changed, (device::PixelRect{0, 0, 800, 480}));
    ASSERT_TRUE(kept.MatchesTheScreen(display));
    // Nothing happened since: nothing to draw, even when asked again.
    ASSERT_TRUE(kept.Update(display, true));
    EXPECT_TRUE(kept.changed.Empty());

    // The watch beats eight times a second and the camera gives fifteen frames: some frames
    // change the watch alone, the others nothing at all (and the screen's version stays).
    const demo::DemoScene::Rect watch = demo::DemoScene::MovingArea();
    int changedFrames = 0, stillFrames = 0;
    for (int i = 0; i < 30; i++) {
        const auto version = display.Version();
        h.Frames(1);
        ASSERT_TRUE(kept.Update(display, true));
        if (kept.changed.Empty()) {
            stillFrames++;
            EXPECT_EQ(display.Version(), version) << "frame " << i;
            continue;
        }
        changedFrames++;
        EXPECT_NE(display.Version(), version) << "frame " << i;
        EXPECT_GE(kept.changed.x, watch.x - 4);
        EXPECT_GE(kept.changed.y, watch.y - 4);
        EXPECT_LE(kept.changed.x + kept.changed.width, watch.x + watch.width + 4);
        EXPECT_LE(kept.changed.y + kept.changed.height, watch.y + watch.height + 4);
        ASSERT_TRUE(kept.MatchesTheScreen(display)) << "frame " << i;
    }
    EXPECT_GE(changedFrames, 12);
    EXPECT_GE(stillFrames, 10);
    ASSERT_TRUE(kept.MatchesTheScreen(display));
}

TEST_F(ScreenChanges, TouchesHoldingAndTheHelpPageRedrawTheWholeScreen)
{
    // A needle moved: the canvas changed, so the whole screen is drawn again.
    h.Drag(400, 400, 300, 350);
    h.Frames(1);
    ASSERT_TRUE(kept.Update(display, true));
    EXPECT_EQ(kept.changed, (device::PixelRect{0, 0, 800, 480}));
    ASSERT_TRUE(kept.MatchesTheScreen(display));

    // Held: the picture stands and frames stop, so nothing more changes.
    h.Tap(753, 48);
    h.Frames(1);
    ASSERT_TRUE(kept.Update(display, true));
    ASSERT_TRUE(kept.MatchesTheScreen(display));
    h.RunMs(500);
    ASSERT_TRUE(kept.Update(display, true));
    EXPECT_TRUE(kept.changed.Empty());
    // A needle moved over the held picture, then the help page and back to a live picture.
    h.Drag(400, 420, 450, 400);
    ASSERT_TRUE(kept.Update(display, true));
    EXPECT_FALSE(kept.changed.Empty());
    ASSERT_TRUE(kept.MatchesTheScreen(display));
    // The help page turns the screen to portrait: a landscape buffer is refused, and a
    // buffer of the new shape is drawn whole.
    h.Tap(753, 48);
    h.Tap(40, 115);
    h.RunMs(300);
    ASSERT_EQ(display.Width(), 480);
    EXPECT_FALSE(display.ComposeChangesInto({kept.pixels.data(), 800, 480, 800 * 4}, true, kept.changed));
    ASSERT_TRUE(kept.Update(display, false));
    EXPECT_EQ(kept.changed, (device::PixelRect{0, 0, 480, 800}));
    ASSERT_TRUE(kept.MatchesTheScreen(display));
    // Back to the live picture, in landscape again.
    h.Tap(400, 32);
    h.RunMs(200);
    ASSERT_EQ(display.Width(), 800);
    ASSERT_TRUE(kept.Update(display, false));
    for (int i = 0; i < 8; i++) {
        h.Frames(1);
        ASSERT_TRUE(kept.Update(display, true));
        ASSERT_TRUE(kept.MatchesTheScreen(display));
    }
}

TEST_F(ScreenChanges, ANeedleSweptOverTheBeatingWatchIsKeptWhereverTheWatchIsRedrawn)
{
    // The half dial turns its needles about the middle of the bottom edge; the watch lies up
    // to its left, well within a needle's length. A needle is swept across the watch a few
    // degrees between live frames, then left lying over it while the watch beats under it:
    // where the camera's change is drawn, the needle must be drawn over it again.
    const demo::DemoScene::Rect watch = demo::DemoScene::MovingArea();
    const double hubX = 400, hubY = 480;
    const double toWatch = std::atan2(watch.y + watch.height / 2 - hubY, watch.x + watch.width / 2 - hubX);
    const auto finger = [&](double degrees, int& x, int& y) {
        const double a = toWatch + degrees * std::numbers::pi / 180.0;
        x = static_cast<int>(std::lround(hubX + 250 * std::cos(a)));
        y = static_cast<int>(std::lround(hubY + 250 * std::sin(a)));
    };
    int x = 0, y = 0;
    h.Press(370, 457);
    int watchBeats = 0;
    const auto frame = [&](const char* when, int step) {
        const auto version = display.Version();
        h.Frames(1);
        ASSERT_TRUE(kept.Update(display, true));
        ASSERT_TRUE(kept.MatchesTheScreen(display)) << when << " " << step;
        watchBeats += display.Version() != version && kept.changed != device::PixelRect{0, 0, 800, 480};
    };
    for (int step = -12; step <= 12; step += 2) {
        finger(step, x, y);
        h.MoveTo(x, y);
        frame("swept, step", step);
        if (HasFatalFailure()) {
            return;
        }
    }
    finger(0, x, y);
    h.MoveTo(x, y);
    for (int i = 0; i < 24; i++) {
        frame("lying over the watch, frame", i);
        if (HasFatalFailure()) {
            return;
        }
    }
    h.Release(x, y);
    // The watch did beat under the needle lying still: those frames drew its change alone.
    EXPECT_GE(watchBeats, 8);
}
