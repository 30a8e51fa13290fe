// Tests for reading PNG, JPEG, GIF and BMP files into premultiplied ARGB and writing PNGs.
// Every file is made here at test time with libpng, libjpeg, giflib or by hand.
#include "codec/ImageCodec.h"

#include <gtest/gtest.h>

#include "support/Scratch.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using codec::DecodedImage;

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Decoded {
    bool ok;
    DecodedImage img;
    std::string reason;
};

Decoded decode(const std::string& path) {
    Decoded d{false, {}, {}};
    d.img = {3, 1, {1u, 2u, 3u}}; // stale contents that a failure must clear
    d.ok = codec::DecodeImageFile(path, d.img, d.reason);
    return d;
}

// Every failure must say false, leave nothing half-filled behind and give a reason.
void expectFailure(const std::string& path, const std::string& reasonPart) {
    Decoded d = decode(path);
    EXPECT_FALSE(d.ok) << path;
    EXPECT_EQ(d.img.width, 0);
    EXPECT_EQ(d.img.height, 0);
    EXPECT_TRUE(d.img.pixels.empty());
    EXPECT_NE(d.reason.find(reasonPart), std::string::npos) << "reason was: " << d.reason;
}

Decoded decodeOk(const std::string& path, int w, int h) {
    Decoded d = decode(path);
    EXPECT_TRUE(d.ok) << path << ": " << d.reason;
    EXPECT_EQ(d.img.width, w);
    EXPECT_EQ(d.img.height, h);
    EXPECT_EQ(d.img.pixels.size(), std::size_t(w) * std::size_t(h));
    return d;
}

void expectNear(std::uint32_t got, unsigned r, unsigned g, unsigned b, unsigned tolerance) {
    EXPECT_EQ(got >> 24, 0xFFu);
    EXPECT_NEAR(double((got >> 16) & 0xFF), r, tolerance) << std::hex << got;
    EXPECT_NEAR(double((got >> 8) & 0xFF), g, tolerance) << std::hex << got;
    EXPECT_NEAR(double(got & 0xFF), b, tolerance) << std::hex << got;
}

// rows: packed rows as libpng expects them for this colour type and depth.
void writePng(const std::string& path, int w, int h, int type, int depth, const Bytes& rows,
              int interlace = PNG_INTERLACE_NONE, const std::vector<png_color>& palette = {},
              const Bytes& trns = {}) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, depth, type, interlace, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!trns.empty()) png_set_tRNS(png, info, trns.data(), int(trns.size()), nullptr);
    png_write_info(png, info);
    std::vector<png_bytep> rowPtrs;
    const std::size_t stride = rows.size() / std::size_t(h);
    for (int y = 0; y < h; ++y) rowPtrs.push_back(const_cast<png_bytep>(rows.data()) + y * stride);
    png_write_image(png, rowPtrs.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

void writeJpeg(const std::string& path, int w, int h, J_COLOR_SPACE space, int comps,
               const Bytes& px, bool progressive = false) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = comps;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(px.data()) + std::size_t(c.next_scanline) * w * comps;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

struct GifFrame {
    int left, top, w, h;
    bool interlace;
    int transparent; // -1 for none
    std::vector<GifPixelType> px;
};

void writeGif(const std::string& path, int sw, int sh, const std::vector<GifColorType>& colours,
              const std::vector<GifFrame>& frames) {
    int err = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
    ASSERT_TRUE(gif);
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = GifMakeMapObject(int(colours.size()), colours.data());
    ASSERT_EQ(EGifPutScreenDesc(gif, sw, sh, 8, 0, map), GIF_OK);
    GifFreeMapObject(map);
    for (const GifFrame& f : frames) {
        if (f.transparent >= 0) {
            GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, f.transparent};
            GifByteType ext[4];
            EGifGCBToExtension(&gcb, ext);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
        }
        EGifPutImageDesc(gif, f.left, f.top, f.w, f.h, f.interlace, nullptr);
        std::vector<int> order;
        const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < (f.interlace ? 4 : 1); ++pass)
            for (int y = f.interlace ? start[pass] : 0; y < f.h; y += f.interlace ? step[pass] : 1)
                order.push_back(y);
        for (int y : order)
            EGifPutLine(gif, const_cast<GifPixelType*>(f.px.data()) + y * f.w, f.w);
    }
    ASSERT_EQ(EGifCloseFile(gif, &err), GIF_OK);
}

void put16(Bytes& b, std::uint32_t v) { b.push_back(v & 0xFF); b.push_back((v >> 8) & 0xFF); }
void put32(Bytes& b, std::uint32_t v) { put16(b, v & 0xFFFF); put16(b, v >> 16); }

// rows: padded rows in file order; palette: BGRA quads.
Bytes makeBmp(std::int32_t w, std::int32_t h, int bpp, const Bytes& rows, const Bytes& palette = {}) {
    Bytes b = {'B', 'M'};
    put32(b, std::uint32_t(14 + 40 + palette.size() + rows.size()));
    put32(b, 0);
    put32(b, std::uint32_t(14 + 40 + palette.size()));
    for (std::uint32_t v : {40u, std::uint32_t(w), std::uint32_t(h)}) put32(b, v);
    put16(b, 1);
    put16(b, std::uint32_t(bpp));
    for (std::uint32_t v : {0u, std::uint32_t(rows.size()), 2835u, 2835u, std::uint32_t(palette.size() / 4), 0u})
        put32(b, v);
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

// A bare PNG signature and IHDR: a decoder that trusted the size would allocate first.
Bytes pngHeaderOnly(std::uint32_t w, std::uint32_t h) {
    Bytes chunk = {'I', 'H', 'D', 'R'};
    for (std::uint32_t v : {w, h}) for (int s = 24; s >= 0; s -= 8) chunk.push_back(std::uint8_t(v >> s));
    chunk.insert(chunk.end(), {8, 6, 0, 0, 0});
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::uint8_t byte : chunk) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFF;
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
    for (std::uint8_t byte : chunk) b.push_back(byte);
    for (int s = 24; s >= 0; s -= 8) b.push_back(std::uint8_t(crc >> s));
    return b;
}

class ImageCodecTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    // One small valid file of each format, for the failure tests to spoil.
    std::string samplePng() {
        writePng(path("s.png"), 3, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, Bytes(24, 0x7F));
        return path("s.png");
    }
    std::string sampleJpeg() {
        Bytes px(16 * 8 * 3);
        for (std::size_t i = 0; i < px.size(); ++i) px[i] = std::uint8_t(i * 7);
        writeJpeg(path("s.jpg"), 16, 8, JCS_RGB, 3, px);
        return path("s.jpg");
    }
    std::string sampleGif() {
        std::vector<GifPixelType> px(8 * 5);
        for (std::size_t i = 0; i < px.size(); ++i) px[i] = GifPixelType(i % 4);
        writeGif(path("s.gif"), 8, 5, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}},
                 {{0, 0, 8, 5, false, 2, px}});
        return path("s.gif");
    }
    std::string sampleBmp() {
        writeFile(path("s.bmp"), makeBmp(2, 2, 24, Bytes(16, 0x40)));
        return path("s.bmp");
    }

    testing_support::ScratchDir scratch_{"image-codec-test"};
    const std::string& dir_ = scratch_.Path();
};

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

} // namespace

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
