// The instrument keeps its own copy of the application's geometry (the tilt bands, the hubs, the
// centre a finger is measured from, which needle a press takes, the buttons' boxes); here the
// real application runs on the headless device and every number of the copy is held against it.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "instrument/Dial.h"
#include "instrument/LayoutShown.h"
#include "support/Harness.h"

using instrument::Dial;
using instrument::Needle;
using testing_support::Harness;

namespace {

constexpr float kBandCentre[] = {0.0f, 180.0f, -90.0f, 90.0f}; // of layouts 0..3
// The help page's back button, on the portrait screen.
constexpr int kBackX = 400, kBackY = 32;

// The pitches on both sides of every band's edges, and some no band holds.
const float kEdgePitches[] = {-180.0f,
                              -179.99f,
                              -170.01f,
                              -170.0f,
                              -169.99f,
                              -100.01f,
                              -100.0f,
                              -99.99f,
                              -80.01f,
                              -80.0f,
                              -79.99f,
                              -10.0f,
                              -9.99f,
                              0.0f,
                              9.99f,
                              10.0f,
                              10.01f,
                              79.99f,
                              80.0f,
                              80.01f,
                              99.99f,
                              100.0f,
                              100.01f,
                              169.99f,
                              170.0f,
                              170.01f,
                              180.0f,
                              180.01f,
                              45.0f,
                              std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity()};

// The draw of the pin named, as "file@x,y/px,py:angle".
std::string DrawOf(Harness& h, const std::string& file)
{
    for (const std::string& d : h.ShownDraws()) {
        if (d.rfind(file + "@", 0) == 0) {
            return d;
        }
    }
    return "";
}

// Where a pixel of the landscape screen holds a continuous point.
std::string PixelOf(device::PointD p)
{
    return std::to_string(int(std::floor(p.x))) + "," + std::to_string(int(std::floor(p.y)));
}

} // namespace

TEST(DialContract, EveryTiltBandEdgeChoosesTheLayoutTheApplicationChooses)
{
    Harness h;
    auto f = h.Inspect();
    instrument::LayoutShown shown(h.Device().Tilt());
    for (int from = 0; from < 4; from++) {
        for (const float pitch : kEdgePitches) {
            SCOPED_TRACE(testing::Message() << "from " << from << " at " << pitch);
            if (f.orientation != from) {
                h.Tilt(kBandCentre[from]);
            }
            ASSERT_EQ(f.orientation, from);
            ASSERT_EQ(shown.Layout(), from);
            h.Tilt(pitch);
            EXPECT_EQ(instrument::LayoutForPitch(pitch, from), f.orientation);
            EXPECT_EQ(shown.Layout(), f.orientation);
        }
    }
}

TEST(DialContract, TheNeedlesTurnAboutTheHubOfTheDialShown)
{
    Harness h;
    h.Tilt(-90);
    h.Frames(1);
    const std::string half = DrawOf(h, "landscape_pin.png");
    EXPECT_EQ(half.substr(0, half.find('/')), "landscape_pin.png@" + PixelOf(instrument::HubOf(Dial::Half)));
    h.Tilt(0);
    h.Frames(1);
    const std::string round = DrawOf(h, "portrait_pin.png");
    EXPECT_EQ(round.substr(0, round.find('/')), "portrait_pin.png@" + PixelOf(instrument::HubOf(Dial::Round)));
}

TEST(DialContract, APressTakesTheNeedleTheModelSaysAndTurnsItToTheModelsAngle)
{
    // Out from the measuring centre at a slant, at the edges of each needle's band: the press
    // takes the needle the model names (or none), and a move turns it to AngleAt's angle.
    for (const Dial dial : {Dial::Half, Dial::Round}) {
        const instrument::DialShape& s = instrument::ShapeOf(dial);
        const instrument::Grab g = instrument::GrabOf(dial);
        for (const double distance : {g.measuringBelow - 2, g.measuringBelow + 1, g.originAbove - 1, g.originAbove + 2,
                                      g.originBelow - 2, g.originBelow + 1}) {
            SCOPED_TRACE(testing::Message() << (dial == Dial::Half ? "half" : "round") << " at " << distance);
            Harness h;
            auto f = h.Inspect();
            h.Tilt(dial == Dial::Half ? -90.0f : 0.0f);
            // Up and to the left, so both dials measure it; whole touch pixels.
            const double u = std::sqrt(0.5);
            const int x = int(std::lround(s.centre.x - distance * u)), y = int(std::lround(s.centre.y - distance * u));
            const double reach = std::hypot(x - s.centre.x, y - s.centre.y);
            Needle expected = Needle::Measuring;
            const bool takes = instrument::NeedleAt(dial, reach, expected);
            const double before[2] = {dial == Dial::Half ? f.landscapePin : f.portraitPin,
                                      dial == Dial::Half ? f.landscapeOrigin : f.portraitOrigin};
            h.Press(x, y);
            h.MoveTo(x, y - 1);
            const double after[2] = {dial == Dial::Half ? f.landscapePin : f.portraitPin,
                                     dial == Dial::Half ? f.landscapeOrigin : f.portraitOrigin};
            h.Release(x, y - 1);
            const int moved = after[0] != before[0] ? 0 : after[1] != before[1] ? 1 : -1;
            if (!takes) {
                EXPECT_EQ(moved, -1);
                continue;
            }
            ASSERT_EQ(moved, expected == Needle::Origin ? 1 : 0);
            EXPECT_NEAR(after[moved], instrument::AngleAt(dial, x, y - 1), 1e-9);
        }
    }
}

TEST(DialContract, EachLayoutsButtonsWorkInsideTheirBoxesAndNotJustOutside)
{
    for (int layout = 0; layout < 4; layout++) {
        SCOPED_TRACE(testing::Message() << "layout " << layout);
        const instrument::ControlPlaces c = instrument::ControlsOf(layout);
        Harness h;
        auto f = h.Inspect();
        h.Tilt(kBandCentre[layout]);
        ASSERT_EQ(f.orientation, layout);
        // The drawn hold button lies over the box a press works.
        EXPECT_TRUE(c.hold.Meets(c.holdPress));
        // Each box's first and last pixels either way work it (a second press lets go), and the
        // pixels just beyond its four sides do nothing.
        for (const instrument::ScreenRect box : {c.holdPress, c.infoPress}) {
            const bool isHold = box.x0 == c.holdPress.x0 && box.y0 == c.holdPress.y0;
            const int x0 = int(box.x0), y0 = int(box.y0), x1 = int(box.x1) - 1, y1 = int(box.y1) - 1;
            for (const auto& p : {std::pair{x0 - 1, y0 + 5}, std::pair{x1 + 1, y0 + 5}, std::pair{x0 + 5, y0 - 1},
                                  std::pair{x0 + 5, y1 + 1}}) {
                SCOPED_TRACE(testing::Message()
                             << "beside " << (isHold ? "hold" : "info") << " at " << p.first << "," << p.second);
                h.Tap(p.first, p.second);
                h.Frames(1);
                EXPECT_FALSE(f.holdOn || f.info);
            }
            for (const auto& p : {std::pair{x0, y0}, std::pair{x1, y1}}) {
                SCOPED_TRACE(testing::Message() << (isHold ? "hold" : "info") << " at " << p.first << "," << p.second);
                h.Tap(p.first, p.second);
                h.Frames(1);
                if (isHold) {
                    EXPECT_TRUE(f.holdOn);
                    h.Tap(p.first, p.second);
                    h.Frames(1);
                    EXPECT_FALSE(f.holdOn);
                } else {
                    EXPECT_TRUE(f.info);
                    h.Tap(kBackX, kBackY);
                    h.Frames(1);
                    EXPECT_FALSE(f.info);
                }
            }
        }
    }
}
