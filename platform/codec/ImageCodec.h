// Reading image files into premultiplied ARGB pixels and writing screens as PNG files.
// Decoding goes through libpng, libjpeg-turbo, giflib and stb_image; nothing here decodes by hand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace codec {

struct DecodedImage {
    int width = 0;
    int height = 0;
    // width*height words, 0xAARRGGBB with alpha premultiplied, rows packed.
    std::vector<std::uint32_t> pixels;
};

// The decoder is chosen by the path's suffix (the last letters, any case: "png",
// "jpg"/"jpeg", "bmp", "gif"); the file's content must be of that format.
// On failure returns false, leaves `out` empty and sets a short reason such as
// "file not found", "not a PNG file" or "truncated JPEG data".
bool DecodeImageFile(const std::string& path, DecodedImage& out, std::string& reason);

// Writes `height` rows of `width` premultiplied ARGB words, `stride` bytes apart, as an
// 8-bit RGBA PNG (alpha un-premultiplied). Returns false with a reason on failure.
bool WritePngFile(const std::string& path, const std::uint32_t* pixels, int width, int height,
                  int stride, std::string& reason);

} // namespace codec
