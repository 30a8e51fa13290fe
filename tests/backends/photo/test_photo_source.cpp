// Checks the photo camera: pictures made here land where the aim puts them at every frame shape,
// the right way up whatever EXIF says, and bad files or views are refused.
#include "backends/PhotoPictures.h"
#include "backends/photo/ExifOrientation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace photo_pictures;

TEST(PhotoSource, NamesTheFileAndOffersTheLandscapeFrameLast)
{
    photo::PhotoSource source("/some/folder/holiday.jpg");
    EXPECT_EQ(source.Describe(), "photo holiday.jpg");
    EXPECT_EQ(photo::PhotoSource("plain.png").Describe(), "photo plain.png");
    const auto sizes = source.Resolutions();
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back(), (device::FrameSize{800, 480}));
    for (const auto& s : sizes) EXPECT_TRUE(s.width > 0 && s.height > 0);
}

TEST(PhotoSource, CoversEveryFrameShapeCentredWithoutStretching)
{
    ScratchDir dir("photo-test");
    const Picture picture = Quadrants();
    photo::PhotoSource source(WritePng(dir, "quads.png", picture));
    std::string reason;
    ASSERT_TRUE(source.Open(reason)) << reason;

    // Wider than the picture (cropped top and bottom), the same shape, and taller (cropped at the sides).
    for (auto [w, h] : {std::pair{800, 480}, std::pair{640, 480}, std::pair{240, 320}, std::pair{333, 101}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        Frame f = RenderPhoto(source, w, h, Aim{}, 3);
        EXPECT_GT(ExpectFollowsAim(f, picture, Aim{}, 2, 1.0), w * h * 8 / 10);
        for (int y = 0; y < h; ++y)
            for (int x = w; x < f.strideWords; ++x)
                ASSERT_EQ(f.words[std::size_t(y) * f.strideWords + x], kPoison) << "padding written in row " << y;
    }

    // Spelled out for the landscape frame: the scale is 4 (the width decides), 60 rows are cut
    // off at the top and bottom, so 5 of the white band's 20 rows remain, 20 frame rows tall.
    Frame f = RenderPhoto(source, 800, 480, Aim{});
    EXPECT_EQ(f.At(400, 10), kWhite);
    EXPECT_EQ(f.At(420, 30), kGreen);
    EXPECT_EQ(f.At(40, 200), kGrey);
    EXPECT_EQ(f.At(396, 200), kRed);
    EXPECT_EQ(f.At(404, 200), kGreen);
    EXPECT_EQ(f.At(396, 300), kBlue);
    EXPECT_EQ(f.At(404, 300), kYellow);
    EXPECT_EQ(EdgeColumn(f, 300, kGrey, kBlue), 80);
    EXPECT_EQ(EdgeColumn(f, 300, kBlue, kYellow, 80), 400);
    EXPECT_EQ(EdgeColumn(f, 300, kYellow, kBlack, 400), 800) << "no gap at the right";
}

TEST(PhotoSource, AimMovesAndMagnifiesThePicture)
{
    ScratchDir dir("photo-test");
    const Picture picture = Quadrants();
    photo::PhotoSource source(WritePng(dir, "quads.png", picture));
    std::string reason;
    ASSERT_TRUE(source.Open(reason)) << reason;

    // Moving the aimed point a tenth of the width to the left moves the picture right by
    // 0.1 * 200 * 4 = 80 frame pixels: the blue/yellow edge goes from 400 to 480, and the
    // first 80 columns look past the picture's left edge.
    Frame shifted = RenderPhoto(source, 800, 480, Aim{1.0, 0.4, 0.5});
    EXPECT_EQ(EdgeColumn(shifted, 400, kBlack, kGrey), 80);
    EXPECT_EQ(EdgeColumn(shifted, 400, kGrey, kBlue, 80), 160);
    EXPECT_EQ(EdgeColumn(shifted, 400, kBlue, kYellow, 160), 480);
    ExpectFollowsAim(shifted, picture, Aim{1.0, 0.4, 0.5}, 2, 1.0);

    // Zoom 2 on the middle of the yellow quadrant fills the frame with yellow: the window is
    // 100 x 60 picture pixels and touches the quadrant's left edge, where the outermost frame
    // columns may pick up a little of the blue across it.
    const Aim onYellow{2.0, 0.75, 0.75};
    Frame yellow = RenderPhoto(source, 800, 480, onYellow);
    for (int y = 0; y < 480; ++y)
        for (int xx = 0; xx < 800; ++xx) {
            if (xx >= 8) {
                ASSERT_EQ(yellow.At(xx, y), kYellow) << xx << ", " << y;
            } else {
                ASSERT_TRUE(Near(yellow.At(xx, y), kYellow, 0x80)) << xx << ", " << y;
            }
        }

    // Other zooms and corners, all against where the aim says each pixel's centre must land.
    for (const Aim& aim : {Aim{3.0, 0.1, 0.9}, Aim{8.0, 0.5, 0.5}, Aim{1.5, 0.5, 0.2}, Aim{2.5, 0.97, 0.03}}) {
        SCOPED_TRACE("zoom " + std::to_string(aim.zoom));
        Frame f = RenderPhoto(source, 800, 480, aim);
        EXPECT_GT(ExpectFollowsAim(f, picture, aim, 2, 1.0), 800 * 480 / 2);
    }

    // Back to the first aim: the frame is drawn for the aim, not left over from the last one.
    Frame again = RenderPhoto(source, 800, 480, Aim{1.0, 0.4, 0.5});
    EXPECT_EQ(again.words, shifted.words);
}

TEST(PhotoSource, AnUpdateLeavesTheFrameAloneUntilTheAimOrSizeChanges)
{
    ScratchDir dir("photo-test");
    photo::PhotoSource source(WritePng(dir, "quads.png", Quadrants()));
    std::string reason;
    ASSERT_TRUE(source.Open(reason)) << reason;
    Frame f = RenderPhoto(source, 800, 480, Aim{});
    // Scribbled on, the frame is left as it is: nothing of the photo changed.
    f.words[1234] = 0xFF123456u;
    device::PixelRect changed{1, 1, 1, 1};
    ASSERT_TRUE(source.Update(40000, f.View(), changed, reason)) << reason;
    EXPECT_TRUE(changed.Empty());
    EXPECT_EQ(f.words[1234], 0xFF123456u);
    // A new aim or another size is drawn whole, as a fresh frame would be.
    const Aim aim{2.0, 0.3, 0.6};
    source.SetAim(aim);
    ASSERT_TRUE(source.Update(80000, f.View(), changed, reason)) << reason;
    EXPECT_EQ(changed, (device::PixelRect{0, 0, 800, 480}));
    photo::PhotoSource fresh(WritePng(dir, "quads.png", Quadrants()));
    ASSERT_TRUE(fresh.Open(reason)) << reason;
    EXPECT_EQ(f.words, RenderPhoto(fresh, 800, 480, aim).words);
    Frame small(320, 240);
    ASSERT_TRUE(source.Update(120000, small.View(), changed, reason)) << reason;
    EXPECT_EQ(changed, (device::PixelRect{0, 0, 320, 240}));
    EXPECT_EQ(small.words, RenderPhoto(fresh, 320, 240, aim).words);
}

TEST(PhotoSource, AimNearThePicturesEdgeShowsBlackBeyondIt)
{
    ScratchDir dir("photo-test");
    const Picture picture = Quadrants();
    photo::PhotoSource source(WritePng(dir, "quads.png", picture));
    std::string reason;
    ASSERT_TRUE(source.Open(reason)) << reason;

    Frame f = RenderPhoto(source, 800, 480, Aim{1.0, 0.0, 1.0});
    // The picture's bottom-left corner is at the frame's centre.
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 800; ++x) {
            if (x < 400 || y >= 240) {
                ASSERT_EQ(f.At(x, y), kBlack) << x << ", " << y;
            }
        }
    EXPECT_EQ(f.At(401, 238), kGrey);
    EXPECT_EQ(f.At(500, 238), kBlue);
    ExpectFollowsAim(f, picture, Aim{1.0, 0.0, 1.0}, 2, 1.0);
}

TEST(PhotoSource, ReadsJpegAndKeepsFramesOpaque)
{
    ScratchDir dir("photo-test");
    const Picture picture = Quadrants(320, 240);
    const std::string path = dir.File("quads.jpeg");
    ASSERT_TRUE(WriteJpeg(path, picture));
    photo::PhotoSource source(path);
    std::string reason;
    ASSERT_TRUE(source.Open(reason)) << reason;
    // JPEG blurs edges over its 8-pixel blocks and shifts colours a little.
    Frame f = RenderPhoto(source, 800, 480, Aim{});
    EXPECT_GT(ExpectFollowsAim(f, picture, Aim{}, 24, 16.0), 800 * 480 / 3);

    // A half see-through PNG: the clear half shows black and nothing is left transparent.
    Picture clear = Paint(100, 100, [](int x, int) { return x < 50 ? 0x00000000u : 0x80400000u; });
    photo::PhotoSource glass(WritePng(dir, "glass.png", clear));
    ASSERT_TRUE(glass.Open(reason)) << reason;
    Frame g = RenderPhoto(glass, 320, 240, Aim{});
    for (std::uint32_t p : g.words) ASSERT_EQ(p >> 24, 0xFFu);
    EXPECT_EQ(g.At(20, 120), kBlack);
    EXPECT_TRUE(Near(g.At(300, 120), 0xFF400000u, 2)) << std::hex << g.At(300, 120);
}

TEST(PhotoSource, RefusesMissingAndBrokenFiles)
{
    ScratchDir dir("photo-test");
    std::string reason;

    photo::PhotoSource missing(dir.File("nowhere.png"));
    EXPECT_FALSE(missing.Open(reason));
    EXPECT_NE(reason.find("not found"), std::string::npos) << reason;

    {
        std::ofstream(dir.File("noise.jpg")) << "these bytes are no picture at all, only words";
    }
    photo::PhotoSource noise(dir.File("noise.jpg"));
    reason.clear();
    EXPECT_FALSE(noise.Open(reason));
    EXPECT_NE(reason.find("JPEG"), std::string::npos) << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos);

    // A real PNG cut in half.
    const std::string whole = WritePng(dir, "whole.png", Quadrants());
    std::string bytes;
    {
        std::ifstream in(whole, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    {
        std::ofstream(dir.File("half.png"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    }
    photo::PhotoSource half(dir.File("half.png"));
    reason.clear();
    EXPECT_FALSE(half.Open(reason));
    EXPECT_FALSE(reason.empty());

    // A failed open leaves nothing to show, not even a picture opened before.
    photo::PhotoSource reused(whole);
    ASSERT_TRUE(reused.Open(reason)) << reason;
    std::filesystem::remove(whole);
    EXPECT_FALSE(reused.Open(reason));
    Frame f(320, 240);
    reason.clear();
    EXPECT_FALSE(reused.Render(0, f.View(), reason));
    EXPECT_FALSE(reason.empty());
}

TEST(PhotoSource, RefusesUnsafeOutputViews)
{
    ScratchDir dir("photo-test");
    photo::PhotoSource source(WritePng(dir, "quads.png", Quadrants()));
    std::string reason;
    ASSERT_TRUE(source.Open(reason)) << reason;

    Frame f(64, 48);
    PixelView noPixels{nullptr, 64, 48, 256};
    EXPECT_FALSE(source.Render(0, noPixels, reason));
    PixelView overlapping{f.words.data(), 64, 48, 64 * 4 - 4};
    EXPECT_FALSE(source.Render(0, overlapping, reason));
    PixelView misaligned{f.words.data(), 64, 40, 64 * 4 + 2};
    EXPECT_FALSE(source.Render(0, misaligned, reason));
    EXPECT_TRUE(std::all_of(f.words.begin(), f.words.end(), [](std::uint32_t p) { return p == kPoison; }));

    PixelView empty{f.words.data(), 0, 48, 0};
    EXPECT_TRUE(source.Render(0, empty, reason));
    EXPECT_TRUE(std::all_of(f.words.begin(), f.words.end(), [](std::uint32_t p) { return p == kPoison; }));
}

TEST(PhotoSource, LargePicturesShrunkHardStillLandWhereTheAimSays)
{
    // Odd sizes, so every halving has a half-covered last row and column.
    ScratchDir dir("photo-test");
    const Picture picture = Quadrants(1601, 1203);
    photo::PhotoSource source(WritePng(dir, "large.png", picture));
    std::string reason;
    ASSERT_TRUE(source.Open(reason)) << reason;
    // From shrinking 5 times (320x240) to magnifying (zoom 8 at 800x480), and back.
    for (auto [w, h, aim] : {std::tuple{320, 240, Aim{}}, std::tuple{800, 480, Aim{8.0, 0.3, 0.7}},
                             std::tuple{800, 480, Aim{1.3, 0.45, 0.55}}, std::tuple{160, 120, Aim{1.0, 0.9, 0.1}},
                             std::tuple{320, 240, Aim{}}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " zoom " + std::to_string(aim.zoom));
        Frame f = RenderPhoto(source, w, h, aim);
        EXPECT_GT(ExpectFollowsAim(f, picture, aim, 2, 8.0), w * h / 2);
    }
}

// Aiming measures a picture by its seen size; the drawing must widen its pixels by just as

// much, or a point aimed at lands elsewhere. Streams may claim any pixel aspect at all.

TEST(PhotoSource, APhotoWithAnExifOrientationIsShownTheRightWayUp)
{
    ScratchDir dir("photo-exif");
    // Stored as a camera held turned a quarter clockwise stores it; seen, Quadrants(120, 160).
    const Picture seen = Quadrants(120, 160);
    for (const int orientation : {1, 3, 6, 8, 2, 5, 7, 4}) {
        SCOPED_TRACE(orientation);
        // The stored picture: the one seen, turned and mirrored the other way.
        const bool quarter = orientation >= 5;
        const int w = quarter ? seen.height : seen.width, h = quarter ? seen.width : seen.height;
        std::vector<std::uint32_t> back(seen.pixels);
        int bw = seen.width, bh = seen.height;
        // Undoing an orientation is applying its inverse: 6 and 8 undo each other, the rest themselves.
        const int inverse = orientation == 6 ? 8 : orientation == 8 ? 6 : orientation;
        ASSERT_TRUE(photo::ApplyOrientation(back, bw, bh, inverse));
        ASSERT_EQ(bw, w);
        ASSERT_EQ(bh, h);
        const Picture stored = Paint(w, h, [&](int x, int y) { return back[std::size_t(y) * w + x]; });
        const std::string path = dir.File("exif" + std::to_string(orientation) + ".jpg");
        ASSERT_TRUE(WriteJpeg(path, stored, orientation));
        EXPECT_EQ(photo::ExifOrientationOf(path), orientation);
        photo::PhotoSource source(path);
        std::string reason;
        ASSERT_TRUE(source.Open(reason)) << reason;
        EXPECT_EQ(source.PictureSize(), (device::FrameSize{120, 160}));
        Frame f = RenderPhoto(source, 120, 160, Aim{});
        EXPECT_GT(ExpectFollowsAim(f, seen, Aim{}, 24, 16.0), 120 * 160 / 5);
    }
    // Made by hand as well: with 6 the stored rows are the seen columns, the first on the right.
    const Picture stored6 = Paint(160, 120, [&](int x, int y) { return seen.At(119 - y, x); });
    ASSERT_TRUE(WriteJpeg(dir.File("hand6.jpg"), stored6, 6));
    photo::PhotoSource hand(dir.File("hand6.jpg"));
    std::string reason;
    ASSERT_TRUE(hand.Open(reason)) << reason;
    EXPECT_GT(ExpectFollowsAim(RenderPhoto(hand, 120, 160, Aim{}), seen, Aim{}, 24, 16.0), 120 * 160 / 5);
    // Without EXIF data, or with an orientation no camera writes, the picture is as stored.
    const std::string plain = dir.File("plain.jpg"), odd = dir.File("odd.jpg");
    ASSERT_TRUE(WriteJpeg(plain, seen));
    ASSERT_TRUE(WriteJpeg(odd, seen, 9));
    EXPECT_EQ(photo::ExifOrientationOf(plain), 1);
    EXPECT_EQ(photo::ExifOrientationOf(odd), 1);
    EXPECT_EQ(photo::ExifOrientationOf(dir.File("missing.jpg")), 1);
}

// A PNG says how it stands in an eXIf chunk: the EXIF block without the JPEG's "Exif" header,
// here big-endian, put after the header chunk.
void AddPngExif(const std::string& path, int orientation)
{
    std::ifstream in(path, std::ios::binary);
    std::string png((std::istreambuf_iterator<char>(in)), {});
    const std::string tiff = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, char(orientation),
                              0,   0,   0, 0,  0, 0};
    std::string chunk = std::string("\0\0\0", 3) + char(tiff.size()) + "eXIf" + tiff;
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 4; i < chunk.size(); ++i) {
        crc ^= static_cast<unsigned char>(chunk[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc = ~crc;
    chunk += {char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
    png.insert(33, chunk); // after the signature and IHDR
    std::ofstream(path, std::ios::binary) << png;
}

TEST(PhotoSource, APngWithAnExifOrientationIsShownTheRightWayUpAsAJpegIs)
{
    ScratchDir dir("photo-exif");
    const Picture seen = Quadrants(120, 160);
    for (const int orientation : {6, 3, 8}) {
        SCOPED_TRACE(orientation);
        std::vector<std::uint32_t> back(seen.pixels);
        int w = seen.width, h = seen.height;
        ASSERT_TRUE(photo::ApplyOrientation(back, w, h, orientation == 6 ? 8 : orientation == 8 ? 6 : orientation));
        const std::string path = WritePng(dir, "exif" + std::to_string(orientation) + ".png",
                                          Paint(w, h, [&](int x, int y) { return back[std::size_t(y) * w + x]; }));
        AddPngExif(path, orientation);
        EXPECT_EQ(photo::ExifOrientationOf(path), orientation);
        photo::PhotoSource source(path);
        std::string reason;
        ASSERT_TRUE(source.Open(reason)) << reason;
        EXPECT_EQ(source.PictureSize(), (device::FrameSize{120, 160}));
        EXPECT_GT(ExpectFollowsAim(RenderPhoto(source, 120, 160, Aim{}), seen, Aim{}, 24, 16.0), 120 * 160 / 5);
    }
    EXPECT_EQ(photo::ExifOrientationOf(WritePng(dir, "plain.png", seen)), 1);
}

} // namespace
