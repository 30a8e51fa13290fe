// Picture files made at test time for the codec's tests, with libpng, libjpeg, giflib or by
// hand, and the checks every decode is held to; the fixture gives each test a folder of its own.
#pragma once

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

namespace testing_support::codec_files {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using codec::DecodedImage;

inline void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Decoded {
    bool ok;
    DecodedImage img;
    std::string reason;
};

inline Decoded decode(const std::string& path)
{
    Decoded d{false, {}, {}};
    d.img = {3, 1, {1u, 2u, 3u}}; // stale contents that a failure must clear
    d.ok = codec::DecodeImageFile(path, d.img, d.reason);
    return d;
}

// Every failure must say false, leave nothing half-filled behind and give a reason.
inline void expectFailure(const std::string& path, const std::string& reasonPart)
{
    Decoded d = decode(path);
    EXPECT_FALSE(d.ok) << path;
    EXPECT_EQ(d.img.width, 0);
    EXPECT_EQ(d.img.height, 0);
    EXPECT_TRUE(d.img.pixels.empty());
    EXPECT_NE(d.reason.find(reasonPart), std::string::npos) << "reason was: " << d.reason;
}

inline Decoded decodeOk(const std::string& path, int w, int h)
{
    Decoded d = decode(path);
    EXPECT_TRUE(d.ok) << path << ": " << d.reason;
    EXPECT_EQ(d.img.width, w);
    EXPECT_EQ(d.img.height, h);
    EXPECT_EQ(d.img.pixels.size(), std::size_t(w) * std::size_t(h));
    return d;
}

inline void expectNear(std::uint32_t got, unsigned r, unsigned g, unsigned b, unsigned tolerance)
{
    EXPECT_EQ(got >> 24, 0xFFu);
    EXPECT_NEAR(double((got >> 16) & 0xFF), r, tolerance) << std::hex << got;
    EXPECT_NEAR(double((got >> 8) & 0xFF), g, tolerance) << std::hex << got;
    EXPECT_NEAR(double(got & 0xFF), b, tolerance) << std::hex << got;
}

// rows: packed rows as libpng expects them for this colour type and depth.
inline void writePng(const std::string& path, int w, int h, int type, int depth, const Bytes& rows,
                     int interlace = PNG_INTERLACE_NONE, const std::vector<png_color>& palette = {},
                     const Bytes& trns = {})
{
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, depth, type, interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
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

inline void writeJpeg(const std::string& path, int w, int h, J_COLOR_SPACE space, int comps, const Bytes& px,
                      bool progressive = false)
{
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

inline void writeGif(const std::string& path, int sw, int sh, const std::vector<GifColorType>& colours,
                     const std::vector<GifFrame>& frames)
{
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
            for (int y = f.interlace ? start[pass] : 0; y < f.h; y += f.interlace ? step[pass] : 1) order.push_back(y);
        for (int y : order) EGifPutLine(gif, const_cast<GifPixelType*>(f.px.data()) + y * f.w, f.w);
    }
    ASSERT_EQ(EGifCloseFile(gif, &err), GIF_OK);
}

inline void put16(Bytes& b, std::uint32_t v)
{
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
inline void put32(Bytes& b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// rows: padded rows in file order; palette: BGRA quads.
inline Bytes makeBmp(std::int32_t w, std::int32_t h, int bpp, const Bytes& rows, const Bytes& palette = {})
{
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
inline Bytes pngHeaderOnly(std::uint32_t w, std::uint32_t h)
{
    Bytes chunk = {'I', 'H', 'D', 'R'};
    for (std::uint32_t v : {w, h})
        for (int s = 24; s >= 0; s -= 8) chunk.push_back(std::uint8_t(v >> s));
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
    std::string samplePng()
    {
        writePng(path("s.png"), 3, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, Bytes(24, 0x7F));
        return path("s.png");
    }
    std::string sampleJpeg()
    {
        Bytes px(16 * 8 * 3);
        for (std::size_t i = 0; i < px.size(); ++i) px[i] = std::uint8_t(i * 7);
        writeJpeg(path("s.jpg"), 16, 8, JCS_RGB, 3, px);
        return path("s.jpg");
    }
    std::string sampleGif()
    {
        std::vector<GifPixelType> px(8 * 5);
        for (std::size_t i = 0; i < px.size(); ++i) px[i] = GifPixelType(i % 4);
        writeGif(path("s.gif"), 8, 5, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, {{0, 0, 8, 5, false, 2, px}});
        return path("s.gif");
    }
    std::string sampleBmp()
    {
        writeFile(path("s.bmp"), makeBmp(2, 2, 24, Bytes(16, 0x40)));
        return path("s.bmp");
    }

    testing_support::ScratchDir scratch_{"image-codec-test"};
    const std::string& dir_ = scratch_.Path();
};

} // namespace testing_support::codec_files
