// Checks the photo camera and the cover drawing it shares with video: pictures made here land where
// the aim puts them at every frame shape, strong shrinking averages, and bad files or views are refused.
#include "picture/CoverDraw.h"
#include "backends/photo/ExifOrientation.h"
#include "backends/photo/PhotoSource.h"
#include "codec/ImageCodec.h"

#include <gtest/gtest.h>

#include "support/Frames.h"
#include "support/Scratch.h"

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using device::Aim;
using device::PixelView;

using testing_support::Frame;
using testing_support::kPoison;
using testing_support::Near;
using testing_support::ScratchDir;
constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kGrey = 0xFF606060u;
constexpr std::uint32_t kRed = 0xFFE01010u;
constexpr std::uint32_t kGreen = 0xFF10C020u;
constexpr std::uint32_t kBlue = 0xFF1020E0u;
constexpr std::uint32_t kYellow = 0xFFF0E010u;


struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const
    {
        return pixels[std::size_t(std::clamp(y, 0, height - 1)) * width + std::clamp(x, 0, width - 1)];
    }
};

Picture Paint(int width, int height, const std::function<std::uint32_t(int, int)>& colour)
{
    Picture p{width, height, {}};
    p.pixels.resize(std::size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.pixels[std::size_t(y) * width + x] = colour(x, y);
    return p;
}

// Four coloured quadrants (red, green / blue, yellow) under a white band along the top and a
// grey band down the left, so that cropping and stretching both show.
Picture Quadrants(int width = 200, int height = 150)
{
    return Paint(width, height, [=](int x, int y) {
        if (y < 20)
            return kWhite;
        if (x < 20)
            return kGrey;
        if (y < height / 2)
            return x < width / 2 ? kRed : kGreen;
        return x < width / 2 ? kBlue : kYellow;
    });
}

// With an orientation from 1 to 8, the file carries it in EXIF data as a phone camera writes it.
bool WriteJpeg(const std::string& path, const Picture& picture, int exifOrientation = 0)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, file);
    c.image_width = JDIMENSION(picture.width);
    c.image_height = JDIMENSION(picture.height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    if (exifOrientation > 0) {
        // "Exif", a little-endian TIFF header, one IFD of one entry: orientation, a SHORT.
        const JOCTET exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0,
                               JOCTET(exifOrientation), 0, 0, 0, 0, 0, 0, 0};
        jpeg_write_marker(&c, JPEG_APP0 + 1, exif, sizeof exif);
    }
    std::vector<JSAMPLE> row(std::size_t(picture.width) * 3);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            std::uint32_t p = picture.At(x, y);
            row[x * 3] = JSAMPLE(p >> 16), row[x * 3 + 1] = JSAMPLE(p >> 8), row[x * 3 + 2] = JSAMPLE(p);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(file) == 0;
}

std::string WritePng(const ScratchDir& dir, const std::string& name, const Picture& picture)
{
    std::string path = dir.File(name), reason;
    EXPECT_TRUE(codec::WritePngFile(path, picture.pixels.data(), picture.width, picture.height, picture.width * 4, reason))
        << reason;
    return path;
}

// Where the aim promises each frame pixel's centre lands on the picture: the aimed point at the
// frame's centre, and the picture enlarged by `zoom` times the least scale that leaves no gap.
struct Mapping {
    double scaleX, scaleY, originX, originY;
    Mapping(int pictureW, int pictureH, int frameW, int frameH, const Aim& aim, double pixelAspect = 1.0)
    {
        const double cover = std::max(frameW / (pictureW * pixelAspect), double(frameH) / pictureH);
        scaleY = cover * aim.zoom;
        scaleX = scaleY * pixelAspect;
        originX = aim.centerX * pictureW - frameW / 2.0 / scaleX;
        originY = aim.centerY * pictureH - frameH / 2.0 / scaleY;
    }
    double PictureX(int frameX) const { return originX + (frameX + 0.5) / scaleX; }
    double PictureY(int frameY) const { return originY + (frameY + 0.5) / scaleY; }
};

// Compares every frame pixel whose neighbourhood on the picture is of one colour (so filtering
// cannot change it) with that colour, or with black off the picture. Returns how many were
// compared, so callers can be sure the comparison covered most of the frame.
int ExpectFollowsAim(const Frame& frame, const Picture& picture, const Aim& aim, int tolerance, double margin,
                     double pixelAspect = 1.0)
{
    const Mapping m(picture.width, picture.height, frame.width, frame.height, aim, pixelAspect);
    int compared = 0, wrong = 0;
    for (int y = 0; y < frame.height; ++y) {
        const double py = m.PictureY(y);
        for (int x = 0; x < frame.width; ++x) {
            const double px = m.PictureX(x);
            const bool inside = px >= 0 && px <= picture.width && py >= 0 && py <= picture.height;
            const bool nearEdge = std::min({std::abs(px), std::abs(px - picture.width), std::abs(py),
                                            std::abs(py - picture.height)}) < 0.05;
            if (nearEdge)
                continue;
            std::uint32_t expected = kBlack;
            if (inside) {
                const double rx = margin / pixelAspect;
                expected = picture.At(int(std::floor(px)), int(std::floor(py)));
                bool uniform = true;
                for (double dx : {-rx, 0.0, rx})
                    for (double dy : {-margin, 0.0, margin})
                        uniform = uniform && picture.At(int(std::floor(px + dx)), int(std::floor(py + dy))) == expected;
                if (!uniform)
                    continue;
            }
            ++compared;
            if (!Near(frame.At(x, y), expected, tolerance) && ++wrong <= 5)
                ADD_FAILURE() << "frame pixel (" << x << ", " << y << ") shows " << std::hex << frame.At(x, y)
                              << " where picture point (" << std::dec << px << ", " << py << ") is " << std::hex
                              << expected;
        }
    }
    EXPECT_EQ(wrong, 0);
    return compared;
}

Frame RenderPhoto(photo::PhotoSource& source, int width, int height, const Aim& aim, int padWords = 0)
{
    Frame f(width, height, padWords);
    source.SetAim(aim);
    std::string reason;
    EXPECT_TRUE(source.Render(0, f.View(), reason)) << reason;
    return f;
}

int Distance(std::uint32_t a, std::uint32_t b)
{
    int d = 0;
    for (int shift = 0; shift < 24; shift += 8)
        d += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
    return d;
}

// The first column in row y, scanning rightwards from `from`, that is nearer to `right` than
// to `left`: where an edge between the two colours lies, to the pixel.
int EdgeColumn(const Frame& f, int y, std::uint32_t left, std::uint32_t right, int from = 0)
{
    for (int x = from; x < f.width; ++x)
        if (Distance(f.At(x, y), right) < Distance(f.At(x, y), left))
            return x;
    return f.width;
}

TEST(PhotoSource, NamesTheFileAndOffersTheLandscapeFrameLast)
{
    photo::PhotoSource source("/some/folder/holiday.jpg");
    EXPECT_EQ(source.Describe(), "photo holiday.jpg");
    EXPECT_EQ(photo::PhotoSource("plain.png").Describe(), "photo plain.png");
    const auto sizes = source.Resolutions();
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back(), (device::FrameSize{800, 480}));
    for (const auto& s : sizes)
        EXPECT_TRUE(s.width > 0 && s.height > 0);
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
    for (std::uint32_t p : g.words)
        ASSERT_EQ(p >> 24, 0xFFu);
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
    for (std::uint32_t p : f.words)
        worst = std::max(worst, std::abs(int((p >> 8) & 0xFF) - 128));
    EXPECT_LT(worst, 24);

    // Magnified until a frame pixel is smaller than a picture pixel, nothing is averaged away
    // and the squares keep their contrast.
    ASSERT_TRUE(picture::DrawCovering(view, f.View(), Aim{8.0, 0.5, 0.5}, reason)) << reason;
    int darkest = 255, lightest = 0;
    for (std::uint32_t p : f.words)
        darkest = std::min(darkest, int((p >> 8) & 0xFF)), lightest = std::max(lightest, int((p >> 8) & 0xFF));
    EXPECT_GT(lightest - darkest, 200);
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

// Aiming measures a picture by its seen size; the drawing must widen its pixels by just as
// much, or a point aimed at lands elsewhere. Streams may claim any pixel aspect at all.
TEST(CoverDraw, SeenSizeAgreesWithTheDrawingWhateverAspectIsClaimed)
{
    // Bands near the left and top edges, so that a picture cropped or shifted shows it.
    const Picture picture = Paint(64, 48, [](int x, int y) {
        if (x < 8)
            return kWhite;
        if (y < 6)
            return kGrey;
        return y < 24 ? (x < 32 ? kRed : kGreen) : (x < 32 ? kBlue : kYellow);
    });
    auto nearAny = [](double v, std::initializer_list<double> edges) {
        return std::any_of(edges.begin(), edges.end(), [v](double e) { return std::abs(v - e) < 1.0; });
    };
    for (const auto& [claimed, seenWidth] : std::vector<std::pair<double, int>>{
             {2.0, 128}, {16.0, 1024}, {17.0, 1024}, {1e6, 1024}, {1.0 / 16, 4}, {1.0 / 17, 4}, {1e-6, 4},
             {0.0, 64}, {-2.0, 64}, {NAN, 64}, {INFINITY, 64}}) {
        SCOPED_TRACE("claimed aspect " + std::to_string(claimed));
        const picture::PictureView view{picture.pixels.data(), picture.width, picture.height, picture.width * 4, claimed};
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
                if (nearAny(px, {0, 8, 32, 64}) || nearAny(py, {0, 6, 24, 48}))
                    continue;
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
        for (std::uint32_t p : f.words)
            ASSERT_TRUE(p == kRed || p == kBlack) << std::hex << p;
    }
}

} // namespace

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
