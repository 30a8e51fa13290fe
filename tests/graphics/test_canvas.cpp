// Drawing on the screen: the turning sense and pivot of turned bitmaps, exact quarter
// turns, filtered odd angles, blending over the camera picture, and clearing.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "graphics/BitmapData.h"
#include "graphics/Painter.h"
#include "support/Harness.h"

using namespace Osp::Graphics;

namespace {

constexpr int kW = 120;
constexpr int kH = 100;

struct Target {
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(kW * kH, 0);
    pixman_image_t* image = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, pixels.data(), kW * 4);
    ~Target() { pixman_image_unref(image); }
    std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * kW + x]; }
    // The pixel with the most red, which is where a marked red pixel went.
    std::pair<int, int> Reddest() const
    {
        std::pair<int, int> best{-1, -1};
        unsigned most = 0;
        for (int y = 0; y < kH; y++) {
            for (int x = 0; x < kW; x++) {
                const unsigned r = (At(x, y) >> 16) & 0xFF;
                if (r > most) {
                    most = r;
                    best = {x, y};
                }
            }
        }
        return best;
    }
};

// 20x10, transparent but for one opaque red pixel at (15, 3).
std::shared_ptr<graphics::BitmapData> Marked()
{
    std::vector<std::uint32_t> px(20 * 10, 0);
    px[3 * 20 + 15] = 0xFFFF0000u;
    return graphics::MakeBitmapData(20, 10, px.data(), BITMAP_PIXEL_FORMAT_ARGB8888, "marked");
}

} // namespace

TEST(Canvas, TurnsCounterClockwiseAboutThePivotPlacedOnThePoint)
{
    const auto bmp = Marked();
    // From the pivot (5, 5) the mark lies at (+10, -2) in the bitmap.
    struct Case {
        int angle;
        int x, y;
    };
    const Case cases[] = {
        {0, 60, 48}, // unturned
        {90, 48, 40}, // a quarter turn counter-clockwise: right becomes up
        {180, 40, 52},  {-90, 52, 60}, // clockwise: right becomes down
        {-270, 48, 40}, // the same as a quarter turn counter-clockwise
    };
    for (const auto& c : cases) {
        Target t;
        ui::Painter(t.image, kW, kH).DrawBitmapTurned(*bmp, 50, 50, 5, 5, c.angle);
        EXPECT_EQ(t.Reddest(), std::make_pair(c.x, c.y)) << "angle " << c.angle;
        EXPECT_EQ(t.At(c.x, c.y), 0xFFFF0000u) << "angle " << c.angle << " should be exact";
    }
    // An odd angle lands the mark where the rotation puts it, filtered.
    Target t;
    ui::Painter(t.image, kW, kH).DrawBitmapTurned(*bmp, 50, 50, 5, 5, 37);
    const double rad = 37 * M_PI / 180;
    const double ex = 50 + 10 * std::cos(rad) + (-2) * std::sin(rad);
    const double ey = 50 - 10 * std::sin(rad) + (-2) * std::cos(rad);
    const auto [rx, ry] = t.Reddest();
    EXPECT_NEAR(rx, ex, 1.0);
    EXPECT_NEAR(ry, ey, 1.0);
}

TEST(Canvas, QuarterTurnsArePixelExactAndOddAnglesHaveSoftEdges)
{
    // A bitmap of distinct opaque pixels.
    std::vector<std::uint32_t> px(7 * 5);
    for (size_t i = 0; i < px.size(); i++) {
        px[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x050709 + 0x102030);
    }
    const auto bmp = graphics::MakeBitmapData(7, 5, px.data(), BITMAP_PIXEL_FORMAT_ARGB8888, "grid");
    for (int angle : {90, 180, 270, -90, -180, 450}) {
        Target t;
        ui::Painter(t.image, kW, kH).DrawBitmapTurned(*bmp, 40, 40, 2, 1, angle);
        const int a = ((angle % 360) + 360) % 360;
        int painted = 0;
        for (int v = 0; v < 5; v++) {
            for (int u = 0; u < 7; u++) {
                const int du = u - 2, dv = v - 1;
                int x = 0, y = 0;
                if (a == 90) {
                    x = 40 + dv;
                    y = 40 - du;
                }
                if (a == 180) {
                    x = 40 - du;
                    y = 40 - dv;
                }
                if (a == 270) {
                    x = 40 - dv;
                    y = 40 + du;
                }
                ASSERT_EQ(t.At(x, y), px[static_cast<size_t>(v) * 7 + u])
                    << "angle " << angle << " at " << u << "," << v;
            }
        }
        for (auto p : t.pixels) {
            painted += p != 0;
        }
        EXPECT_EQ(painted, 35) << "angle " << angle << " touched pixels outside the bitmap";
    }
    // A turned opaque square has partly covered pixels along its edges.
    std::vector<std::uint32_t> solid(30 * 30, 0xFFFFFFFFu);
    const auto square = graphics::MakeBitmapData(30, 30, solid.data(), BITMAP_PIXEL_FORMAT_ARGB8888, "square");
    Target t;
    ui::Painter(t.image, kW, kH).DrawBitmapTurned(*square, 60, 50, 15, 15, 30);
    int partial = 0;
    for (auto p : t.pixels) {
        partial += (p >> 24) > 0 && (p >> 24) < 0xFF;
    }
    EXPECT_GT(partial, 40);
}

TEST(Canvas, AnOddTurnLooksTheSameWhereverItIsDrawnAndAfterOtherTurns)
{
    const auto bmp = Marked();
    Target a, b, c;
    ui::Painter(a.image, kW, kH).DrawBitmapTurned(*bmp, 50, 50, 5, 5, 37);
    ui::Painter(b.image, kW, kH).DrawBitmapTurned(*bmp, 57, 46, 5, 5, 37);
    // Other turns in between, then the first one again.
    for (int angle : {12, -75, 200}) {
        Target scratch;
        ui::Painter(scratch.image, kW, kH).DrawBitmapTurned(*bmp, 50, 50, 5, 5, angle);
    }
    ui::Painter(c.image, kW, kH).DrawBitmapTurned(*bmp, 50, 50, 5, 5, 37);
    int painted = 0;
    for (int y = 10; y < 90; y++) {
        for (int x = 10; x < 100; x++) {
            ASSERT_EQ(b.At(x + 7, y - 4), a.At(x, y)) << x << "," << y;
            ASSERT_EQ(c.At(x, y), a.At(x, y)) << x << "," << y;
            painted += a.At(x, y) != 0;
        }
    }
    EXPECT_GT(painted, 0);
    // A different pivot is a different turn.
    Target d;
    ui::Painter(d.image, kW, kH).DrawBitmapTurned(*bmp, 50, 50, 15, 3, 37);
    EXPECT_EQ(d.Reddest(), std::make_pair(50, 50));
}

TEST(Canvas, BlendsOverTheCameraPictureAndClearsBackToIt)
{
    testing_support::Harness h;
    auto f = h.Inspect();
    h.Frames(1);
    auto& screen = h.Screen();
    // The camera picture under a spot with nothing else on it.
    const std::uint32_t camera = screen.Compose().Row(300)[790];

    // Half-transparent black (premultiplied 0x80000000) over the picture halves it.
    std::vector<std::uint32_t> shade(4 * 4, 0x80000000u);
    Bitmap b;
    b.SetData(graphics::MakeBitmapData(4, 4, shade.data(), BITMAP_PIXEL_FORMAT_ARGB8888, "shade"));
    f.camera->StopPreview(); // keep the frame loop from redrawing
    f.canvas->Clear();
    f.canvas->DrawBitmap(Point(788, 298), b);
    f.canvas->Show();
    const std::uint32_t blended = screen.Compose().Row(300)[790];
    for (int shift : {0, 8, 16}) {
        const int c = (camera >> shift) & 0xFF;
        const int got = (blended >> shift) & 0xFF;
        EXPECT_NEAR(got, c / 2, 1) << "channel " << shift;
    }
    EXPECT_EQ(blended >> 24, 0xFFu);

    f.canvas->Clear();
    f.canvas->Show();
    EXPECT_EQ(screen.Compose().Row(300)[790], camera);
    EXPECT_TRUE(screen.ShownCanvas().empty());

    // The canvas belongs to the camera panel: hidden with it.
    f.canvas->DrawBitmap(Point(788, 298), b);
    f.canvas->Show();
    f.cameraPanel->SetShowState(false);
    EXPECT_EQ(screen.Compose().Row(300)[790], 0xFF000000u);
}
