// Reading image files into premultiplied ARGB pixels and writing screens as PNG files.
// Decoding goes through libpng, libjpeg-turbo, giflib and stb_image; nothing here decodes by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace codec {

struct DecodedImage {
    int width = 0;
    int height = 0;
    // width*height words, 0xAARRGGBB with alpha premultiplied, rows packed.
    std::vector<std::uint32_t> pixels;
};

// The largest picture decoded, and the largest frame any camera source takes: larger ones
// would cost hundreds of megabytes and are never legitimate on a phone screen, so a crafted
// header must not get that far.
inline constexpr std::uint32_t kMaxSide = 16384;
inline constexpr std::uint64_t kMaxPixels = 64ull * 1024 * 1024;

// Whether a picture of width x height keeps within kMaxSide and kMaxPixels.
bool WithinSizeBounds(std::uint64_t width, std::uint64_t height);

// The size the frame header of a JPEG in memory claims, found without decoding anything (a
// video's frames each carry their own, whatever the container says); false when the data
// is no JPEG or ends before its frame header.
bool JpegFrameSize(const std::uint8_t* data, std::size_t size, std::uint32_t& width, std::uint32_t& height);

// What a caller allows beyond the codec's own bounds.
struct Limits {
    // Asked with the picture's size once it is known and before any of its pixels are
    // allocated; false (with a reason) refuses the picture. Empty: the codec's bounds only.
    std::function<bool(int width, int height, std::string& reason)> accept;
};

// How the decoder is chosen. By suffix: the path's last letters, any case ("png",
// "jpg"/"jpeg", "bmp", "gif"), and the content must be of that format. By content: the
// format the file's first bytes announce, or the suffix's when they announce none.
enum class Recognise { BySuffix, ByContent };

// On failure returns false, leaves `out` empty and sets a short reason such as
// "file not found", "not a PNG file", "truncated JPEG data" or "out of memory"; running
// out of memory is a failure like any other, never an exception.
bool DecodeImageFile(const std::string& path, DecodedImage& out, std::string& reason, const Limits& limits = {},
                     Recognise recognise = Recognise::BySuffix);

// The picture format ("PNG", "JPEG", "GIF", "BMP") that the first bytes of a regular file
// announce; null for anything else, including files that cannot be read and FIFOs or
// devices, which are never opened.
const char* PictureFormatOf(const std::string& path);

// Writes `height` rows of `width` premultiplied ARGB words, `stride` bytes apart, as an
// 8-bit RGBA PNG (alpha un-premultiplied). Returns false with a reason on failure.
// A regular file at `path` is replaced, at once and only when the new one is complete.
bool WritePngFile(const std::string& path, const std::uint32_t* pixels, int width, int height, int stride,
                  std::string& reason);

// The same, as a new file: the first free name of STEM.png, STEM-2.png, STEM-3.png… is taken
// in the act of naming the complete file, so nothing that is there (a file, a symbolic link
// planted a moment before, another writer's picture) is followed or replaced. `written` is
// the name taken.
bool WriteNewPngFile(const std::string& stem, const std::uint32_t* pixels, int width, int height, int stride,
                     std::string& written, std::string& reason);

} // namespace codec
