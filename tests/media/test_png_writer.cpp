// Tests for writing PNGs and for what decides a decoder: the content over the file's name,
// a JPEG frame's size from its header, a large file judged by its first bytes, the caller's limit.
#include "codec/ImageCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "media/CodecFiles.h"

using namespace codec_files;
namespace fs = std::filesystem;

TEST_F(ImageCodecTest, PngWriteRoundTripsEveryPremultipliedValue) {
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

TEST_F(ImageCodecTest, PngWriteStoresStraightAlpha) {
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

TEST_F(ImageCodecTest, PngWriteFailuresReportAndLeaveNoFile) {
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


TEST_F(ImageCodecTest, ContentNamesThePictureWhateverTheFileIsCalled) {
    struct Sample {
        std::string file;
        const char* format;
        int width, height;
    };
    for (const Sample& s : {Sample{samplePng(), "PNG", 3, 2}, Sample{sampleJpeg(), "JPEG", 16, 8},
                            Sample{sampleGif(), "GIF", 8, 5}, Sample{sampleBmp(), "BMP", 2, 2}}) {
        const std::string renamed = path(std::string("picture-") + s.format + ".mp4");
        writeFile(renamed, readFile(s.file));
        const char* format = codec::PictureFormatOf(renamed);
        ASSERT_NE(format, nullptr) << s.format;
        EXPECT_STREQ(format, s.format);
        DecodedImage img;
        std::string reason;
        EXPECT_TRUE(codec::DecodeImageFile(renamed, img, reason, {}, codec::Recognise::ByContent)) << reason;
        EXPECT_EQ(img.width, s.width);
        EXPECT_EQ(img.height, s.height);
        // By its suffix the same file is no picture at all.
        EXPECT_FALSE(codec::DecodeImageFile(renamed, img, reason));
    }

    // Text that happens to start like a BMP, a missing file and a FIFO (never opened, so
    // nothing hangs) are no pictures.
    writeFile(path("notes.txt"), Bytes{'B', 'M', ' ', 'i', 's', ' ', 'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c',
                                       't', 'u', 'r', 'e', '\n'});
    EXPECT_EQ(codec::PictureFormatOf(path("notes.txt")), nullptr);
    EXPECT_EQ(codec::PictureFormatOf(path("missing.gif")), nullptr);
    ASSERT_EQ(mkfifo(path("pipe.gif").c_str(), 0600), 0);
    EXPECT_EQ(codec::PictureFormatOf(path("pipe.gif")), nullptr);
    DecodedImage img;
    std::string reason;
    EXPECT_FALSE(codec::DecodeImageFile(path("notes.txt"), img, reason, {}, codec::Recognise::ByContent));
    EXPECT_EQ(reason, "not a picture (PNG, JPEG, GIF or BMP)");
    // Content that announces nothing is judged by the suffix's decoder.
    writeFile(path("notes.jpg"), readFile(path("notes.txt")));
    EXPECT_FALSE(codec::DecodeImageFile(path("notes.jpg"), img, reason, {}, codec::Recognise::ByContent));
    EXPECT_EQ(reason, "not a JPEG file");
}

// A video's JPEG frames are sized from their headers alone: baseline or progressive, past
// whatever segments come first, and never past the data's end.
TEST_F(ImageCodecTest, JpegFrameSizeReadsTheFrameHeaderOnly) {
    std::uint32_t w = 0, h = 0;
    auto sizeOf = [&](const Bytes& b) { return codec::JpegFrameSize(b.data(), b.size(), w, h); };
    Bytes px(37 * 21 * 3, 0x55);
    for (bool progressive : {false, true}) {
        writeJpeg(path("f.jpg"), 37, 21, JCS_RGB, 3, px, progressive);
        Bytes jpeg = readFile(path("f.jpg"));
        ASSERT_TRUE(sizeOf(jpeg)) << progressive;
        EXPECT_EQ(w, 37u);
        EXPECT_EQ(h, 21u);
        // A comment and fill bytes before the frame header change nothing.
        Bytes padded(jpeg.begin(), jpeg.begin() + 2);
        padded.insert(padded.end(), {0xFF, 0xFE, 0x00, 0x05, 'a', 'b', 'c', 0xFF, 0xFF});
        padded.insert(padded.end(), jpeg.begin() + 2, jpeg.end());
        ASSERT_TRUE(sizeOf(padded));
        EXPECT_EQ(w, 37u);
        // Cut off inside the frame header: no size.
        std::size_t sof = 0;
        for (std::size_t i = 2; i + 1 < jpeg.size() && !sof; ++i)
            if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) sof = i;
        ASSERT_GT(sof, 0u);
        EXPECT_FALSE(sizeOf(Bytes(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(sof + 8))));
        EXPECT_TRUE(sizeOf(Bytes(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(sof + 9))));
    }
    EXPECT_FALSE(sizeOf(readFile(samplePng())));
    EXPECT_FALSE(sizeOf(Bytes{0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02})); // image data before any frame header
    EXPECT_FALSE(sizeOf(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xFF})); // a segment longer than the data
}

// A file's first bytes decide whether the rest is read: hundreds of megabytes of anything
// but the picture they should be cost a few bytes. The files are sparse, so cost no disk.
TEST_F(ImageCodecTest, ALargeFileIsJudgedByItsFirstBytesBeforeTheRestIsRead) {
    auto sparse = [&](const std::string& name, const Bytes& head) {
        writeFile(path(name), head);
        EXPECT_EQ(::truncate(path(name).c_str(), 500'000'000), 0);
        return path(name);
    };
    auto peakKiB = [] {
        rusage use{};
        getrusage(RUSAGE_SELF, &use);
        return use.ru_maxrss;
    };
    const long before = peakKiB();
    const Bytes text = {'#', ' ', 'n', 'o', 't', 'e', 's', ' ', 'o', 'n', ' ', 't', 'h', 'e', ' ', 'p',
                        'i', 'c', 't', 'u', 'r', 'e', 's', ' ', 't', 'a', 'k', 'e', 'n', '\n', '\n', '\n'};
    expectFailure(sparse("notes.png", text), "not a PNG file");
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
    gif.resize(40);
    expectFailure(sparse("renamed.png", gif), "not a PNG file");
    expectFailure(sparse("claims.png", pngHeaderOnly(16384, 4097)), "image too large (16384x4097)");
    DecodedImage img;
    std::string reason;
    EXPECT_FALSE(codec::DecodeImageFile(path("notes.png"), img, reason, {}, codec::Recognise::ByContent));
    EXPECT_EQ(reason, "not a PNG file");
    EXPECT_FALSE(codec::DecodeImageFile(sparse("notes.mp4", text), img, reason, {}, codec::Recognise::ByContent));
    EXPECT_EQ(reason, "not a picture (PNG, JPEG, GIF or BMP)");
    // Reading any one of them whole would have taken 477 MiB.
    EXPECT_LT(peakKiB() - before, 64 * 1024);
}

TEST_F(ImageCodecTest, TheCallersLimitSeesTheSizeBeforeAnyPixelAndItsReasonStands) {
    for (const std::string& file : {samplePng(), sampleJpeg(), sampleGif(), sampleBmp()}) {
        int seenWidth = 0, seenHeight = 0;
        codec::Limits refuse;
        refuse.accept = [&](int w, int h, std::string& why) {
            seenWidth = w;
            seenHeight = h;
            why = "over the budget";
            return false;
        };
        DecodedImage img;
        std::string reason;
        EXPECT_FALSE(codec::DecodeImageFile(file, img, reason, refuse)) << file;
        EXPECT_EQ(reason, "over the budget") << file;
        EXPECT_TRUE(img.pixels.empty());

        codec::Limits allow;
        allow.accept = [](int, int, std::string&) { return true; };
        ASSERT_TRUE(codec::DecodeImageFile(file, img, reason, allow)) << file << ": " << reason;
        EXPECT_EQ(seenWidth, img.width) << file;
        EXPECT_EQ(seenHeight, img.height) << file;
    }
}
