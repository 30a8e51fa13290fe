// The device's finger on edges and corners: synthetic corners of known angle at random
// angles, turns and places read to the tenth on both dials in all four holdings, the demo
// scene's known corners read exactly, and where nothing fits nothing moves.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "backends/gst/VideoSource.h"
#include "backends/photo/PhotoSource.h"
#include "codec/ImageCodec.h"
#include "demo/DemoScene.h"
#include "device/Aiming.h"
#include "instrument/EdgeFinder.h"
#include "instrument/Finger.h"
#include "instrument/SeenPicture.h"
#include "picture/CoverDraw.h"
#include "support/Harness.h"
#include "support/Launch.h"
#include "support/Wedge.h"

using testing_support::Harness;
using testing_support::HarnessOptions;

namespace {

constexpr device::FrameSize kScreen{800, 480};

// A camera that looks at a picture the test changes at will.
class PictureSource final : public device::CameraSource {
public:
    PictureSource(std::vector<std::uint32_t>* pixels, device::FrameSize* size) : m_pixels(pixels), m_size(size) {}
    std::string Describe() const override { return "test picture"; }
    bool Open(std::string&) override { return true; }
    std::vector<device::FrameSize> Resolutions() const override { return {kScreen}; }
    bool Render(std::int64_t, const device::PixelView& out, std::string& reason) override
    {
        return picture::DrawCovering({m_pixels->data(), m_size->width, m_size->height, m_size->width * 4}, out, m_aim,
                                     reason);
    }
    void SetAim(const device::Aim& aim) override { m_aim = aim; }
    device::FrameSize PictureSize() const override { return *m_size; }
    bool SeePicture(std::int64_t, const std::function<void(const device::PixelView&)>& look) override
    {
        look({m_pixels->data(), m_size->width, m_size->height, m_size->width * 4});
        return true;
    }

private:
    std::vector<std::uint32_t>* m_pixels;
    device::FrameSize* m_size;
    device::Aim m_aim;
};

// The readout as the application shows it, in tenths of a degree.
int ReadoutTenths(MainFormInspector f)
{
    const bool half = f.orientation == 2 || f.orientation == 3;
    double a = half ? std::abs(f.landscapePin - f.landscapeOrigin) : std::abs(f.portraitPin - f.portraitOrigin);
    if (!half && a > 360 - a) {
        a = 360 - a;
    }
    return static_cast<int>(a * 10);
}

struct Holding {
    float pitch;
    instrument::Dial dial;
    int code;
};
const Holding kHoldings[] = {{-90, instrument::Dial::Half, 2},
                             {90, instrument::Dial::Half, 3},
                             {0, instrument::Dial::Round, 0},
                             {180, instrument::Dial::Round, 1}};

// How the camera's own picture of `size` lies on the phone's screen now (turned by the holding).
instrument::SeenPicture SeenBy(device::Device& dev, device::FrameSize size)
{
    return {size, dev.Camera().PictureTurns(), dev.Camera().HeldTurns()};
}

// Where a picture point is seen on the screen under the camera's aim now.
device::PointD OnScreen(device::Device& dev, device::PointD picture, device::FrameSize size)
{
    return instrument::SourceToFrame(dev.Camera().GetAim(), SeenBy(dev, size), kScreen,
                                     {picture.x / size.width, picture.y / size.height});
}

// Asks the finger for a corner or an edge at a screen point, carries it out and lets it land.
instrument::Plan Lay(Harness& h, instrument::NeedleWatch& watch, device::PointD screen, bool corner)
{
    const instrument::Request r = instrument::Ask(h.Device(), watch, screen);
    instrument::Plan plan = corner ? instrument::PlanCorner(h.Device(), r) : instrument::PlanEdge(h.Device(), r);
    instrument::Carry(h.Device(), plan, [&](const device::Aim& aim) { h.Device().PostAim(aim); });
    h.RunMs(0);
    return plan;
}

} // namespace

// Random corners (anti-aliased, blurred, noisy), 80 in each of the four holdings: the readout
// is the true angle cut to tenths, or one tenth either side, in at least 97 % of them, and
// never more than 0.3 degrees off.
TEST(Edges, SyntheticCornersReadToTheTenthInEveryHolding)
{
    device::FrameSize size{960, 720};
    std::vector<std::uint32_t> pixels(std::size_t(size.width) * size.height, 0xff808080u);
    HarnessOptions options;
    options.cameraSource = [&] { return std::make_unique<PictureSource>(&pixels, &size); };
    std::mt19937 rng(20261208);
    std::uniform_real_distribution<double> uni(0.0, 1.0);
    int cases = 0, exact = 0, withinTenth = 0;
    double worst = 0;
    for (const Holding& hold : kHoldings) {
        Harness h(options);
        h.Tilt(hold.pitch);
        ASSERT_EQ(h.Inspect().orientation, hold.code);
        instrument::NeedleWatch watch(h.Device());
        ASSERT_EQ(watch.Shown(), hold.dial);
        for (int i = 0; i < 80; i++) {
            testing_support::Wedge w;
            w.openingDeg = 10 + 160 * uni(rng);
            // On the half dial the corner opens upward: both edges at or above the level.
            // The picture is drawn as the camera holds it; the screen shows it turned back by the
            // holding (a quarter turn clockwise on screen is 90 degrees less, y up).
            const double onScreen =
                hold.dial == instrument::Dial::Half ? (180 - w.openingDeg) * uni(rng) : 360 * uni(rng);
            w.arm1Deg = onScreen - 90.0 * h.Device().Camera().HeldTurns();
            w.dark = 30 + 60 * uni(rng);
            w.light = w.dark + 80 + 60 * uni(rng);
            w.blur = 0.5 + 0.7 * uni(rng);
            // Seen anywhere in the middle of the screen, at a random aim.
            const double zoom = 1 + uni(rng);
            h.Device().Camera().SetAim({zoom, 0.3 + 0.4 * uni(rng), 0.3 + 0.4 * uni(rng)});
            const device::PointD at{160 + 480 * uni(rng), 120 + 240 * uni(rng)};
            const device::PointD p =
                instrument::FrameToSource(h.Device().Camera().GetAim(), SeenBy(h.Device(), size), kScreen, at);
            w.vertexX = p.x * size.width;
            w.vertexY = p.y * size.height;
            pixels = testing_support::DrawWedge(w, size.width, size.height, rng());
            // Pointed at by eye: a few pixels off the corner.
            const instrument::Plan plan =
                Lay(h, watch, {at.x + 12 * (uni(rng) - 0.5), at.y + 12 * (uni(rng) - 0.5)}, true);
            ASSERT_TRUE(plan.notice.empty()) << plan.notice << " (case " << i << ")";
            // The corner now lies under the hub, to a fraction of one of the picture's pixels
            // (less well defined where the edges turn by little).
            const device::PointD under = instrument::FrameToSource(
                h.Device().Camera().GetAim(), SeenBy(h.Device(), size), kScreen, instrument::ShapeOf(hold.dial).hub);
            EXPECT_LE(std::hypot(under.x * size.width - w.vertexX, under.y * size.height - w.vertexY),
                      w.openingDeg >= 20 && w.openingDeg <= 160 ? 0.2 : 0.6)
                << "case " << i << ": opening " << w.openingDeg;
            const int read = ReadoutTenths(h.Inspect());
            const int truth = static_cast<int>(w.openingDeg * 10);
            cases++;
            exact += read == truth;
            withinTenth += std::abs(read - truth) <= 1;
            worst = std::max(worst, std::abs(read / 10.0 - w.openingDeg));
            EXPECT_LE(std::abs(read / 10.0 - w.openingDeg), 0.3)
                << "pitch " << hold.pitch << " case " << i << ": opening " << w.openingDeg << " arm " << w.arm1Deg;
            // The finger's own idea of the needles is the application's.
            const auto f = h.Inspect();
            const bool half = hold.dial == instrument::Dial::Half;
            EXPECT_NEAR(watch.Angle(hold.dial, instrument::Needle::Measuring), half ? f.landscapePin : f.portraitPin,
                        1e-9);
            EXPECT_NEAR(watch.Angle(hold.dial, instrument::Needle::Origin), half ? f.landscapeOrigin : f.portraitOrigin,
                        1e-9);
        }
    }
    std::printf("[ edges ] %d corners: %d read the cut tenth, %d within a tenth, worst %.3f degrees off\n", cases,
                exact, withinTenth, worst);
    EXPECT_GE(withinTenth * 100, cases * 97);
}

// The demo scene's corners, drawn by the program at known angles, read exactly; on the half
// dial a corner that opens downward is told, and nothing moves.
TEST(Edges, DemoCornersReadExactly)
{
    for (const Holding& hold : kHoldings) {
        Harness h;
        h.Tilt(hold.pitch);
        instrument::NeedleWatch watch(h.Device());
        for (const demo::KnownAngle& k : demo::DemoScene::KnownAngles()) {
            // Scene pixels are whole at their centres. Pointed at as a user points at a corner: into
            // it, between its edges as they lie on the screen, turned back by the holding (y up).
            // Two pixels in: farther in, the set square's printed scale, polished rim and shadow
            // make corners of their own that fit the point as well.
            const device::PointD v = OnScreen(h.Device(), {k.vertexX + 0.5, k.vertexY + 0.5},
                                              {demo::DemoScene::kSceneWidth, demo::DemoScene::kSceneHeight});
            const int before = ReadoutTenths(h.Inspect());
            const double held = 90.0 * h.Device().Camera().HeldTurns();
            const double into = k.edge1Deg + k.angleDeg / 2 + held;
            const instrument::Plan plan =
                Lay(h, watch, {v.x + 2 * std::cos(into * M_PI / 180), v.y - 2 * std::sin(into * M_PI / 180)}, true);
            const double up1 = std::sin((k.edge1Deg + held) * M_PI / 180),
                         up2 = std::sin((k.edge2Deg + held) * M_PI / 180);
            if (hold.dial == instrument::Dial::Half && (up1 < -1e-9 || up2 < -1e-9)) {
                EXPECT_NE(plan.notice.find("opens downward"), std::string::npos) << k.name << ": " << plan.notice;
                EXPECT_TRUE(plan.touches.empty());
                EXPECT_EQ(ReadoutTenths(h.Inspect()), before) << k.name;
                continue;
            }
            ASSERT_TRUE(plan.notice.empty()) << k.name << ": " << plan.notice;
            EXPECT_EQ(ReadoutTenths(h.Inspect()), static_cast<int>(std::lround(k.angleDeg * 10)))
                << k.name << " at pitch " << hold.pitch;
            // The corner now lies under the hub, to a fraction of a pixel (the scene's shapes
            // are drawn with an outline, so their visible corners lie a little off the
            // geometric ones).
            const device::PointD hub = instrument::ShapeOf(hold.dial).hub;
            const device::PointD now = OnScreen(h.Device(), {k.vertexX + 0.5, k.vertexY + 0.5},
                                                {demo::DemoScene::kSceneWidth, demo::DemoScene::kSceneHeight});
            // Half a pixel of the scene, however large the holding shows it.
            const double pixel = instrument::SourceScale(
                h.Device().Camera().GetAim(),
                SeenBy(h.Device(), {demo::DemoScene::kSceneWidth, demo::DemoScene::kSceneHeight}), kScreen);
            EXPECT_NEAR(now.x, hub.x, 0.5 * pixel) << k.name;
            EXPECT_NEAR(now.y, hub.y, 0.5 * pixel) << k.name;
        }
    }
}

// With a corner under the hub, `edge` lays the needle nearest the point along the edge
// there, and only that one.
TEST(Edges, EdgeLaysTheNearestNeedleAlongAnEdgeThroughTheHub)
{
    Harness h;
    h.Tilt(-90);
    instrument::NeedleWatch watch(h.Device());
    // The truss's ridge lies under the half dial's hub; its rafters rise at 37.5 and 142.5.
    const double along = 150;
    const auto point = [&](double deg) {
        return device::PointD{400.5 + along * std::cos(deg * M_PI / 180), 469.5 - along * std::sin(deg * M_PI / 180)};
    };
    // Needles start at 0 (measuring) and 90 (origin): the right rafter is nearer the origin.
    EXPECT_TRUE(Lay(h, watch, point(37.5), false).notice.empty());
    // The inspector holds the fields themselves: it sees every later change.
    const auto f = h.Inspect();
    EXPECT_EQ(f.landscapePin, 0.0);
    EXPECT_NEAR(f.landscapeOrigin, 142.5, 0.01);
    // The left rafter is nearer the measuring needle now.
    EXPECT_TRUE(Lay(h, watch, point(142.5), false).notice.empty());
    EXPECT_NEAR(f.landscapePin, 37.5, 0.01);
    EXPECT_NEAR(f.landscapeOrigin, 142.5, 0.01);

    // Upright, the set square's corner lies under the round dial's hub; its long side leaves
    // it at 20 degrees as the user sees it, and the phone's screen holds that view a quarter
    // turn back: 110 degrees on the screen, 160 on this dial, nearer the origin needle (at 90)
    // than the measuring needle (at 0).
    h.Tilt(0);
    ASSERT_EQ(h.Device().Camera().HeldTurns(), 1);
    const device::PointD hub = instrument::ShapeOf(instrument::Dial::Round).hub;
    const double side = 110 * M_PI / 180;
    EXPECT_TRUE(Lay(h, watch, {hub.x + 120 * std::cos(side), hub.y - 120 * std::sin(side)}, false).notice.empty());
    EXPECT_EQ(f.portraitPin, 0.0);
    EXPECT_NEAR(f.portraitOrigin, 160.0, 0.05);
}

// Where nothing fits: a plain ground, an edge that misses the hub, a point far from any
// corner. One notice each, no touch, no needle moved.
TEST(Edges, NothingFitsNothingMoves)
{
    std::vector<std::uint32_t> pixels(800 * 480, 0xff909090u);
    device::FrameSize size{800, 480};
    HarnessOptions options;
    options.cameraSource = [&] { return std::make_unique<PictureSource>(&pixels, &size); };
    Harness h(options);
    h.Tilt(-90);
    instrument::NeedleWatch watch(h.Device());
    const auto before = h.Inspect();
    const double pin = before.landscapePin, origin = before.landscapeOrigin;
    for (bool corner : {true, false}) {
        const instrument::Plan plan = Lay(h, watch, {300, 300}, corner);
        EXPECT_FALSE(plan.notice.empty());
        EXPECT_TRUE(plan.touches.empty());
        EXPECT_FALSE(plan.aims);
    }
    // A wedge whose corner lies 100 pixels left of the hub: its edges miss the hub, and from
    // 200 pixels away there is no corner to find.
    testing_support::Wedge w;
    w.vertexX = 300.5;
    w.vertexY = 300.5;
    w.arm1Deg = 20;
    w.openingDeg = 50;
    pixels = testing_support::DrawWedge(w, size.width, size.height, 1);
    EXPECT_FALSE(Lay(h, watch, {300 + 80 * std::cos(20 * M_PI / 180), 300 - 80 * std::sin(20 * M_PI / 180)}, false)
                     .notice.empty());
    EXPECT_NE(Lay(h, watch, {600, 100}, true).notice.find("no corner near (600, 100)"), std::string::npos);
    EXPECT_EQ(h.Inspect().landscapePin, pin);
    EXPECT_EQ(h.Inspect().landscapeOrigin, origin);
    // While a finger is on the screen, or the help page hides the camera's picture, the
    // device's finger does not touch.
    const auto tap = [&](device::TouchPhase phase, int x, int y) {
        h.Device().PostTouch(phase, x, y);
        h.RunMs(0);
    };
    tap(device::TouchPhase::Press, 100, 100);
    EXPECT_NE(Lay(h, watch, {305, 295}, true).notice.find("a finger is on the screen"), std::string::npos);
    tap(device::TouchPhase::Release, 100, 100);
    tap(device::TouchPhase::Press, 40, 115); // the information button
    tap(device::TouchPhase::Release, 40, 115);
    h.RunMs(100);
    ASSERT_TRUE(h.Inspect().info);
    EXPECT_NE(Lay(h, watch, {305, 295}, true).notice.find("help page"), std::string::npos);
    tap(device::TouchPhase::Press, 400, 32);
    tap(device::TouchPhase::Release, 400, 32);
    h.RunMs(200);
    ASSERT_FALSE(h.Inspect().info);
    EXPECT_EQ(h.Inspect().landscapePin, pin);
    EXPECT_EQ(h.Inspect().landscapeOrigin, origin);
    // The same corner pointed at is found: the notices above were not for want of trying.
    EXPECT_TRUE(Lay(h, watch, {305, 295}, true).notice.empty());
    EXPECT_EQ(ReadoutTenths(h.Inspect()), 500);
}

// An edge is laid from the hub only when its line passes within 4 screen pixels of it:
// 3 pixels off it is, 5 pixels off it is not.
TEST(Edges, AnEdgeMustPassThroughTheHub)
{
    device::FrameSize size{800, 480};
    std::vector<std::uint32_t> pixels(std::size_t(size.width) * size.height, 0xff909090u);
    HarnessOptions options;
    options.cameraSource = [&] { return std::make_unique<PictureSource>(&pixels, &size); };
    Harness h(options);
    h.Tilt(-90);
    instrument::NeedleWatch watch(h.Device());
    const device::PointD hub = instrument::ShapeOf(instrument::Dial::Half).hub;
    // An edge rising at 60 degrees through (or beside) the hub, from a corner above it.
    const device::PointD up{std::cos(M_PI / 3), -std::sin(M_PI / 3)}, side{-up.y, up.x};
    for (double off : {3.0, 5.0}) {
        testing_support::Wedge w;
        w.vertexX = hub.x + 250 * up.x + off * side.x;
        w.vertexY = hub.y + 250 * up.y + off * side.y;
        w.arm1Deg = 240;
        w.openingDeg = 50;
        pixels = testing_support::DrawWedge(w, size.width, size.height, 3);
        const instrument::Plan plan =
            Lay(h, watch, {hub.x + 120 * up.x + off * side.x, hub.y + 120 * up.y + off * side.y}, false);
        if (off < 4) {
            EXPECT_TRUE(plan.notice.empty()) << plan.notice;
            EXPECT_NEAR(h.Inspect().landscapeOrigin, 120.0, 0.05);
        } else {
            EXPECT_NE(plan.notice.find("no straight edge through the hub"), std::string::npos) << plan.notice;
        }
    }
}

// The finger's idea of the needles follows any person's touches as the application does: a
// move to where the finger already is moves nothing, a drag that starts between the zones
// takes a needle once it enters one, a held needle follows anywhere, on both dials.
TEST(Edges, TheNeedleWatchSeesWhatTheApplicationDoes)
{
    using Phase = device::TouchPhase;
    struct Step {
        Phase phase;
        int x, y;
    };
    const std::vector<Step> steps = {
        {Phase::Press, 300, 470}, {Phase::Move, 300, 470},  {Phase::Move, 100, 100}, {Phase::Release, 100, 100},
        {Phase::Press, 400, 290}, {Phase::Move, 400, 295},  {Phase::Move, 500, 300}, {Phase::Move, -900, 40},
        {Phase::Release, 0, 0},   {Phase::Press, 150, 460}, {Phase::Move, 120, 300}, {Phase::Move, 700, 900},
        {Phase::Release, 5, 5},   {Phase::Press, 420, 250}, {Phase::Move, 430, 260}, {Phase::Move, 380, 600},
        {Phase::Release, 1, 1},
    };
    for (const Holding& hold : kHoldings) {
        Harness h;
        h.Tilt(hold.pitch);
        instrument::NeedleWatch watch(h.Device());
        const auto f = h.Inspect();
        for (const Step& s : steps) {
            h.Device().PostTouch(s.phase, s.x, s.y);
            h.RunMs(0);
            const bool half = hold.dial == instrument::Dial::Half;
            EXPECT_DOUBLE_EQ(watch.Angle(hold.dial, instrument::Needle::Measuring),
                             half ? f.landscapePin : f.portraitPin)
                << "pitch " << hold.pitch << " at " << s.x << ", " << s.y;
            EXPECT_DOUBLE_EQ(watch.Angle(hold.dial, instrument::Needle::Origin),
                             half ? f.landscapeOrigin : f.portraitOrigin)
                << "pitch " << hold.pitch << " at " << s.x << ", " << s.y;
        }
    }
}

// On the half dial an edge that lies level, which the fit may find a hair below the level, is
// laid along the level, by C and by E alike, not told as opening downward nor turned round.
TEST(Edges, ALevelEdgeOnTheHalfDialIsLaidLevel)
{
    device::FrameSize size{800, 480};
    std::vector<std::uint32_t> pixels(std::size_t(size.width) * size.height, 0xff909090u);
    HarnessOptions options;
    options.cameraSource = [&] { return std::make_unique<PictureSource>(&pixels, &size); };
    Harness h(options);
    h.Tilt(-90);
    instrument::NeedleWatch watch(h.Device());
    const device::PointD hub = instrument::ShapeOf(instrument::Dial::Half).hub;
    const auto f = h.Inspect();
    for (int i = 0; i < 8; i++) {
        testing_support::Wedge w;
        w.vertexX = hub.x;
        w.vertexY = hub.y;
        w.openingDeg = 40 + 10 * i;
        // Level to the right, or level to the left.
        const bool right = i % 2 == 0;
        w.arm1Deg = right ? 0 : 180 - w.openingDeg;
        pixels = testing_support::DrawWedge(w, size.width, size.height, 11 + i);
        h.Device().Camera().SetAim({});
        const instrument::Plan plan = Lay(h, watch, {hub.x + 4, hub.y - 4}, true);
        ASSERT_TRUE(plan.notice.empty()) << "case " << i << ": " << plan.notice;
        EXPECT_NEAR(std::abs(f.landscapePin - f.landscapeOrigin), w.openingDeg, 0.1) << "case " << i;
        // E on the level edge lays the needle nearest it level, on the edge's side.
        const instrument::Plan edge = Lay(h, watch, {hub.x + (right ? 100 : -100), hub.y - 1}, false);
        ASSERT_TRUE(edge.notice.empty()) << "case " << i << ": " << edge.notice;
        const double level = right ? 180 : 0;
        EXPECT_NEAR(std::min(std::abs(f.landscapePin - level), std::abs(f.landscapeOrigin - level)), 0, 0.03)
            << "case " << i;
    }
}
