// Writing PNGs: every premultiplied value comes back, alpha is stored straight, and a write
// that fails says why and leaves no file behind.
#include "media/test_image_codec_files.h"

using namespace testing_support::codec_files;

TEST_F(ImageCodecTest, PngWriteRoundTripsEveryPremultipliedValue)
{
    // Pixel (x, y) has alpha x and red y wherever y <= x; padding past each row must be ignored.
    const int stride = 256 * 4 + 12;
    std::vector<std::uint32_t> buffer(stride / 4 * 256, 0xFFFFFFFF);
    for (std::uint32_t c = 0; c < 256; ++c)
        for (std::uint32_t a = 0; a < 256; ++a)
            buffer[c * (stride / 4) + a] = c <= a ? a << 24 | c << 16 | (a - c) << 8 | c / 2 : 0;
    std::string reason;
    ASSERT_TRUE(codec::WritePngFile(path("round.png"), buffer.data(), 256, 256, stride, reason)) << reason;
    Decoded d = decodeOk(path("round.png"), 256, 256);
    for (int y = 0; y < 256 && d.ok; ++y)
        for (int x = 0; x < 256; ++x)
            ASSERT_EQ(d.img.pixels[y * 256 + x], buffer[y * (stride / 4) + x]) << x << "," << y;
}

TEST_F(ImageCodecTest, PngWriteStoresStraightAlpha)
{
    // The last pixel's red exceeds its alpha, which premultiplied data cannot have: it clamps.
    const std::uint32_t px[4] = {0x80643219, 0x00000000, 0xFF0A141E, 0x40FF0000};
    std::string reason;
    ASSERT_TRUE(codec::WritePngFile(path("straight.png"), px, 4, 1, 16, reason)) << reason;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path("straight.png").c_str()));
    EXPECT_EQ(image.format & PNG_FORMAT_FLAG_ALPHA, unsigned(PNG_FORMAT_FLAG_ALPHA));
    image.format = PNG_FORMAT_RGBA;
    Bytes rgba(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr));
    EXPECT_EQ(rgba, (Bytes{199, 100, 50, 128, 0, 0, 0, 0, 10, 20, 30, 255, 255, 0, 0, 64}));
}

TEST_F(ImageCodecTest, PngWriteFailuresReportAndLeaveNoFile)
{
    const std::uint32_t px[4] = {};
    std::string reason;
    const std::string missing = path("no/such/dir.png");
    EXPECT_FALSE(codec::WritePngFile(missing, px, 2, 2, 8, reason));
    EXPECT_EQ(reason, "cannot write " + missing + ": its folder " + path("no/such") + " does not exist");
    EXPECT_FALSE(codec::WritePngFile(path("a.png"), px, 0, 2, 8, reason));
    EXPECT_FALSE(codec::WritePngFile(path("a.png"), px, 2, 2, 7, reason));
    EXPECT_FALSE(codec::WritePngFile(path("a.png"), nullptr, 2, 2, 8, reason));
    fs::create_directory(path("folder.png"));
    EXPECT_FALSE(codec::WritePngFile(path("folder.png"), px, 2, 2, 8, reason));
    EXPECT_NE(reason.find("cannot write " + path("folder.png")), std::string::npos) << reason;

    // A write that runs out of room mid-file must leave the old picture untouched.
    writeFile(path("old.png"), {'o', 'l', 'd'});
    std::vector<std::uint32_t> noise(256 * 256);
    std::mt19937 rng(3);
    for (auto& p : noise) p = rng() | 0xFF000000u;
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = codec::WritePngFile(path("old.png"), noise.data(), 256, 256, 1024, reason);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(reason, "cannot write " + path("old.png") + ": " + std::strerror(EFBIG));
    EXPECT_EQ(readFile(path("old.png")), (Bytes{'o', 'l', 'd'}));

    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir_)) left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"folder.png", "old.png"}));
}
