// The edge finder where photos make it hard: an object that fills the frame has its corner a
// few pixels from the picture's border, zoomed far in the finger still fits long arms, and a
// picture turned (R) or held upright lies turned on the phone's screen.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "device/Aiming.h"
#include "device/Geometry.h"
#include "instrument/EdgeFinder.h"
#include "instrument/Finger.h"
#include "instrument/SeenPicture.h"
#include "picture/CoverDraw.h"
#include "support/Harness.h"
#include "support/Wedge.h"

using testing_support::Harness;
using testing_support::HarnessOptions;

namespace {

constexpr device::FrameSize kScreen{800, 480};
using device::kPi;

class PictureSource final : public device::CameraSource {
public:
    PictureSource(std::vector<std::uint32_t>* pixels, device::FrameSize size) : m_pixels(pixels), m_size(size) {}
    std::string Describe() const override { return "test picture"; }
    bool Open(std::string&) override { return true; }
    std::vector<device::FrameSize> Resolutions() const override { return {kScreen}; }
    bool Render(std::int64_t, const device::PixelView& out, std::string& reason) override
    {
        return picture::DrawCovering({m_pixels->data(), m_size.width, m_size.height, m_size.width * 4}, out, m_aim,
                                     reason);
    }
    void SetAim(const device::Aim& aim) override { m_aim = aim; }
    device::FrameSize PictureSize() const override { return m_size; }
    bool SeePicture(std::int64_t, const std::function<void(const device::PixelView&)>& look) override
    {
        look({m_pixels->data(), m_size.width, m_size.height, m_size.width * 4});
        return true;
    }

private:
    std::vector<std::uint32_t>* m_pixels;
    device::FrameSize m_size;
    device::Aim m_aim;
};

// The angle between a corner's arms, in degrees.
double Opening(const instrument::Corner& c)
{
    return std::acos(std::clamp(c.arm1.x * c.arm2.x + c.arm1.y * c.arm2.y, -1.0, 1.0)) * 180 / kPi;
}

} // namespace

// A board photographed to fill the frame: its corner 4 to 8 pixels from the picture's border,
// in each of the picture's four corners. Readings across an edge that run off the picture keep
// the part on it, so the corner is found and fitted as well as one in the middle.
TEST(EdgesAtTheBorder, ACornerAFewPixelsFromThePicturesBorderIsFound)
{
    const int width = 400, height = 300;
    for (int gap = 4; gap <= 8; gap += 2) {
        // Top left, top right, bottom right, bottom left: the object lies inward of each.
        const struct {
            double x, y, arm1;
        } corners[] = {{double(gap), double(gap), 270.6},
                       {double(width - gap), double(gap), 180.4},
                       {double(width - gap), double(height - gap), 90.5},
                       {double(gap), double(height - gap), 0.3}};
        for (const auto& at : corners) {
            testing_support::Wedge w;
            w.vertexX = at.x;
            w.vertexY = at.y;
            w.arm1Deg = at.arm1;
            w.openingDeg = 89.3;
            w.blur = 1.2;
            std::vector<std::uint32_t> pixels = testing_support::DrawWedge(w, width, height, 7 + gap);
            const device::PixelView view{pixels.data(), width, height, width * 4};
            const instrument::Search search{{at.x, at.y}, 60};
            const std::optional<instrument::Corner> corner =
                instrument::FindCorner(instrument::CutPart(view, search), search);
            ASSERT_TRUE(corner) << "gap " << gap << " at (" << at.x << ", " << at.y << ")";
            EXPECT_NEAR(Opening(*corner), w.openingDeg, 0.2) << "gap " << gap << " at (" << at.x << ", " << at.y << ")";
            EXPECT_LE(std::hypot(corner->vertex.x - at.x, corner->vertex.y - at.y), 0.5) << "gap " << gap;
        }
    }
}

// Zoomed in four- and eightfold, the finger's reach covers a few dozen of the picture's pixels;
// the corner's edges are still fitted along a long stretch, so a blurred, grainy corner reads
// to the tenth (fitted along the reach alone it was a degree off, or not found).
TEST(EdgesAtTheBorder, ZoomedFarInTheArmsAreStillFittedLong)
{
    const device::FrameSize size{800, 480};
    std::vector<std::uint32_t> pixels(std::size_t(size.width) * size.height, 0xff808080u);
    HarnessOptions options;
    options.cameraSource = [&] { return std::make_unique<PictureSource>(&pixels, size); };
    Harness h(options);
    h.Tilt(0);
    instrument::NeedleWatch watch(h.Device());
    ASSERT_EQ(watch.Shown(), instrument::Dial::Round);
    const device::PointD hub = instrument::ShapeOf(instrument::Dial::Round).hub;
    double worst = 0;
    for (int i = 0; i < 6; i++) {
        testing_support::Wedge w;
        w.vertexX = 400.3;
        w.vertexY = 240.6;
        w.arm1Deg = 17 + 50 * i;
        w.openingDeg = 63.4 + 7.1 * i;
        w.blur = 1.6;
        w.noise = 4;
        pixels = testing_support::DrawWedge(w, size.width, size.height, 31 + i);
        h.Device().Camera().SetAim({i % 2 ? 8.0 : 4.0, w.vertexX / size.width, w.vertexY / size.height});
        const instrument::Request r = instrument::Ask(h.Device(), watch, hub);
        const instrument::Plan plan = instrument::PlanCorner(h.Device(), r);
        // Laid, whatever it says of how far the blurred, grainy corner can be trusted.
        ASSERT_FALSE(plan.Refused()) << "case " << i << ": " << plan.notice;
        instrument::Carry(h.Device(), plan, [&](const device::Aim& aim) { h.Device().PostAim(aim); });
        h.RunMs(0);
        const auto f = h.Inspect();
        double read = std::abs(f.portraitPin - f.portraitOrigin);
        read = std::min(read, 360 - read);
        worst = std::max(worst, std::abs(read - w.openingDeg));
        EXPECT_NEAR(read, w.openingDeg, 0.2) << "case " << i;
    }
    std::printf("[ edges ] zoomed in: worst %.3f degrees off\n", worst);
}

// On the half dial a corner that opens upward but has one edge a little below the level cannot
// be laid; the notice says which it is, not that the corner opens downward, and nothing moves.
TEST(EdgesAtTheBorder, AnEdgeBelowTheHalfDialsLevelIsToldAsSuch)
{
    const device::FrameSize size{800, 480};
    std::vector<std::uint32_t> pixels(std::size_t(size.width) * size.height, 0xff808080u);
    HarnessOptions options;
    options.cameraSource = [&] { return std::make_unique<PictureSource>(&pixels, size); };
    Harness h(options);
    h.Tilt(-90);
    instrument::NeedleWatch watch(h.Device());
    ASSERT_EQ(watch.Shown(), instrument::Dial::Half);
    const double below[] = {-0.5, -2.0};
    for (double arm1 : below) {
        testing_support::Wedge w;
        w.vertexX = 300;
        w.vertexY = 300;
        w.arm1Deg = arm1;
        w.openingDeg = 80;
        pixels = testing_support::DrawWedge(w, size.width, size.height, 5);
        h.Device().Camera().SetAim({});
        const instrument::Plan plan =
            instrument::PlanCorner(h.Device(), instrument::Ask(h.Device(), watch, {300, 300}));
        EXPECT_NE(plan.notice.find("has an edge below the level"), std::string::npos) << arm1 << ": " << plan.notice;
        EXPECT_TRUE(plan.touches.empty()) << arm1;
        EXPECT_FALSE(plan.aims) << arm1;
    }
}

// The picture turned by R and the phone held every way: the corner the user points at is the
// one aimed under the hub, and each needle lies along one of its edges in the frame the phone
// shows (read from the camera's own frame: across a needle one side is dark, the other light).
TEST(EdgesAtTheBorder, TurnedPicturesAndHoldingsLayTheNeedlesOnTheEdgesOnScreen)
{
    const device::FrameSize size{900, 700};
    std::vector<std::uint32_t> pixels(std::size_t(size.width) * size.height, 0xff808080u);
    HarnessOptions options;
    options.cameraSource = [&] { return std::make_unique<PictureSource>(&pixels, size); };
    const struct {
        float pitch;
        instrument::Dial dial;
    } holdings[] = {{-90, instrument::Dial::Half},
                    {90, instrument::Dial::Half},
                    {0, instrument::Dial::Round},
                    {180, instrument::Dial::Round}};
    std::vector<std::uint32_t> frame(std::size_t(kScreen.width) * kScreen.height);
    const auto grey = [&](double x, double y) {
        const int ix = static_cast<int>(x), iy = static_cast<int>(y);
        if (ix < 0 || iy < 0 || ix >= kScreen.width || iy >= kScreen.height) {
            return -1;
        }
        return static_cast<int>(frame[std::size_t(iy) * kScreen.width + ix] & 255);
    };
    for (const auto& hold : holdings) {
        Harness h(options);
        h.Tilt(hold.pitch);
        instrument::NeedleWatch watch(h.Device());
        ASSERT_EQ(watch.Shown(), hold.dial);
        const device::PointD hub = instrument::ShapeOf(hold.dial).hub;
        for (int turns = 0; turns < 4; turns++) {
            h.Device().Camera().SetPictureTurns(turns);
            const instrument::SeenPicture seen{size, turns, h.Device().Camera().HeldTurns()};
            // A corner opening upward on the screen (y up: arms at 20 and 20 + 75 degrees), drawn
            // in the picture turned back the way the screen shows it.
            testing_support::Wedge w;
            w.openingDeg = 75;
            w.arm1Deg = 20 + 90.0 * (seen.pictureTurns - seen.heldTurns);
            w.vertexX = 0.4 * size.width;
            w.vertexY = 0.55 * size.height;
            pixels = testing_support::DrawWedge(w, size.width, size.height, 3 + turns);
            const device::PointD at{300, 300};
            h.Device().Camera().SetAim(
                instrument::AimSourceAt(1.5, seen, kScreen, {w.vertexX / size.width, w.vertexY / size.height}, at));
            const instrument::Plan plan =
                instrument::PlanCorner(h.Device(), instrument::Ask(h.Device(), watch, {at.x + 5, at.y - 5}));
            ASSERT_TRUE(plan.notice.empty()) << "pitch " << hold.pitch << " turns " << turns << ": " << plan.notice;
            instrument::Carry(h.Device(), plan, [&](const device::Aim& aim) { h.Device().PostAim(aim); });
            h.RunMs(0);
            const auto f = h.Inspect();
            const bool half = hold.dial == instrument::Dial::Half;
            const double needles[] = {half ? f.landscapePin : f.portraitPin,
                                      half ? f.landscapeOrigin : f.portraitOrigin};
            double read = std::abs(needles[0] - needles[1]);
            read = half ? read : std::min(read, 360 - read);
            EXPECT_NEAR(read, w.openingDeg, 0.15) << "pitch " << hold.pitch << " turns " << turns;
            ASSERT_TRUE(h.Device().Camera().Capture(h.Device().Now(), kScreen,
                                                    {frame.data(), kScreen.width, kScreen.height, kScreen.width * 4}));
            for (double angle : needles) {
                const device::PointD u = instrument::Direction(hold.dial, angle);
                int along = 0, seenAcross = 0;
                for (double t = 30; t <= 200; t += 10) {
                    const int a = grey(hub.x + t * u.x - 4 * u.y, hub.y + t * u.y + 4 * u.x);
                    const int b = grey(hub.x + t * u.x + 4 * u.y, hub.y + t * u.y - 4 * u.x);
                    if (a < 0 || b < 0) {
                        continue;
                    }
                    seenAcross++;
                    along += std::abs(a - b) > 60;
                }
                EXPECT_GE(seenAcross, 10) << "pitch " << hold.pitch << " turns " << turns;
                EXPECT_EQ(along, seenAcross) << "pitch " << hold.pitch << " turns " << turns << ": the needle at "
                                             << angle << " does not lie on an edge";
            }
        }
    }
}

// The corner under the point or none, the same on the screen at every zoom: pointed at 40
// screen pixels beside a corner, the finger says how far away the nearest corner is and nothing
// moves; pointed at it, the plan carries its angle's uncertainty and the two stretches fitted.
TEST(EdgesAtTheBorder, OnlyTheCornerUnderThePointIsRead)
{
    const device::FrameSize size{800, 480};
    testing_support::Wedge w;
    w.vertexX = 400.3;
    w.vertexY = 240.6;
    w.arm1Deg = 30;
    w.openingDeg = 70;
    std::vector<std::uint32_t> pixels = testing_support::DrawWedge(w, size.width, size.height, 9);
    HarnessOptions options;
    options.cameraSource = [&] { return std::make_unique<PictureSource>(&pixels, size); };
    Harness h(options);
    h.Tilt(0);
    instrument::NeedleWatch watch(h.Device());
    for (double zoom : {1.0, 3.0}) {
        h.Device().Camera().SetAim({zoom, w.vertexX / size.width, w.vertexY / size.height});
        const auto at = instrument::SourceToFrame(h.Device().Camera().GetAim(), {size, 0, 0}, kScreen,
                                                  {w.vertexX / size.width, w.vertexY / size.height});
        // Inside the corner, along the line halfway between its arms.
        const double mid = (w.arm1Deg + w.openingDeg / 2) * kPi / 180;
        const auto before = h.Inspect();
        const instrument::Plan beside = instrument::PlanCorner(
            h.Device(), instrument::Ask(h.Device(), watch, {at.x + 40 * std::cos(mid), at.y - 40 * std::sin(mid)}));
        EXPECT_TRUE(beside.Refused()) << "zoom " << zoom;
        EXPECT_NE(beside.notice.find("the nearest corner is 40 px away"), std::string::npos) << beside.notice;
        EXPECT_TRUE(beside.fitted.empty());
        EXPECT_EQ(h.Inspect().portraitPin, before.portraitPin);

        const instrument::Plan on =
            instrument::PlanCorner(h.Device(), instrument::Ask(h.Device(), watch, {at.x + 3, at.y - 2}));
        ASSERT_FALSE(on.Refused()) << "zoom " << zoom << ": " << on.notice;
        EXPECT_TRUE(on.notice.empty()) << on.notice;
        EXPECT_GT(on.uncertainty, 0.0);
        EXPECT_LT(on.uncertainty, 0.1);
        ASSERT_EQ(on.fitted.size(), 2u);
        for (const instrument::Stretch& s : on.fitted) {
            // From near the vertex outward, in fractions of the picture.
            const double nearX = s.from.x * size.width - w.vertexX, nearY = s.from.y * size.height - w.vertexY;
            const double farX = s.to.x * size.width - w.vertexX, farY = s.to.y * size.height - w.vertexY;
            EXPECT_LT(std::hypot(nearX, nearY), 25.0);
            EXPECT_GT(std::hypot(farX, farY), 60.0);
        }
    }
}

// An arm that bends is told with how far its halves turn apart, and nothing is read.
TEST(EdgesAtTheBorder, ABentArmIsToldNotRead)
{
    const int width = 400, height = 300;
    // A dark object whose upper edge curves away, by some 6 degrees over 150 pixels.
    std::vector<std::uint32_t> pixels(std::size_t(width) * height, 0xffc8c8c8u);
    const double vx = 100.5, vy = 150.5, curve = std::tan(6 * kPi / 180) / 300;
    // Drawn four by four within each pixel, so its grey levels place the edge to a fraction of one.
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            int in = 0;
            for (int k = 0; k < 16; k++) {
                const double dx = x + (k % 4 + 0.5) / 4 - vx, dy = y + (k / 4 + 0.5) / 4 - vy;
                in += dx >= 0 && dy >= -curve * dx * dx;
            }
            const std::uint32_t g = static_cast<std::uint32_t>(200 - (200 - 60) * in / 16);
            pixels[std::size_t(y) * width + x] = 0xff000000u | g << 16 | g << 8 | g;
        }
    }
    const device::PixelView view{pixels.data(), width, height, width * 4};
    const instrument::Search search{{vx + 3, vy + 3}, 120, 12};
    const instrument::CornerLook bent = instrument::LookForCorner(instrument::CutPart(view, search), search);
    EXPECT_FALSE(bent.corner);
    EXPECT_EQ(bent.why, instrument::Why::Bends);
    EXPECT_GT(bent.bend, 0.8);
    EXPECT_LT(bent.bend, 6.0);
}
