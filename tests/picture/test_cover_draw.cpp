// The cover drawing shared by the picture-showing camera sources: averaging when it shrinks,
// widening non-square pixels, and what it refuses.
#include "backends/PhotoPictures.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace photo_pictures;

TEST(CoverDraw, ShrinkingAveragesFineDetailInsteadOfSamplingIt)
{
    // A one-pixel checkerboard shrunk 2.5 times: each frame pixel spans several black and white
    // pixels, so it should come out an even grey, not whichever pixel a sample happened to hit.
    const Picture board = Paint(1000, 600, [](int x, int y) { return (x + y) % 2 ? kWhite : kBlack; });
    Frame f(320, 240);
    std::string reason;
    const picture::PictureView view{board.pixels.data(), board.width, board.height, board.width * 4, 1.0};
    ASSERT_TRUE(picture::DrawCovering(view, f.View(), Aim{}, reason)) << reason;
    int worst = 0;
    for (std::uint32_t p : f.words) worst = std::max(worst, std::abs(int((p >> 8) & 0xFF) - 128));
    EXPECT_LT(worst, 24);

    // Magnified until a frame pixel is smaller than a picture pixel, nothing is averaged away
    // and the squares keep their contrast.
    ASSERT_TRUE(picture::DrawCovering(view, f.View(), Aim{8.0, 0.5, 0.5}, reason)) << reason;
    int darkest = 255, lightest = 0;
    for (std::uint32_t p : f.words)
        darkest = std::min(darkest, int((p >> 8) & 0xFF)), lightest = std::max(lightest, int((p >> 8) & 0xFF));
    EXPECT_GT(lightest - darkest, 200);
}

TEST(CoverDraw, WidensNonSquarePixels)
{
    // 160x120 pixels each twice as wide as tall are seen as a 320x120 picture.
    const Picture picture = Quadrants(160, 120);
    const picture::PictureView view{picture.pixels.data(), picture.width, picture.height, picture.width * 4, 2.0};
    std::string reason;
    for (const Aim& aim : {Aim{}, Aim{2.0, 0.3, 0.6}}) {
        Frame f(800, 480);
        ASSERT_TRUE(picture::DrawCovering(view, f.View(), aim, reason)) << reason;
        EXPECT_GT(ExpectFollowsAim(f, picture, aim, 2, 1.0, 2.0), 800 * 480 / 2);
    }
}

TEST(CoverDraw, SeenSizeAgreesWithTheDrawingWhateverAspectIsClaimed)
{
    // Bands near the left and top edges, so that a picture cropped or shifted shows it.
    const Picture picture = Paint(64, 48, [](int x, int y) {
        if (x < 8) return kWhite;
        if (y < 6) return kGrey;
        return y < 24 ? (x < 32 ? kRed : kGreen) : (x < 32 ? kBlue : kYellow);
    });
    auto nearAny = [](double v, std::initializer_list<double> edges) {
        return std::any_of(edges.begin(), edges.end(), [v](double e) { return std::abs(v - e) < 1.0; });
    };
    for (const auto& [claimed, seenWidth] : std::vector<std::pair<double, int>>{{2.0, 128},
                                                                                {16.0, 1024},
                                                                                {17.0, 1024},
                                                                                {1e6, 1024},
                                                                                {1.0 / 16, 4},
                                                                                {1.0 / 17, 4},
                                                                                {1e-6, 4},
                                                                                {0.0, 64},
                                                                                {-2.0, 64},
                                                                                {NAN, 64},
                                                                                {INFINITY, 64}}) {
        SCOPED_TRACE("claimed aspect " + std::to_string(claimed));
        const picture::PictureView view{picture.pixels.data(), picture.width, picture.height, picture.width * 4,
                                        claimed};
        const device::FrameSize seen = picture::SeenSize(view);
        EXPECT_EQ(seen, (device::FrameSize{seenWidth, 48}));
        // A frame of the seen shape shows the whole picture edge to edge, each point where a
        // picture of the seen size would put it.
        const int k = seen.width < 64 ? 16 : 1;
        Frame f(seen.width * k, seen.height * k);
        std::string reason;
        ASSERT_TRUE(picture::DrawCovering(view, f.View(), Aim{}, reason)) << reason;
        const Mapping m(picture.width, picture.height, f.width, f.height, Aim{}, double(seen.width) / picture.width);
        int compared = 0, wrong = 0;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const double px = m.PictureX(x), py = m.PictureY(y);
                if (nearAny(px, {0, 8, 32, 64}) || nearAny(py, {0, 6, 24, 48})) continue;
                ++compared;
                const std::uint32_t expected = picture.At(int(std::floor(px)), int(std::floor(py)));
                if (!Near(f.At(x, y), expected, 2) && ++wrong <= 3)
                    ADD_FAILURE() << "frame pixel (" << x << ", " << y << ") shows " << std::hex << f.At(x, y)
                                  << " where the picture has " << expected;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_GT(compared, f.width * f.height / 3);
    }
}

TEST(CoverDraw, RefusesMalformedPictures)
{
    std::vector<std::uint32_t> pixels(64 * 64, kRed);
    Frame f(32, 32);
    std::string reason;
    EXPECT_FALSE(picture::DrawCovering({nullptr, 64, 64, 256, 1.0}, f.View(), Aim{}, reason));
    EXPECT_FALSE(picture::DrawCovering({pixels.data(), 64, 64, 200, 1.0}, f.View(), Aim{}, reason));
    EXPECT_FALSE(picture::DrawCovering({pixels.data(), 0, 64, 256, 1.0}, f.View(), Aim{}, reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(std::all_of(f.words.begin(), f.words.end(), [](std::uint32_t p) { return p == kPoison; }));
    // Aims outside the device's range are held to it rather than producing a broken transform.
    for (const Aim& aim : {Aim{0.0, 0.5, 0.5}, Aim{NAN, NAN, 2.0}, Aim{1e9, -3.0, 0.5}}) {
        ASSERT_TRUE(picture::DrawCovering({pixels.data(), 64, 64, 256, 1.0}, f.View(), aim, reason)) << reason;
        for (std::uint32_t p : f.words) ASSERT_TRUE(p == kRed || p == kBlack) << std::hex << p;
    }
}

} // namespace
