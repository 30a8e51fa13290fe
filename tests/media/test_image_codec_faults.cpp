// Picture files that are missing, empty, cut short, damaged or claim a huge size: each fails
// with a reason, leaves nothing half-filled, and costs no more than its first bytes to judge.
#include "media/test_image_codec_files.h"

using namespace testing_support::codec_files;

TEST_F(ImageCodecTest, MissingEmptyAndGarbageFilesFail)
{
    expectFailure(path("nothere.png"), "file not found");
    expectFailure(path("no/such/dir.gif"), "file not found");
    fs::create_directory(path("folder.png"));
    expectFailure(path("folder.png"), std::string("cannot read: ") + std::strerror(EISDIR));
    std::mt19937 rng(7);
    for (const char* ext : {"png", "jpg", "gif", "bmp"}) {
        writeFile(path(std::string("empty.") + ext), {});
        expectFailure(path(std::string("empty.") + ext), "empty file");
        Bytes junk(300);
        for (auto& b : junk) b = std::uint8_t(rng() % 200 + 1);
        writeFile(path(std::string("junk.") + ext), junk);
        expectFailure(path(std::string("junk.") + ext), "not a");
    }
}

TEST_F(ImageCodecTest, EveryTruncationFails)
{
    const std::pair<std::string, std::string> samples[] = {{samplePng(), "truncated PNG data"},
                                                           {sampleJpeg(), "truncated JPEG data"},
                                                           {sampleGif(), "truncated GIF data"},
                                                           {sampleBmp(), "truncated BMP data"}};
    for (const auto& [file, reason] : samples) {
        const Bytes whole = readFile(file);
        // A GIF's trailer byte is not needed once the first frame is complete.
        const std::size_t end = whole.size() - (reason.find("GIF") != std::string::npos ? 1 : 0);
        const std::string cut = file + ".cut." + fs::path(file).extension().string().substr(1);
        for (std::size_t n = 1; n < end; ++n) {
            SCOPED_TRACE(file + " cut to " + std::to_string(n) + " bytes");
            writeFile(cut, Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(n)));
            expectFailure(cut, reason);
        }
    }
    // Scan data that stops early but still ends in EOI: libjpeg would only warn and fill in grey.
    const Bytes jpeg = readFile(sampleJpeg());
    std::size_t scan = 0;
    for (std::size_t i = 0; i + 3 < jpeg.size() && !scan; ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) scan = i + 2 + (jpeg[i + 2] << 8 | jpeg[i + 3]);
    ASSERT_GT(scan, 0u);
    Bytes shortScan(jpeg.begin(), jpeg.begin() + std::ptrdiff_t((scan + jpeg.size()) / 2));
    shortScan.insert(shortScan.end(), {0xFF, 0xD9});
    writeFile(path("short-scan.jpg"), shortScan);
    expectFailure(path("short-scan.jpg"), "truncated JPEG data");
}

TEST_F(ImageCodecTest, HugeDimensionsAreRefusedFromTheHeader)
{
    writeFile(path("wide.png"), pngHeaderOnly(100000, 1));
    expectFailure(path("wide.png"), "image too large (100000x1)");
    writeFile(path("many.png"), pngHeaderOnly(10000, 10000));
    expectFailure(path("many.png"), "image too large (10000x10000)");
    writeFile(path("limit.png"), pngHeaderOnly(16384, 4096)); // exactly 64 Mi pixels is allowed
    expectFailure(path("limit.png"), "truncated PNG data");
    writeFile(path("over.png"), pngHeaderOnly(16384, 4097));
    expectFailure(path("over.png"), "image too large (16384x4097)");
    writeFile(path("side.png"), pngHeaderOnly(16384, 1));
    expectFailure(path("side.png"), "truncated PNG data");
    writeFile(path("past.png"), pngHeaderOnly(16385, 1));
    expectFailure(path("past.png"), "image too large (16385x1)");
    EXPECT_TRUE(codec::WithinSizeBounds(16384, 4096));
    EXPECT_FALSE(codec::WithinSizeBounds(16384, 4097));
    EXPECT_FALSE(codec::WithinSizeBounds(1, 16385));
    EXPECT_FALSE(codec::WithinSizeBounds(1u << 31, 1u << 31)); // their product overflows 32 bits

    writeFile(path("huge.bmp"), makeBmp(40000, -2, 24, {}));
    expectFailure(path("huge.bmp"), "image too large (40000x2)");

    Bytes gif = readFile(sampleGif());
    gif[6] = 20000 & 0xFF; // screen width, little-endian
    gif[7] = 20000 >> 8;
    writeFile(path("huge.gif"), gif);
    expectFailure(path("huge.gif"), "image too large (20000x5)");

    Bytes jpeg = readFile(sampleJpeg());
    for (std::size_t i = 0; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = jpeg[i + 7] = 20000 >> 8; // height, then width, big-endian
            jpeg[i + 6] = jpeg[i + 8] = 20000 & 0xFF;
            break;
        }
    writeFile(path("huge.jpg"), jpeg);
    expectFailure(path("huge.jpg"), "image too large (20000x20000)");
}

TEST_F(ImageCodecTest, DamagedFilesNeverCrashOrHalfFill)
{
    Bytes png = readFile(samplePng());
    png[png.size() - 20] ^= 0x55; // inside IDAT: the chunk's CRC no longer matches
    writeFile(path("crc.png"), png);
    expectFailure(path("crc.png"), "corrupt PNG data");

    std::mt19937 rng(12345);
    for (const std::string& file : {samplePng(), sampleJpeg(), sampleGif(), sampleBmp()}) {
        const Bytes whole = readFile(file);
        const std::string spoilt = file + ".x" + fs::path(file).extension().string().substr(1);
        for (int round = 0; round < 300; ++round) {
            Bytes b = whole;
            for (unsigned k = 0, n = 1 + rng() % 4; k < n; ++k) b[rng() % b.size()] = std::uint8_t(rng());
            writeFile(spoilt, b);
            Decoded d = decode(spoilt);
            SCOPED_TRACE(file + " round " + std::to_string(round) + ": " + d.reason);
            if (d.ok) {
                EXPECT_GT(d.img.width, 0);
                EXPECT_EQ(d.img.pixels.size(), std::size_t(d.img.width) * std::size_t(d.img.height));
            } else {
                EXPECT_TRUE(d.img.pixels.empty() && d.img.width == 0 && d.img.height == 0);
                EXPECT_FALSE(d.reason.empty());
            }
        }
    }
}

// A file's first bytes decide whether the rest is read: hundreds of megabytes of anything
// but the picture they should be cost a few bytes. The files are sparse, so cost no disk.
TEST_F(ImageCodecTest, ALargeFileIsJudgedByItsFirstBytesBeforeTheRestIsRead)
{
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
    const Bytes text = {'#', ' ', 'n', 'o', 't', 'e', 's', ' ', 'o', 'n', ' ', 't', 'h', 'e',  ' ',  'p',
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

TEST_F(ImageCodecTest, TheCallersLimitSeesTheSizeBeforeAnyPixelAndItsReasonStands)
{
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
