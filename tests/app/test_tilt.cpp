// The tilt sensor choosing the layout: every band's edges, readings in no band or not
// numbers at all, the first reading, readings while held, and each code's layout.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/Harness.h"

using namespace Osp::Graphics;
using testing_support::Harness;

namespace {

constexpr int kNoChange = -1;

// The code after one reading of `pitch`, starting from `from` (laid out for it).
int CodeAfter(Harness& h, int from, float pitch)
{
    const float start[] = {0.0f, 180.0f, -90.0f, 90.0f};
    h.Tilt(start[from]);
    auto f = h.Inspect();
    EXPECT_EQ(f.orientation, from);
    h.Tilt(pitch);
    return f.orientation == from ? kNoChange : f.orientation;
}

struct Layout {
    bool landscapeLabel, portraitLabel, landscapeHold, portraitHold;
    Point hold; // of the hold button shown
    Point info;
};

Layout Read(MainFormInspector& f)
{
    const bool landscapeHold = f.landscapeHoldButton->GetShowState();
    return {f.landscapeLabel->GetShowState(),
            f.portraitLabel->GetShowState(),
            landscapeHold,
            f.portraitHoldButton->GetShowState(),
            landscapeHold ? f.landscapeHoldButton->GetPosition() : f.portraitHoldButton->GetPosition(),
            f.infoButton->GetPosition()};
}

void ExpectLayout(const Layout& got, const Layout& want, const char* what)
{
    EXPECT_EQ(got.landscapeLabel, want.landscapeLabel) << what;
    EXPECT_EQ(got.portraitLabel, want.portraitLabel) << what;
    EXPECT_EQ(got.landscapeHold, want.landscapeHold) << what;
    EXPECT_EQ(got.portraitHold, want.portraitHold) << what;
    EXPECT_EQ(got.hold, want.hold) << what << " hold at " << got.hold.x << "," << got.hold.y;
    EXPECT_EQ(got.info, want.info) << what << " info at " << got.info.x << "," << got.info.y;
}

const Layout kLayouts[4] = {
    {false, true, false, true, Point(15, 15), Point(90, 415)},
    {false, true, false, true, Point(721, 399), Point(660, 15)},
    {true, false, true, false, Point(721, 15), Point(15, 90)},
    {true, false, true, false, Point(15, 15), Point(735, 90)},
};

} // namespace

TEST(Tilt, BandEdgesBelongToNoBandExceptZeroAndMinusOneEighty)
{
    Harness h;
    struct Case {
        int from;
        float pitch;
        int code;
    };
    const Case cases[] = {
        // Portrait up: open band from -10 to 10, 0 inside.
        {2, -10.0f, kNoChange},
        {2, -9.99f, 0},
        {2, 0.0f, 0},
        {2, 9.99f, 0},
        {2, 10.0f, kNoChange},
        // Landscape left: open band from -100 to -80.
        {0, -80.0f, kNoChange},
        {0, -80.01f, 2},
        {0, -99.99f, 2},
        {0, -100.0f, kNoChange},
        // Landscape right: open band from 80 to 100.
        {0, 80.0f, kNoChange},
        {0, 80.01f, 3},
        {0, 99.99f, 3},
        {0, 100.0f, kNoChange},
        // Portrait reverse: -180 (included) to -170, and 170 to 180 (included).
        {2, -180.0f, 1},
        {2, -170.0f, kNoChange},
        {2, -170.01f, 1},
        {2, 170.0f, kNoChange},
        {2, 170.01f, 1},
        {2, 180.0f, 1},
        // Between the bands.
        {2, 45.0f, kNoChange},
        {3, -45.0f, kNoChange},
        {0, 135.0f, kNoChange},
        {2, -135.0f, kNoChange},
        // Beyond any phone, and not numbers at all.
        {2, 180.01f, kNoChange},
        {2, -180.01f, kNoChange},
        {0, 720.0f, kNoChange},
        {0, -1e30f, kNoChange},
        {2, std::numeric_limits<float>::quiet_NaN(), kNoChange},
        {3, std::numeric_limits<float>::infinity(), kNoChange},
        {1, -std::numeric_limits<float>::infinity(), kNoChange},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CodeAfter(h, c.from, c.pitch), c.code) << "from " << c.from << " pitch " << c.pitch;
    }
}

TEST(Tilt, TheFirstReadingLaysOutEvenInNoBand)
{
    Harness h;
    auto f = h.Inspect();
    // Before any reading: both hold buttons shown, the start rectangles.
    EXPECT_TRUE(f.landscapeHoldButton->GetShowState());
    EXPECT_TRUE(f.portraitHoldButton->GetShowState());
    EXPECT_EQ(f.landscapeHoldButton->GetPosition(), Point(682, 15));
    h.Tilt(45.0f);
    EXPECT_EQ(f.orientation, LANDSCAPE_LEFT);
    EXPECT_EQ(f.oldOrientation, LANDSCAPE_LEFT);
    ExpectLayout(Read(f), kLayouts[2], "first reading in no band");
}

TEST(Tilt, EachCodeHasItsLayoutAndTheSameBandRelaysNothing)
{
    Harness h;
    auto f = h.Inspect();
    const float pitch[] = {0.0f, 180.0f, -90.0f, 90.0f};
    for (int code : {0, 3, 1, 2, 0, 2, 3}) {
        h.Tilt(pitch[code]);
        ASSERT_EQ(f.orientation, code);
        ExpectLayout(Read(f), kLayouts[code], ("code " + std::to_string(code)).c_str());
    }
    h.Trace().Clear();
    h.Tilt(85.0f); // still code 3
    EXPECT_EQ(h.Trace().Count("Control::SetPosition"), 0);
    EXPECT_EQ(h.Trace().Count("Control::SetShowState"), 0);
}

TEST(Tilt, ReadingsAreIgnoredWhileHeldAndComparedWithTheOldCodeAfter)
{
    Harness h;
    auto f = h.Inspect();
    h.Tilt(-90);
    h.Tap(753, 48); // hold
    h.Frames(1);
    ASSERT_TRUE(f.holdOn);
    h.Trace().Clear();
    h.Tilt(0);
    h.Tilt(90);
    EXPECT_EQ(f.orientation, LANDSCAPE_LEFT);
    EXPECT_EQ(f.oldOrientation, LANDSCAPE_LEFT);
    EXPECT_EQ(h.Trace().Count("Control::SetPosition"), 0);
    // Released while the phone is held the other way: the next reading re-lays.
    h.Tap(753, 48);
    ASSERT_FALSE(f.holdOn);
    h.Tilt(90);
    EXPECT_EQ(f.orientation, LANDSCAPE_RIGHT);
    ExpectLayout(Read(f), kLayouts[3], "after release");
}

TEST(Tilt, ReadingsGoOnWhileThePageIsShown)
{
    Harness h;
    auto f = h.Inspect();
    h.Tilt(-90);
    h.Tap(40, 115);
    h.Frames(1);
    ASSERT_TRUE(f.infoPanel->GetShowState());
    h.Tilt(0);
    EXPECT_EQ(f.orientation, PORTRAIT_UP);
    ExpectLayout(Read(f), kLayouts[0], "laid out under the page");
}
