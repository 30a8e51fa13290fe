// Checks the demo scene camera: its known corners are really drawn where it says, frames are whole
// and opaque, only the watch moves, and odd output sizes or bad output views are handled.
#include "backends/demo/DemoScene.h"
#include "device/Aiming.h"
#include "device/Geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using demo::DemoScene;
using demo::KnownAngle;

using device::kPi;
constexpr std::uint32_t kPoison = 0x00ABCDEFu;

struct Frame {
    int width, height, strideWords;
    std::vector<std::uint32_t> words;
    device::PixelView View() { return {words.data(), width, height, strideWords * 4}; }
    std::uint32_t At(int x, int y) const { return words[std::size_t(y) * strideWords + x]; }
};

// Renders into a buffer whose rows carry `padWords` spare words that the scene must not touch.
Frame Render(DemoScene& scene, int width, int height, double seconds, int padWords = 0)
{
    Frame f{width, height, width + padWords, {}};
    f.words.assign(std::size_t(f.strideWords) * height, kPoison);
    std::string reason;
    EXPECT_TRUE(scene.Render(std::int64_t(seconds * 1e6), f.View(), reason)) << reason;
    return f;
}

double Luma(std::uint32_t p) { return 0.299 * ((p >> 16) & 0xFF) + 0.587 * ((p >> 8) & 0xFF) + 0.114 * (p & 0xFF); }

// Brightness at a point in scene coordinates (whole numbers at pixel centres), interpolated.
double LumaAt(const Frame& f, double x, double y)
{
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    double fx = x - ix, fy = y - iy;
    auto at = [&](int px, int py) {
        return Luma(f.At(std::clamp(px, 0, f.width - 1), std::clamp(py, 0, f.height - 1)));
    };
    return (1 - fy) * ((1 - fx) * at(ix, iy) + fx * at(ix + 1, iy)) +
           fy * ((1 - fx) * at(ix, iy + 1) + fx * at(ix + 1, iy + 1));
}

double Wrap360(double deg) { return std::fmod(std::fmod(deg, 360.0) + 360.0, 360.0); }
double DegreesApart(double a, double b)
{
    double d = Wrap360(a - b);
    return std::min(d, 360.0 - d);
}

// Distance from a pixel to the first `length` pixels of an edge leaving (vx, vy) towards `deg`.
double DistanceToEdge(double x, double y, const KnownAngle& k, double deg)
{
    double dx = std::cos(deg * kPi / 180), dy = -std::sin(deg * kPi / 180);
    double s = std::clamp((x - k.vertexX) * dx + (y - k.vertexY) * dy, 0.0, k.edgeLength);
    return std::hypot(x - (k.vertexX + s * dx), y - (k.vertexY + s * dy));
}

TEST(DemoSceneSource, IdentifiesItselfOpensAndOffersTheLandscapeFrameLast)
{
    DemoScene scene;
    std::string reason;
    EXPECT_EQ(scene.Describe(), "demo scene");
    EXPECT_TRUE(scene.Open(reason));
    auto sizes = scene.Resolutions();
    ASSERT_GE(sizes.size(), 2u);
    EXPECT_EQ(sizes.back(), (device::FrameSize{800, 480}));
    for (auto s : sizes) EXPECT_TRUE(s.width > 0 && s.height > 0);
}

TEST(DemoSceneAngles, CornersSitOnBothDialCentresAndNeedBothPinsMoved)
{
    const auto& angles = DemoScene::KnownAngles();
    ASSERT_GE(angles.size(), 2u);
    const KnownAngle& land = angles[0];
    const KnownAngle& port = angles[1];
    EXPECT_EQ(land.vertexX, 400.0);
    EXPECT_EQ(land.vertexY, 469.0);
    EXPECT_EQ(port.vertexX, 399.0);
    EXPECT_EQ(port.vertexY, 239.0);
    // The landscape dial spans left through up to right only.
    for (double e : {land.edge1Deg, land.edge2Deg}) EXPECT_TRUE(e >= 0.0 && e <= 180.0) << e;

    // Pins start at readings 0 and 90: landscape 0/90 are directions 180/90, portrait 0/90 are 270/180.
    const double landStarts[] = {180.0, 90.0}, portStarts[] = {270.0, 180.0};
    for (auto [k, starts] : {std::pair{&land, landStarts}, std::pair{&port, portStarts}})
        for (double e : {k->edge1Deg, k->edge2Deg})
            for (double s : {starts[0], starts[1]}) EXPECT_GT(DegreesApart(e, s), 5.0) << k->name;

    for (const KnownAngle& k : angles) {
        EXPECT_NEAR(k.angleDeg, Wrap360(k.edge2Deg - k.edge1Deg), 1e-9) << k.name;
        EXPECT_GT(k.angleDeg, 20.0) << k.name;
        EXPECT_GT(DegreesApart(k.angleDeg, 90.0), 5.0) << k.name;
        EXPECT_GE(k.edgeLength, 150.0) << k.name;
    }
}

TEST(DemoSceneAngles, EveryEdgeIsDrawnSharpAlongItsStatedLine)
{
    DemoScene scene;
    Frame f = Render(scene, 800, 480, 3.0);
    for (const KnownAngle& k : DemoScene::KnownAngles()) {
        for (double deg : {k.edge1Deg, k.edge2Deg}) {
            double dx = std::cos(deg * kPi / 180), dy = -std::sin(deg * kPi / 180);
            double nx = -dy, ny = dx;
            for (double s = 14.0; s <= k.edgeLength - 10.0; s += 4.0) {
                double px = k.vertexX + s * dx, py = k.vertexY + s * dy;
                auto across = [&](double o) { return LumaAt(f, px + o * nx, py + o * ny); };
                double a = (across(-4) + across(-3)) / 2, b = (across(3) + across(4)) / 2;
                ASSERT_GT(std::fabs(a - b), 40.0) << k.name << " edge " << deg << " at " << s;
                // Where brightness crosses halfway between the two sides is the drawn edge.
                double mid = (a + b) / 2, crossing = 99;
                for (double o = -3.0; o < 3.0; o += 0.125)
                    if ((across(o) - mid) * (across(o + 0.125) - mid) <= 0) {
                        crossing = o + 0.0625;
                        break;
                    }
                ASSERT_LE(std::fabs(crossing), 1.0) << k.name << " edge " << deg << " at " << s;
            }
        }
    }
}

TEST(DemoSceneFrames, FillsEveryPixelOpaqueAndLeavesRowPaddingAlone)
{
    DemoScene scene;
    for (auto [w, h] : {std::pair{800, 480}, std::pair{333, 517}}) {
        Frame f = Render(scene, w, h, 12.5, 5);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) ASSERT_EQ(f.At(x, y) >> 24, 0xFFu) << w << "x" << h << " at " << x << "," << y;
            for (int x = w; x < f.strideWords; ++x) ASSERT_EQ(f.At(x, y), kPoison) << "padding written in row " << y;
        }
    }
}

TEST(DemoSceneFrames, OnlyTheWatchMovesAndTheSameTimeGivesTheSamePicture)
{
    DemoScene scene;
    Frame a = Render(scene, 800, 480, 0.0);
    Frame b = Render(scene, 800, 480, 7.25);
    Render(scene, 320, 240, 1.0); // a size change in between must not alter later frames
    Frame a2 = Render(scene, 800, 480, 0.0);
    EXPECT_EQ(a.words, a2.words);
    DemoScene fresh;
    EXPECT_EQ(Render(fresh, 800, 480, 7.25).words, b.words);

    DemoScene::Rect m = DemoScene::MovingArea();
    int changed = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 800; ++x) {
            bool same = a.At(x, y) == b.At(x, y);
            changed += !same;
            if (!same) {
                ASSERT_TRUE(x >= m.x - 1 && x <= m.x + m.width + 1 && y >= m.y - 1 && y <= m.y + m.height + 1)
                    << "pixel " << x << "," << y << " changed outside the moving area";
            }
            for (const KnownAngle& k : DemoScene::KnownAngles()) {
                for (double deg : {k.edge1Deg, k.edge2Deg}) {
                    if (DistanceToEdge(x, y, k, deg) < 8.0) {
                        ASSERT_TRUE(same) << k.name << " edge moved at " << x << "," << y;
                    }
                }
            }
        }
    EXPECT_GT(changed, 50);
    // A second later the seconds hand has moved on; a frozen time stays frozen.
    EXPECT_NE(Render(scene, 800, 480, 8.25).words, b.words);
    EXPECT_EQ(Render(scene, 800, 480, 7.25).words, b.words);
}

TEST(DemoSceneFrames, AnUpdateRedrawsOnlyTheWatchWhenItBeatsAndMatchesAWholeFrame)
{
    DemoScene scene;
    Frame f = Render(scene, 800, 480, 3.0, 3);
    std::string reason;
    device::PixelRect changed{1, 1, 1, 1};
    // Within one beat (an eighth of a second) nothing moves.
    ASSERT_TRUE(scene.Update(3'100'000, f.View(), changed, reason)) << reason;
    EXPECT_TRUE(changed.Empty());
    EXPECT_EQ(f.words, Render(scene, 800, 480, 3.0, 3).words);

    // The next beat redraws the watch alone, and the frame is what a whole one would be.
    DemoScene::Rect m = DemoScene::MovingArea();
    for (double t : {3.125, 3.5, 64.0}) {
        ASSERT_TRUE(scene.Update(std::int64_t(t * 1e6), f.View(), changed, reason)) << reason;
        ASSERT_FALSE(changed.Empty()) << t;
        EXPECT_LE(changed.x, m.x - 0.5);
        EXPECT_LE(changed.y, m.y - 0.5);
        EXPECT_GE(changed.x + changed.width, m.x + m.width + 0.5);
        EXPECT_GE(changed.y + changed.height, m.y + m.height + 0.5);
        EXPECT_LT(changed.width * changed.height, 800 * 480 / 20) << "more than the watch was redrawn";
        DemoScene fresh;
        EXPECT_EQ(f.words, Render(fresh, 800, 480, t, 3).words) << t;
    }
    // Aimed elsewhere, the whole frame changes.
    scene.SetAim({2.0, 0.3, 0.6});
    ASSERT_TRUE(scene.Update(64'000'000, f.View(), changed, reason)) << reason;
    EXPECT_EQ(changed, (device::PixelRect{0, 0, 800, 480}));
    DemoScene aimed;
    aimed.SetAim({2.0, 0.3, 0.6});
    EXPECT_EQ(f.words, Render(aimed, 800, 480, 64.0, 3).words);
}

TEST(DemoSceneFrames, AnyOutputSizeRendersAndBadViewsAreRefused)
{
    DemoScene scene;
    for (auto [w, h] : {std::pair{1, 1}, std::pair{320, 240}, std::pair{640, 480}, std::pair{480, 800},
                        std::pair{1280, 720}, std::pair{3, 900}}) {
        Frame f = Render(scene, w, h, -5.0);
        for (std::uint32_t p : f.words) ASSERT_EQ(p >> 24, 0xFFu) << w << "x" << h;
    }

    std::string reason;
    std::uint32_t word = kPoison;
    EXPECT_TRUE(scene.Render(0, {&word, 0, 0, 0}, reason));
    EXPECT_EQ(word, kPoison);
    EXPECT_FALSE(scene.Render(0, {nullptr, 4, 4, 16}, reason));
    EXPECT_FALSE(reason.empty());
    std::vector<std::uint32_t> small(16, kPoison);
    reason.clear();
    EXPECT_FALSE(scene.Render(0, {small.data(), 4, 4, 8}, reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(small, std::vector<std::uint32_t>(16, kPoison));
}

} // namespace

TEST(DemoSceneAiming, AKnownCornerCanBeBroughtUnderEitherHubAndTheSceneMovesWithIt)
{
    // Aimed so that a corner's pixel lands on a hub's pixel, the scene is the unaimed scene
    // moved by whole pixels: every pixel both show agrees (the watch aside), and what the
    // move uncovers past the scene's edge is black.
    const device::FrameSize scene{DemoScene::kSceneWidth, DemoScene::kSceneHeight}, frame{800, 480};
    DemoScene plain;
    const Frame still = Render(plain, 800, 480, 0.0);
    struct Case {
        int corner;
        int hubX, hubY;
    };
    const auto& angles = DemoScene::KnownAngles();
    for (const Case c : {Case{2, 400, 469}, Case{3, 399, 239}, Case{3, 400, 469}}) {
        const KnownAngle& k = angles[std::size_t(c.corner)];
        // The middle of the pixel the corner lies in, so that the move is by whole pixels.
        const long vx = std::lround(k.vertexX), vy = std::lround(k.vertexY);
        DemoScene aimed;
        aimed.SetAim(device::AimPointAt(1.0, scene, frame, {(vx + 0.5) / scene.width, (vy + 0.5) / scene.height},
                                        {c.hubX + 0.5, c.hubY + 0.5}));
        const Frame moved = Render(aimed, 800, 480, 0.0);
        const int dx = c.hubX - int(vx), dy = c.hubY - int(vy);
        const auto watch = DemoScene::MovingArea();
        int compared = 0, differ = 0, black = 0, uncovered = 0;
        for (int y = 0; y < 480; y++) {
            for (int x = 0; x < 800; x++) {
                const int sx = x - dx, sy = y - dy;
                if (sx < 0 || sy < 0 || sx >= 800 || sy >= 480) {
                    uncovered++;
                    black += moved.At(x, y) == 0xFF000000u;
                    continue;
                }
                const bool nearWatch = sx > watch.x - 3 && sx < watch.x + watch.width + 3 && sy > watch.y - 3 &&
                                       sy < watch.y + watch.height + 3;
                if (nearWatch) {
                    continue;
                }
                compared++;
                differ += moved.At(x, y) != still.At(sx, sy);
            }
        }
        EXPECT_GT(compared, 50000) << k.name;
        // A few pixels along the scene's cut edges may round differently.
        EXPECT_LE(differ, compared / 200) << k.name << " under (" << c.hubX << "," << c.hubY << ")";
        EXPECT_GT(uncovered, 0) << k.name;
        EXPECT_EQ(black, uncovered) << k.name;
    }
}

TEST(DemoSceneAiming, ZoomingMagnifiesAboutTheAimedPoint)
{
    // At zoom 2 with the set square's corner at the frame's centre, a point 40 pixels from the
    // corner in the scene is seen 80 pixels from the centre.
    const KnownAngle& k = DemoScene::KnownAngles()[1];
    const device::FrameSize scene{DemoScene::kSceneWidth, DemoScene::kSceneHeight};
    DemoScene plain, zoomed;
    zoomed.SetAim(
        device::AimPointAt(2.0, scene, {800, 480}, {(k.vertexX + 0.5) / 800, (k.vertexY + 0.5) / 480}, {400, 240}));
    const Frame a = Render(plain, 800, 480, 0.0), b = Render(zoomed, 800, 480, 0.0);
    for (double deg : {k.edge1Deg, k.edge2Deg}) {
        const double ux = std::cos(deg * kPi / 180), uy = -std::sin(deg * kPi / 180);
        // Along the edge the brightness is the same at both scales.
        const double seen = LumaAt(b, 399.5 + 80 * ux, 239.5 + 80 * uy);
        const double want = LumaAt(a, k.vertexX + 40 * ux, k.vertexY + 40 * uy);
        EXPECT_NEAR(seen, want, 40.0) << deg;
    }
    EXPECT_NE(std::memcmp(a.words.data(), b.words.data(), a.words.size() * 4), 0);
}
