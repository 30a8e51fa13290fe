// When the finder may not read what lies under the point: where an edge runs on through a corner
// (a T), the point on it means neither corner; an edge that goes on turning past the stretch read
// makes the reading's doubt wider; an arm ends where its object's edge gives way to another's; a
// far clearer corner is read before a faint one beside it; an arm that turns near its corner, or a
// short one that turns a little, has the turn in its doubt; an edge laid from the hub is the one
// under the point, and holds its turn farther on in its doubt.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "device/Aiming.h"
#include "device/Geometry.h"
#include "instrument/EdgeFinder.h"

namespace {

using device::kPi;

constexpr int kWidth = 400, kHeight = 300;

// A picture whose grey level at a point is `shade`'s, drawn four by four within each pixel so its
// edges lie to a fraction of a pixel.
std::vector<std::uint32_t> Draw(const std::function<int(double, double)>& shade)
{
    std::vector<std::uint32_t> pixels(std::size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; y++) {
        for (int x = 0; x < kWidth; x++) {
            int sum = 0;
            for (int k = 0; k < 16; k++) {
                sum += shade(x + (k % 4 + 0.5) / 4, y + (k / 4 + 0.5) / 4);
            }
            const auto g = static_cast<std::uint32_t>(sum / 16);
            pixels[std::size_t(y) * kWidth + x] = 0xff000000u | g << 16 | g << 8 | g;
        }
    }
    return pixels;
}

instrument::CornerLook Look(std::vector<std::uint32_t> pixels, device::PointD at, double radius, double within)
{
    const device::PixelView view{pixels.data(), kWidth, kHeight, kWidth * 4};
    const instrument::Search search{at, radius, within};
    return instrument::LookForCorner(instrument::CutPart(view, {at, std::max(radius, 120.0)}), search);
}

double Opening(const instrument::Corner& k)
{
    return std::acos(std::clamp(k.arm1.x * k.arm2.x + k.arm1.y * k.arm2.y, -1.0, 1.0)) * 180 / kPi;
}

} // namespace

// A wall (light) and a door (dark) above a floor (mid grey): the floor's edge runs on under both,
// the door's side stops on it. Each corner is read from inside it; from the floor's edge beside
// the door, or at the very meeting point, neither is.
TEST(EdgesTrust, APointOnAnEdgeThatRunsOnPastAStopMeansNeitherCorner)
{
    const double stopX = 200, floorY = 150;
    const auto pixels = Draw([&](double x, double y) { return y >= floorY ? 120 : x < stopX ? 200 : 40; });
    for (const device::PointD inside : {device::PointD{196, 146}, device::PointD{204, 146}}) {
        const instrument::CornerLook look = Look(pixels, inside, 120, 12);
        ASSERT_TRUE(look.corner) << "from " << inside.x << ": why " << int(look.why);
        EXPECT_NEAR(Opening(*look.corner), 90.0, 0.1 + look.corner->uncertainty);
        EXPECT_NEAR(look.corner->vertex.x, stopX, 0.6);
        EXPECT_NEAR(look.corner->vertex.y, floorY, 0.6);
    }
    for (const device::PointD on : {device::PointD{195, floorY}, device::PointD{205.5, floorY - 0.3}}) {
        const instrument::CornerLook look = Look(pixels, on, 120, 12);
        EXPECT_FALSE(look.corner) << "from " << on.x << ": read " << Opening(*look.corner);
        EXPECT_EQ(look.why, instrument::Why::Two) << "from " << on.x;
    }
    // Far enough along the floor's edge from the door, it is only an edge: no corner is there.
    const instrument::CornerLook along = Look(pixels, {150, floorY}, 120, 12);
    EXPECT_FALSE(along.corner);
    EXPECT_NE(along.why, instrument::Why::Two);
}

// The same where only one corner of the T is a corner: the wall is lighter than the door and
// the floor, but the door lies between them in grey, so its side and the floor make no corner.
// From the floor's edge beside the door the edge is seen to run on, and the wall's corner is not
// read; from inside it, it is. At an L's corner, where nothing runs on, a point on an edge beside
// the meeting point reads the corner.
TEST(EdgesTrust, AnEdgeSeenToRunOnPastTheOnlyCornerMeansItNeither)
{
    const double stopX = 200, floorY = 150;
    const auto tee = Draw([&](double x, double y) { return y >= floorY ? 40 : x < stopX ? 200 : 120; });
    const instrument::CornerLook on = Look(tee, {195, floorY}, 120, 12);
    EXPECT_FALSE(on.corner) << "read " << Opening(*on.corner);
    EXPECT_EQ(on.why, instrument::Why::Two);
    const instrument::CornerLook inside = Look(tee, {196, 146}, 120, 12);
    ASSERT_TRUE(inside.corner) << "why " << int(inside.why);
    EXPECT_NEAR(Opening(*inside.corner), 90.0, 0.1 + inside.corner->uncertainty);

    const auto ell = Draw([&](double x, double y) { return y >= floorY || x >= stopX ? 40 : 200; });
    const instrument::CornerLook beside = Look(ell, {195, floorY}, 120, 12);
    ASSERT_TRUE(beside.corner) << "why " << int(beside.why);
    EXPECT_NEAR(Opening(*beside.corner), 90.0, 0.1 + beside.corner->uncertainty);
}

// A dark block whose top edge runs straight for a while, then turns down by 3 degrees. Read over
// its straight stretch only, the corner would claim a tenth; the turn beyond is doubt about which
// stretch is the corner's edge, and the reading says so. Zoomed in (a short reach), the arm is
// read on past the reach for the same reason. The same block with a straight edge claims a tenth.
TEST(EdgesTrust, AnEdgeThatGoesOnTurningWidensTheDoubtOfItsCorner)
{
    const double vx = 100.3, vy = 100.6, straight = 60, turnDeg = 3;
    const double slope = std::tan(turnDeg * kPi / 180);
    const auto block = [&](bool turns) {
        return Draw([=](double x, double y) {
            const double dx = x - vx;
            const double top = vy + (turns && dx > straight ? slope * (dx - straight) : 0.0);
            return dx >= 0 && y >= top ? 50 : 190;
        });
    };
    const auto straightBlock = block(false), turningBlock = block(true);
    const device::PointD at{vx + 2, vy + 2};
    for (const double reach : {120.0, 40.0}) {
        const instrument::CornerLook plain = Look(straightBlock, at, reach, reach / 10);
        ASSERT_TRUE(plain.corner) << "reach " << reach;
        EXPECT_NEAR(Opening(*plain.corner), 90.0, 0.05);
        EXPECT_LE(plain.corner->uncertainty, 0.1);

        const instrument::CornerLook turning = Look(turningBlock, at, reach, reach / 10);
        if (!turning.corner) {
            EXPECT_EQ(turning.why, instrument::Why::Bends) << "reach " << reach;
            continue;
        }
        // Near the corner the edge is square; all of it leans by up to the turn.
        EXPECT_NEAR(Opening(*turning.corner), 90.0, turning.corner->uncertainty);
        EXPECT_GE(turning.corner->uncertainty, 0.5) << "reach " << reach;
    }
}

// A dim block's corner whose left side, 24 pixels long, ends where another object's edge goes on
// in line with it but leaning 4 degrees: a rail much fainter than the block's side, or a clamp
// much steeper. The corner is the block's, read along its own side: square, not leaning.
TEST(EdgesTrust, AnArmEndsWhereItsObjectsEdgeGivesWayToAnothersInLine)
{
    const double vx = 200.3, vy = 150.6, side = 24, lean = std::tan(4 * kPi / 180);
    for (const int beyond : {30, 250}) {
        const auto pixels = Draw([=](double x, double y) {
            const double top = vy - side;
            if (y > vy) {
                return 0;
            }
            if (y >= top) {
                return x >= vx ? 60 : 20;
            }
            // Above the block: the other object's edge leans away from the block's side.
            return x >= vx - (top - y) * lean ? beyond : 20;
        });
        const instrument::CornerLook look = Look(pixels, {vx + 2, vy - 2}, 120, 12);
        ASSERT_TRUE(look.corner) << "beyond " << beyond << ": why " << int(look.why);
        EXPECT_NEAR(Opening(*look.corner), 90.0, 0.1 + look.corner->uncertainty) << "beyond " << beyond;
    }
}

// A dark bar's corner whose short side (22 px, too short to be read again over its nearer half)
// turns by a degree and a half halfway down: the side's angle depends on which half is meant, so
// the corner is read with that turn in its doubt, not told as a bend; turned by 6 degrees, it is.
TEST(EdgesTrust, AShortArmThatTurnsALittleHasTheTurnInItsDoubt)
{
    const double vx = 150.3, vy = 120.6, side = 22;
    for (const double turnDeg : {1.5, 6.0}) {
        const double lean = std::tan(turnDeg * kPi / 180);
        const auto pixels = Draw([=](double x, double y) {
            const double dy = y - vy, left = vx + (dy > side / 2 ? lean * (dy - side / 2) : 0.0);
            return dy >= 0 && dy <= side && x >= left ? 40 : 190;
        });
        const instrument::CornerLook look = Look(pixels, {vx + 3, vy + 3}, 120, 12);
        if (turnDeg > 2.5) {
            EXPECT_FALSE(look.corner) << "read " << Opening(*look.corner);
            EXPECT_EQ(look.why, instrument::Why::Bends);
            continue;
        }
        ASSERT_TRUE(look.corner) << "why " << int(look.why) << " bend " << look.bend;
        // The side's halves lie at 90 and 88.5 degrees from the top: the doubt holds both.
        EXPECT_NEAR(Opening(*look.corner), 90.0, 0.1 + look.corner->uncertainty);
        EXPECT_NEAR(Opening(*look.corner), 88.5, 0.1 + look.corner->uncertainty);
        EXPECT_GE(look.corner->uncertainty, 1.0);
    }
}

// A lit block's corner (120 degrees) whose upper edge turns by 3 degrees 30 px from the tip and
// runs on straight: the long edge fits its line tightly and leaves the stretch by the tip out, so
// only that stretch fitted on its own shows the turn. The reading holds it in its doubt.
TEST(EdgesTrust, AnArmThatTurnsNearItsCornerHasTheTurnInItsDoubt)
{
    const device::PointD a{200.3, 150.6};
    const double steep = std::sqrt(3.0), bent = std::tan(57 * kPi / 180), from = 15;
    const auto pixels = Draw([=](double x, double y) {
        const double dx = x - a.x, up = dx <= from ? steep * dx : steep * from + bent * (dx - from);
        return dx > 0 && y - a.y <= steep * dx && a.y - y <= up ? 200 : 55;
    });
    const instrument::CornerLook look = Look(pixels, {a.x + 4, a.y}, 120, 12);
    ASSERT_TRUE(look.corner) << "why " << int(look.why);
    EXPECT_NEAR(Opening(*look.corner), 117.0, 0.1 + look.corner->uncertainty);
    EXPECT_GE(look.corner->uncertainty, 1.0);
}

// A lit block's corner (120 degrees, opening right) and, 3 px along its lower edge, a shadow's
// faint corner under it, far fainter. A point just inside the shadow's corner fits it best, but
// the block's corner fits it nearly as well: the block's is the corner a user sees and is read.
// Where the block's upper edge bends too far to fix its angle, the shadow's is not read instead.
TEST(EdgesTrust, AFarClearerCornerBesideAFaintOneIsTheOneRead)
{
    const device::PointD a{200.3, 150.6}, b{a.x + 1.5, a.y + 1.5 * std::sqrt(3.0)};
    const double steep = std::sqrt(3.0);
    // The block's upper edge turns by `turnDeg` 40 pixels along from its corner.
    const auto draw = [=](double turnDeg) {
        const double bent = std::tan((60 + turnDeg) * kPi / 180), from = 20;
        return Draw([=](double x, double y) {
            const double dx = x - a.x, up = dx <= from ? steep * dx : steep * from + bent * (dx - from);
            if (dx > 0 && y - a.y <= steep * dx && a.y - y <= up) {
                return 200;
            }
            // Under the block's lower edge, the shadow lies between it and a faint line from b.
            return y > a.y + steep * (x - a.x) && y > b.y - steep * (x - b.x) ? 40 : 55;
        });
    };
    const device::PointD at = b + device::PointD{0, 1.5};
    const instrument::CornerLook look = Look(draw(0), at, 120, 12);
    ASSERT_TRUE(look.corner) << "why " << int(look.why);
    EXPECT_NEAR(Opening(*look.corner), 120.0, 0.1 + look.corner->uncertainty);
    const instrument::CornerLook spoiled = Look(draw(-6), at, 120, 12);
    EXPECT_FALSE(spoiled.corner) << "read " << Opening(*spoiled.corner);
    EXPECT_EQ(spoiled.why, instrument::Why::Bends);
}

namespace {

instrument::EdgeLook LookAlong(std::vector<std::uint32_t> pixels, device::PointD at, device::PointD hub)
{
    const device::PixelView view{pixels.data(), kWidth, kHeight, kWidth * 4};
    // As the finger looks at the screen's scale: reach 60, within 12, the line within 4 of the hub.
    const instrument::Search search{at, 60, 12};
    return instrument::LookForEdgeThrough(instrument::CutPart(view, {at, 120.0}), search, hub, 4);
}

} // namespace

// The edge read through the hub is the one under the point: a point on a block's flat face is
// told how far the nearest edge through the hub lies, not laid along it; a stitched seam, its
// stitches too short to be seen as lines, is read along the line from the hub through the point.
TEST(EdgesTrust, AnEdgeThroughTheHubIsReadUnderThePointOrTold)
{
    const device::PointD v{120.3, 220.6};
    const auto block = Draw([=](double x, double y) { return x > v.x && y < v.y ? 190 : 70; });
    // 20 pixels above the block's lower edge, on its face.
    const instrument::EdgeLook face = LookAlong(block, {v.x + 60, v.y - 20}, v);
    EXPECT_FALSE(face.edge);
    EXPECT_EQ(face.why, instrument::Why::Away);
    EXPECT_NEAR(face.away, 20, 1.5);
    // On the lower edge itself it is read.
    const instrument::EdgeLook edge = LookAlong(block, {v.x + 60, v.y - 1}, v);
    ASSERT_TRUE(edge.edge) << "why " << int(edge.why);
    EXPECT_NEAR(std::abs(edge.edge->direction.y), 0.0, 1e-3);

    // Stitches 4 pixels long and 4 apart, 3 wide, rising at 50 degrees from the hub.
    const double rise = 50 * kPi / 180;
    const device::PointD along{std::cos(rise), -std::sin(rise)}, across{-along.y, along.x};
    const auto seam = Draw([=](double x, double y) {
        const device::PointD q = device::PointD{x, y} - v;
        const double t = device::Dot(q, along), s = device::Dot(q, across);
        return t > 0 && std::abs(s) < 1.5 && std::fmod(t, 8.0) < 4.0 ? 60 : 180;
    });
    const instrument::EdgeLook stitched = LookAlong(seam, v + 90.0 * along + 1.5 * across, v);
    ASSERT_TRUE(stitched.edge) << "why " << int(stitched.why);
    const double read = std::atan2(-stitched.edge->direction.y, stitched.edge->direction.x) * 180 / kPi;
    EXPECT_NEAR(std::fmod(read + 360, 180.0), 50.0, 0.1 + stitched.edge->uncertainty);
    EXPECT_LT(stitched.edge->uncertainty, 1.0);
}

// `E` along a stitched seam (the line from the hub through the point finds it) that runs
// straight for 60 pixels from the hub, then turns by 3 degrees: read over the stretch under the
// point, the edge would claim a tenth; the turn farther on is doubt about which stretch is the
// edge, and the reading says so. Straight all along, it claims about a tenth.
TEST(EdgesTrust, AnEdgeThroughTheHubThatGoesOnTurningHasTheTurnInItsDoubt)
{
    const device::PointD v{100.3, 150.6}, along{1, 0}, across{0, 1};
    const double straight = 60, slope = std::tan(3 * kPi / 180);
    const auto seam = [&](bool turns) {
        return Draw([=](double x, double y) {
            const device::PointD q = device::PointD{x, y} - v;
            const double t = device::Dot(q, along);
            const double s = device::Dot(q, across) - (turns && t > straight ? slope * (t - straight) : 0.0);
            return t > 0 && std::abs(s) < 1.5 && std::fmod(t, 8.0) < 4.0 ? 60 : 180;
        });
    };
    const device::PointD at = v + 35.0 * along + 1.5 * across;
    const instrument::EdgeLook plain = LookAlong(seam(false), at, v);
    ASSERT_TRUE(plain.edge) << "why " << int(plain.why);
    EXPECT_NEAR(std::abs(plain.edge->direction.y), 0.0, 1e-3);
    EXPECT_LE(plain.edge->uncertainty, 0.15);
    const instrument::EdgeLook turning = LookAlong(seam(true), at, v);
    if (!turning.edge) {
        EXPECT_EQ(turning.why, instrument::Why::Bends);
        return;
    }
    EXPECT_NEAR(std::abs(turning.edge->direction.y), 0.0, std::sin(turning.edge->uncertainty * kPi / 180));
    EXPECT_GE(turning.edge->uncertainty, 0.5);
}
