// The readout checked against geometry worked out here from scratch: seeded random drags in
// every holding of the phone, each angle computed with atan2, shown as the digits on screen.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/Harness.h"
#include "support/ShownReadout.h"

using testing_support::Harness;

namespace {

struct Dial {
    double cx, cy; // where angles are measured from
    bool round; // the full circle, with the right-half rule and the other side
    int measureX, measureY; // a point well inside the measuring pin's zone
    int originX, originY; // a point well inside the origin pin's ring
};

const Dial kHalf{400, 480, false, 400, 400, 152, 337};
const Dial kRound{400, 240, true, 400, 200, 584, 240};

// The pin's angle for a finger at (x, y): the half dial counts from the left, up to 180 on the
// right; the round dial counts clockwise from straight down, once round.
double PinAngle(const Dial& d, int x, int y)
{
    const double dx = x - d.cx, dy = y - d.cy;
    const double pi = std::acos(-1.0);
    if (!d.round) {
        return std::atan2(-dy, -dx) * 180 / pi; // the finger is always above the bottom edge
    }
    double a = std::atan2(-dx, dy) * 180 / pi; // clockwise from down: left of centre is positive
    if (a < 0) {
        a += 360;
    }
    if (x >= 400 && a == 0) {
        a = 360; // straight down counts as the right half
    }
    return a;
}

// The angle between the pins in tenths as the readout shows it, or -1 where the exact value
// lies so close to a tenth that rounding in either computation could fairly tip it.
int ExpectedTenths(const Dial& d, double pin, double origin)
{
    double between = std::fabs(pin - origin);
    if (d.round && between > 360 - between) {
        between = 360 - between;
    }
    const double tenths = between * 10;
    if (std::fabs(tenths - std::round(tenths)) < 1e-6 && std::round(tenths) != 0) {
        return -1;
    }
    return static_cast<int>(tenths + 1e-9);
}

} // namespace

TEST(Geometry, RandomDragsReadWhatAtan2SaysInEveryHolding)
{
    struct Holding {
        int code;
        float pitch;
        const Dial& dial;
    };
    const Holding holdings[] = {{0, 0.0f, kRound}, {1, 180.0f, kRound}, {2, -90.0f, kHalf}, {3, 90.0f, kHalf}};
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> xs(0, 799), ys(0, 479);

    Harness h;
    auto f = h.Inspect();
    int checked = 0, rightHalf = 0, overHalfTurn = 0;
    for (const Holding& hold : holdings) {
        h.Tilt(hold.pitch);
        ASSERT_EQ(f.orientation, hold.code);
        const Dial& d = hold.dial;
        for (int i = 0; i < 80; i++) {
            int px = xs(random), py = ys(random), ox = xs(random), oy = ys(random);
            if ((px == d.cx && py == d.cy) || (ox == d.cx && oy == d.cy)) {
                continue; // no direction at the centre itself
            }
            // Each pin is taken by a first move inside its zone (a finger that does not move is no
            // move), then follows the finger anywhere.
            h.Press(d.measureX + 1, d.measureY);
            h.MoveTo(d.measureX, d.measureY);
            h.MoveTo(px, py);
            h.Release(px, py);
            h.Press(d.originX + 1, d.originY);
            h.MoveTo(d.originX, d.originY);
            h.MoveTo(ox, oy);
            h.Release(ox, oy);
            h.Frames(1);

            const double pin = PinAngle(d, px, py), origin = PinAngle(d, ox, oy);
            const int want = ExpectedTenths(d, pin, origin);
            if (want < 0) {
                continue;
            }
            std::ostringstream where;
            where << "code " << hold.code << ", measuring finger at (" << px << ", " << py << "), origin finger at ("
                  << ox << ", " << oy << "): pins " << pin << " and " << origin;
            const readings::Readout shown = testing_support::ShownReadout(h.Screen().ShownCanvas());
            EXPECT_EQ(readings::Tenths(shown.angle), want) << where.str();
            if (d.round) {
                EXPECT_EQ(readings::Tenths(shown.otherSide), 3600 - want) << where.str();
                rightHalf += (px > 399) + (ox > 399);
                overHalfTurn += pin > 180;
            } else {
                EXPECT_EQ(readings::Tenths(shown.otherSide), -1)
                    << "the half dial shows no other side; " << where.str();
            }
            checked++;
        }
    }
    // The draw must have exercised what it claims to: most samples checked, both halves of the round dial.
    EXPECT_GT(checked, 300);
    EXPECT_GT(rightHalf, 100);
    EXPECT_GT(overHalfTurn, 50);
}
