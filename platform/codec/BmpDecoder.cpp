// The BMP decoder: the header and pixel array are checked here, then stb_image decodes;
// it is compiled into this file for BMP alone.
#include "codec/Formats.h"

#include <cstring>
#include <memory>

// Static linkage keeps stb's symbols out of the library's exports, so another user of stb
// cannot clash with this copy.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#include <stb/stb_image.h>

namespace codec::detail {
namespace {

std::uint32_t Le16(const Bytes& d, std::size_t at) { return d[at] | (d[at + 1] << 8); }
std::uint32_t Le32(const Bytes& d, std::size_t at)
{
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (std::uint32_t(d[at + 3]) << 24);
}

struct StbFree {
    void operator()(stbi_uc* p) const { stbi_image_free(p); }
};

// stb_image reads bytes past the end of its buffer as zeros and leaves palette entries it did
// not load uninitialised, so a short file or a stray index would decode as a plausible but
// wrong picture. The header, the pixel array's extent and palette indices are checked here
// first, mirroring the reads stb is about to make.
bool CheckBmp(const Bytes& d, const Limits& limits, std::string& reason)
{
    const Format f = Format::Bmp;
    if (d.size() < 18) {
        reason = TruncatedReason(f);
        return false;
    }
    const std::uint32_t offset = Le32(d, 10);
    const std::uint32_t hsz = Le32(d, 14);
    if (hsz != 12 && hsz != 40 && hsz != 56 && hsz != 108 && hsz != 124) {
        reason = "unsupported BMP data (header of " + std::to_string(hsz) + " bytes)";
        return false;
    }
    if (d.size() < 14 + hsz) {
        reason = TruncatedReason(f);
        return false;
    }
    std::int64_t w, h;
    std::uint32_t bpp, compression = 0;
    if (hsz == 12) {
        w = Le16(d, 18);
        h = Le16(d, 20);
        bpp = Le16(d, 24);
    } else {
        w = static_cast<std::int32_t>(Le32(d, 18));
        h = static_cast<std::int32_t>(Le32(d, 22));
        bpp = Le16(d, 28);
        compression = Le32(d, 30);
    }
    // A negative height marks rows stored top-down; INT32_MIN has no positive counterpart.
    if (w <= 0 || h == 0 || h == INT32_MIN) {
        reason = CorruptReason(f, "bad size");
        return false;
    }
    const std::int64_t rows = h < 0 ? -h : h;
    if (!SizeAllowed(std::uint64_t(w), std::uint64_t(rows), limits, reason)) return false;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
        reason = "unsupported BMP data (" + std::to_string(bpp) + " bits per pixel)";
        return false;
    }
    if (compression != 0 && !(compression == 3 && (bpp == 16 || bpp == 32))) {
        reason = "unsupported BMP data (compression " + std::to_string(compression) + ")";
        return false;
    }
    const std::uint64_t rowBytes = (std::uint64_t(w) * bpp + 31) / 32 * 4;
    if (offset > d.size() || d.size() - offset < rowBytes * std::uint64_t(rows)) {
        reason = TruncatedReason(f);
        return false;
    }
    if (bpp > 8) return true;

    // The palette is whatever lies between the header and the pixels, as stb counts it.
    const std::int64_t paletteSize =
        hsz == 12 ? (std::int64_t(offset) - 14 - 24) / 3 : (std::int64_t(offset) - 14 - hsz) / 4;
    if (paletteSize < 1 || paletteSize > 256) {
        reason = CorruptReason(f, "bad palette");
        return false;
    }
    if (paletteSize >= (std::int64_t(1) << bpp)) return true;
    for (std::int64_t y = 0; y < rows; ++y) {
        const std::uint8_t* row = d.data() + offset + std::uint64_t(y) * rowBytes;
        for (std::int64_t x = 0; x < w; ++x) {
            unsigned index;
            if (bpp == 8)
                index = row[x];
            else if (bpp == 4)
                index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
            else
                index = (row[x / 8] >> (7 - x % 8)) & 0x01;
            if (index >= paletteSize) {
                reason = CorruptReason(f, "colour index outside the palette");
                return false;
            }
        }
    }
    return true;
}

} // namespace

bool DecodeBmp(const Bytes& data, const Limits& limits, DecodedImage& img, std::string& reason)
{
    if (!CheckHead(data, Format::Bmp, limits, reason)) return false;
    if (!CheckBmp(data, limits, reason)) return false;

    int w = 0, h = 0, channels = 0;
    std::unique_ptr<stbi_uc, StbFree> rgba(
        stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &w, &h, &channels, 4));
    if (!rgba) {
        const char* why = stbi_failure_reason();
        if (why && std::strcmp(why, "outofmem") == 0)
            reason = "out of memory";
        else
            reason = CorruptReason(Format::Bmp, why);
        return false;
    }
    img.pixels.resize(std::size_t(w) * std::size_t(h));
    const stbi_uc* p = rgba.get();
    for (std::size_t i = 0; i < img.pixels.size(); ++i, p += 4) img.pixels[i] = Premultiply(p[0], p[1], p[2], p[3]);
    img.width = w;
    img.height = h;
    return true;
}

} // namespace codec::detail
