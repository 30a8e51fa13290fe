// What the device's finger stands on: the edge finder alone fits random corners to a fraction
// of a pixel, and every camera source lends the picture it looks at, whole and at its own size.
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
#include "picture/CoverDraw.h"
#include "support/Harness.h"
#include "support/Launch.h"
#include "support/Wedge.h"

using testing_support::Harness;
using testing_support::HarnessOptions;

// The finder alone: random corners are found to a small fraction of a pixel and their edges
// to a few hundredths of a degree.
TEST(Edges, FinderFitsCornersToAFractionOfAPixel)
{
    const int side = 400;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> uni(0.0, 1.0);
    double worstVertex = 0, worstArm = 0;
    for (int i = 0; i < 120; i++) {
        testing_support::Wedge w;
        w.openingDeg = 10 + 160 * uni(rng);
        w.arm1Deg = 360 * uni(rng);
        w.vertexX = side / 2 + 20 * (uni(rng) - 0.5);
        w.vertexY = side / 2 + 20 * (uni(rng) - 0.5);
        w.blur = 0.5 + 0.7 * uni(rng);
        std::vector<std::uint32_t> pixels = testing_support::DrawWedge(w, side, side, rng());
        const auto corner =
            instrument::FindCorner({pixels.data(), side, side, side * 4}, {{w.vertexX + 5, w.vertexY - 5}, 120});
        if (!corner) {
            ADD_FAILURE() << "case " << i << " not found: opening " << w.openingDeg << " arm " << w.arm1Deg << " blur "
                          << w.blur;
            continue;
        }
        const double vertexOff = std::hypot(corner->vertex.x - w.vertexX, corner->vertex.y - w.vertexY);
        const auto deg = [](device::PointD u) { return std::atan2(-u.y, u.x) * 180 / M_PI; };
        const auto off = [](double a, double b) { return std::abs(std::remainder(a - b, 360.0)); };
        const double t1 = w.arm1Deg, t2 = w.arm1Deg + w.openingDeg;
        const double a1 = deg(corner->arm1), a2 = deg(corner->arm2);
        const double armOff = std::min(std::max(off(a1, t1), off(a2, t2)), std::max(off(a1, t2), off(a2, t1)));
        worstVertex = std::max(worstVertex, vertexOff);
        worstArm = std::max(worstArm, armOff);
        // Edges that turn by little meet at a point less well defined along them.
        EXPECT_LE(vertexOff, w.openingDeg <= 160 ? 0.2 : 0.5)
            << "case " << i << " opening " << w.openingDeg << " arm " << w.arm1Deg;
        EXPECT_LE(armOff, 0.05) << "case " << i << " opening " << w.openingDeg << " arm " << w.arm1Deg;
    }
    std::printf("[ edges ] finder: worst vertex %.3f px, worst edge %.4f degrees\n", worstVertex, worstArm);
}

// Every camera source lends the picture it looks at, whole and at its own resolution: a photo
// its own pixels, a video the picture shown last at the size it is seen, the demo scene
// itself unaimed; none before it is open.
TEST(Edges, EverySourceLendsItsOwnPicture)
{
    const auto lend = [](device::CameraSource& source, device::FrameSize& size, std::vector<std::uint32_t>& seen) {
        return source.SeePicture(0, [&](const device::PixelView& v) {
            size = {v.width, v.height};
            seen.clear();
            for (int y = 0; y < v.height; y++) {
                seen.insert(seen.end(), v.Row(y), v.Row(y) + v.width);
            }
        });
    };
    std::string reason;
    device::FrameSize size;
    std::vector<std::uint32_t> seen;

    // A photo of 300 x 200 pixels, each of its own colour.
    std::vector<std::uint32_t> photo(300 * 200);
    for (size_t i = 0; i < photo.size(); i++) {
        photo[i] = 0xff000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    }
    const std::string path = testing_support::Temp("lent.png");
    ASSERT_TRUE(codec::WritePngFile(path, photo.data(), 300, 200, 300 * 4, reason)) << reason;
    photo::PhotoSource still(path);
    EXPECT_FALSE(lend(still, size, seen));
    ASSERT_TRUE(still.Open(reason)) << reason;
    ASSERT_TRUE(lend(still, size, seen));
    EXPECT_EQ(size, (device::FrameSize{300, 200}));
    EXPECT_EQ(seen, photo);

    // Pixels twice as wide as high: the picture as seen is twice as wide.
    gst::VideoSource wide(gst::VideoSource::Kind::LiveDescription,
                          "videotestsrc is-live=true pattern=blue ! capsfilter "
                          "caps=video/x-raw,width=160,height=120,pixel-aspect-ratio=2/1");
    EXPECT_FALSE(lend(wide, size, seen));
    ASSERT_TRUE(wide.Open(reason)) << reason;
    ASSERT_TRUE(lend(wide, size, seen));
    EXPECT_EQ(size, (device::FrameSize{320, 120}));
    EXPECT_EQ(seen.size(), 320u * 120u);
    EXPECT_EQ(seen[160 * 60] & 0xffffffu, 0x0000ffu);
    wide.Close();

    // The demo scene, unaimed, as it draws a frame of its own size.
    demo::DemoScene scene;
    ASSERT_TRUE(scene.Open(reason));
    scene.SetAim({2.0, 0.3, 0.6});
    ASSERT_TRUE(lend(scene, size, seen));
    EXPECT_EQ(size, (device::FrameSize{800, 480}));
    std::vector<std::uint32_t> frame(800 * 480);
    demo::DemoScene unaimed;
    ASSERT_TRUE(unaimed.Open(reason));
    ASSERT_TRUE(unaimed.Render(0, {frame.data(), 800, 480, 800 * 4}, reason));
    EXPECT_EQ(seen, frame);
}
