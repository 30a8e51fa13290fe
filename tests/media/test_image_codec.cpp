// Tests for reading PNG, JPEG, GIF and BMP files into premultiplied ARGB: every colour
// type, damaged and truncated files, and sizes refused from the header.
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

TEST_F(ImageCodecTest, PngColourTypesAllBecomePremultipliedArgb) {
    writePng(path("rgba.png"), 2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {200, 100, 50, 128, 10, 20, 30, 255});
    Decoded d = decodeOk(path("rgba.png"), 2, 1);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0x80643219, 0xFF0A141E}));

    // 2-bit palette with tRNS: index 0 fully clear, index 1 half clear, the rest opaque.
    writePng(path("pal.png"), 4, 1, PNG_COLOR_TYPE_PALETTE, 2, {0x1B}, PNG_INTERLACE_NONE,
             {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}, {9, 9, 9}}, {0, 128});
    d = decodeOk(path("pal.png"), 4, 1);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0, 0x80000080, 0xFF00FF00, 0xFF090909}));

    writePng(path("grey16.png"), 2, 1, PNG_COLOR_TYPE_GRAY, 16, {0x80, 0x80, 0xFF, 0xFF});
    d = decodeOk(path("grey16.png"), 2, 1);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0xFF808080, 0xFFFFFFFF}));

    writePng(path("greyalpha.png"), 1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {100, 51});
    EXPECT_EQ(decodeOk(path("greyalpha.png"), 1, 1).img.pixels[0], 0x33141414u);

    writePng(path("bits.png"), 4, 1, PNG_COLOR_TYPE_GRAY, 1, {0xA0});
    d = decodeOk(path("bits.png"), 4, 1);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000}));

    // Adam7 puts neighbouring pixels in different passes; every one must land in its place.
    Bytes rows;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) rows.insert(rows.end(), {std::uint8_t(x * 20), std::uint8_t(y * 20), std::uint8_t(x + y)});
    writePng(path("adam7.png"), 9, 9, PNG_COLOR_TYPE_RGB, 8, rows, PNG_INTERLACE_ADAM7);
    d = decodeOk(path("adam7.png"), 9, 9);
    for (int y = 0; y < 9 && d.ok; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(d.img.pixels[y * 9 + x], 0xFF000000u | (x * 20) << 16 | (y * 20) << 8 | (x + y)) << x << "," << y;
}

TEST_F(ImageCodecTest, JpegColourSpacesDecodeWithinTolerance) {
    // Four flat quadrants, so chroma subsampling only blurs near the seams we do not probe.
    const unsigned quad[4][3] = {{200, 30, 40}, {20, 180, 90}, {40, 60, 220}, {240, 240, 40}};
    Bytes rgb;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            for (unsigned v : quad[(y / 16) * 2 + x / 16]) rgb.push_back(std::uint8_t(v));
    for (bool progressive : {false, true}) {
        writeJpeg(path("q.jpg"), 32, 32, JCS_RGB, 3, rgb, progressive);
        Decoded d = decodeOk(path("q.jpg"), 32, 32);
        for (int q = 0; q < 4 && d.ok; ++q)
            expectNear(d.img.pixels[((q / 2) * 16 + 8) * 32 + (q % 2) * 16 + 8], quad[q][0], quad[q][1], quad[q][2], 6);
    }

    writeJpeg(path("grey.jpeg"), 16, 16, JCS_GRAYSCALE, 1, Bytes(256, 77));
    Decoded d = decodeOk(path("grey.jpeg"), 16, 16);
    if (d.ok) expectNear(d.img.pixels[100], 77, 77, 77, 2);

    // libjpeg marks CMYK files as Adobe's, whose ink values are stored inverted: this is red.
    Bytes cmyk;
    for (int i = 0; i < 256; ++i) cmyk.insert(cmyk.end(), {255, 0, 0, 255});
    writeJpeg(path("cmyk.jpg"), 16, 16, JCS_CMYK, 4, cmyk);
    d = decodeOk(path("cmyk.jpg"), 16, 16);
    if (d.ok) expectNear(d.img.pixels[100], 255, 0, 0, 4);
}

TEST_F(ImageCodecTest, GifTakesFirstFrameWithTransparencyAndInterlace) {
    // A 4x10 interlaced frame at (1,0) on a 6x10 screen; index 3 is transparent.
    std::vector<GifPixelType> px(40);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 4; ++x) px[y * 4 + x] = GifPixelType((x + y) % 4);
    GifFrame second{0, 0, 6, 10, false, -1, std::vector<GifPixelType>(60, 0)};
    writeGif(path("anim.gif"), 6, 10, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}},
             {{1, 0, 4, 10, true, 3, px}, second});
    Decoded d = decodeOk(path("anim.gif"), 6, 10);
    const std::uint32_t colour[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0};
    for (int y = 0; y < 10 && d.ok; ++y) {
        EXPECT_EQ(d.img.pixels[y * 6], 0u) << "outside the frame, row " << y;
        EXPECT_EQ(d.img.pixels[y * 6 + 5], 0u) << "outside the frame, row " << y;
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(d.img.pixels[y * 6 + 1 + x], colour[(x + y) % 4]) << x << "," << y;
    }
}

TEST_F(ImageCodecTest, BmpRowOrderPaletteAndAlpha) {
    // Bottom-up storage: the file's first row is the picture's last.
    const Bytes rows = {255, 0, 0, 255, 255, 255, 0, 0, /* blue, white */ 0, 0, 255, 0, 255, 0, 0, 0 /* red, green */};
    writeFile(path("up.bmp"), makeBmp(2, 2, 24, rows));
    Decoded d = decodeOk(path("up.bmp"), 2, 2);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}));
    writeFile(path("down.bmp"), makeBmp(2, -2, 24, rows));
    d = decodeOk(path("down.bmp"), 2, 2);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0xFF0000FF, 0xFFFFFFFF, 0xFFFF0000, 0xFF00FF00}));

    const Bytes palette = {0, 0, 200, 0, 200, 0, 0, 0}; // red, blue
    writeFile(path("pal.bmp"), makeBmp(3, 1, 8, {0, 1, 0, 0}, palette));
    d = decodeOk(path("pal.bmp"), 3, 1);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0xFFC80000, 0xFF0000C8, 0xFFC80000}));
    // Index 2 has no palette entry behind it.
    writeFile(path("badpal.bmp"), makeBmp(3, 1, 8, {0, 2, 0, 0}, palette));
    expectFailure(path("badpal.bmp"), "corrupt BMP data");

    writeFile(path("alpha.bmp"), makeBmp(2, 1, 32, {50, 100, 200, 128, 30, 20, 10, 255}));
    d = decodeOk(path("alpha.bmp"), 2, 1);
    EXPECT_EQ(d.img.pixels, (std::vector<std::uint32_t>{0x80643219, 0xFF0A141E}));
}

TEST_F(ImageCodecTest, SuffixChoosesDecoderAndContentMustMatch) {
    const Bytes png = readFile(samplePng()), jpeg = readFile(sampleJpeg());
    for (const char* name : {"UPPER.PNG", "xpng", "a.PnG"}) {
        writeFile(path(name), png);
        decodeOk(path(name), 3, 2);
    }
    for (const char* name : {"b.JPEG", "cjpg", "d.Jpg"}) {
        writeFile(path(name), jpeg);
        decodeOk(path(name), 16, 8);
    }
    writeFile(path("e.tiff"), png);
    expectFailure(path("e.tiff"), "unsupported image format");
    writeFile(path("png-named.jpg"), png);
    expectFailure(path("png-named.jpg"), "not a JPEG file");
    writeFile(path("jpeg-named.png"), jpeg);
    expectFailure(path("jpeg-named.png"), "not a PNG file");
    writeFile(path("png-named.gif"), png);
    expectFailure(path("png-named.gif"), "not a GIF file");
    writeFile(path("png-named.bmp"), png);
    expectFailure(path("png-named.bmp"), "not a BMP file");
}

TEST_F(ImageCodecTest, MissingEmptyAndGarbageFilesFail) {
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

TEST_F(ImageCodecTest, EveryTruncationFails) {
    const std::pair<std::string, std::string> samples[] = {
        {samplePng(), "truncated PNG data"}, {sampleJpeg(), "truncated JPEG data"},
        {sampleGif(), "truncated GIF data"}, {sampleBmp(), "truncated BMP data"}};
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

TEST_F(ImageCodecTest, HugeDimensionsAreRefusedFromTheHeader) {
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

TEST_F(ImageCodecTest, DamagedFilesNeverCrashOrHalfFill) {
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
