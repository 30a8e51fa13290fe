// Pictures for the tests of the photo source and the cover drawing: painted, written as JPEG
// (with EXIF orientation) or PNG, and the check that a frame shows them where the aim says.
#pragma once

#include "backends/photo/PhotoSource.h"
#include "codec/ImageCodec.h"
#include "picture/CoverDraw.h"

#include <gtest/gtest.h>

#include "support/Frames.h"
#include "support/Scratch.h"

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace photo_pictures {

using device::Aim;
using device::PixelView;

using testing_support::Frame;
using testing_support::kPoison;
using testing_support::Near;
using testing_support::ScratchDir;

inline constexpr std::uint32_t kBlack = 0xFF000000u;
inline constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
inline constexpr std::uint32_t kGrey = 0xFF606060u;
inline constexpr std::uint32_t kRed = 0xFFE01010u;
inline constexpr std::uint32_t kGreen = 0xFF10C020u;
inline constexpr std::uint32_t kBlue = 0xFF1020E0u;
inline constexpr std::uint32_t kYellow = 0xFFF0E010u;

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const
    {
        return pixels[std::size_t(std::clamp(y, 0, height - 1)) * width + std::clamp(x, 0, width - 1)];
    }
};

inline Picture Paint(int width, int height, const std::function<std::uint32_t(int, int)>& colour)
{
    Picture p{width, height, {}};
    p.pixels.resize(std::size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p.pixels[std::size_t(y) * width + x] = colour(x, y);
    return p;
}

// Four coloured quadrants (red, green / blue, yellow) under a white band along the top and a
// grey band down the left, so that cropping and stretching both show.
inline Picture Quadrants(int width = 200, int height = 150)
{
    return Paint(width, height, [=](int x, int y) {
        if (y < 20) return kWhite;
        if (x < 20) return kGrey;
        if (y < height / 2) return x < width / 2 ? kRed : kGreen;
        return x < width / 2 ? kBlue : kYellow;
    });
}

// With an orientation from 1 to 8, the file carries it in EXIF data as a phone camera writes it.
inline bool WriteJpeg(const std::string& path, const Picture& picture, int exifOrientation = 0)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
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
        const JOCTET exif[] = {'E', 'x',  'i',  'f', 0,
                               0,   'I',  'I',  42,  0,
                               8,   0,    0,    0,   1,
                               0,   0x12, 0x01, 3,   0,
                               1,   0,    0,    0,   JOCTET(exifOrientation),
                               0,   0,    0,    0,   0,
                               0,   0};
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

inline std::string WritePng(const ScratchDir& dir, const std::string& name, const Picture& picture)
{
    std::string path = dir.File(name), reason;
    EXPECT_TRUE(
        codec::WritePngFile(path, picture.pixels.data(), picture.width, picture.height, picture.width * 4, reason))
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
inline int ExpectFollowsAim(const Frame& frame, const Picture& picture, const Aim& aim, int tolerance, double margin,
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
            if (nearEdge) continue;
            std::uint32_t expected = kBlack;
            if (inside) {
                const double rx = margin / pixelAspect;
                expected = picture.At(int(std::floor(px)), int(std::floor(py)));
                bool uniform = true;
                for (double dx : {-rx, 0.0, rx})
                    for (double dy : {-margin, 0.0, margin})
                        uniform = uniform && picture.At(int(std::floor(px + dx)), int(std::floor(py + dy))) == expected;
                if (!uniform) continue;
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

inline Frame RenderPhoto(photo::PhotoSource& source, int width, int height, const Aim& aim, int padWords = 0)
{
    Frame f(width, height, padWords);
    source.SetAim(aim);
    std::string reason;
    EXPECT_TRUE(source.Render(0, f.View(), reason)) << reason;
    return f;
}

inline int Distance(std::uint32_t a, std::uint32_t b)
{
    int d = 0;
    for (int shift = 0; shift < 24; shift += 8) d += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
    return d;
}

// The first column in row y, scanning rightwards from `from`, that is nearer to `right` than
// to `left`: where an edge between the two colours lies, to the pixel.
inline int EdgeColumn(const Frame& f, int y, std::uint32_t left, std::uint32_t right, int from = 0)
{
    for (int x = from; x < f.width; ++x)
        if (Distance(f.At(x, y), right) < Distance(f.At(x, y), left)) return x;
    return f.width;
}

} // namespace photo_pictures
