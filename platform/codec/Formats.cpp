// The decoders' shared limits, names and failure reasons, and the premultiplied colours
// every format's pixels end up in.
#include "codec/Formats.h"

#include <algorithm>
#include <cstring>

namespace codec::detail {

const char* FormatName(Format f)
{
    switch (f) {
    case Format::Png: return "PNG";
    case Format::Jpeg: return "JPEG";
    case Format::Gif: return "GIF";
    case Format::Bmp: return "BMP";
    case Format::Unknown: break;
    }
    return "image";
}

Format FormatFromPath(const std::string& path)
{
    std::string lower = path;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower.ends_with("png")) return Format::Png;
    if (lower.ends_with("jpg") || lower.ends_with("jpeg")) return Format::Jpeg;
    if (lower.ends_with("gif")) return Format::Gif;
    if (lower.ends_with("bmp")) return Format::Bmp;
    return Format::Unknown;
}

std::string TooLargeReason(std::uint64_t w, std::uint64_t h)
{
    return "image too large (" + std::to_string(w) + "x" + std::to_string(h) + ")";
}

bool SizeAllowed(std::uint64_t w, std::uint64_t h, const Limits& limits, std::string& reason)
{
    if (TooLarge(w, h)) {
        reason = TooLargeReason(w, h);
        return false;
    }
    if (limits.accept && !limits.accept(int(w), int(h), reason)) {
        if (reason.empty()) reason = TooLargeReason(w, h);
        return false;
    }
    return true;
}

Format FormatFromContent(const Bytes& d)
{
    static const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (d.size() >= 8 && std::memcmp(d.data(), png, 8) == 0) return Format::Png;
    if (d.size() >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return Format::Jpeg;
    if (d.size() >= 6 && (std::memcmp(d.data(), "GIF87a", 6) == 0 || std::memcmp(d.data(), "GIF89a", 6) == 0))
        return Format::Gif;
    // "BM" alone is too common a start for text; the size of the header that follows is one
    // of the few that BMP writers use.
    if (d.size() >= 18 && d[0] == 'B' && d[1] == 'M') {
        const std::uint32_t hsz = d[14] | d[15] << 8 | d[16] << 16 | std::uint32_t(d[17]) << 24;
        if (hsz == 12 || hsz == 40 || hsz == 52 || hsz == 56 || hsz == 64 || hsz == 108 || hsz == 124)
            return Format::Bmp;
    }
    return Format::Unknown;
}

std::string TruncatedReason(Format f) { return std::string("truncated ") + FormatName(f) + " data"; }

std::string CorruptReason(Format f, const char* detail)
{
    std::string r = std::string("corrupt ") + FormatName(f) + " data";
    if (detail && *detail) r += std::string(" (") + detail + ")";
    return r;
}

std::uint32_t Premultiply(unsigned r, unsigned g, unsigned b, unsigned a)
{
    if (a == 0) return 0;
    if (a != 255) {
        r = (r * a + 127) / 255;
        g = (g * a + 127) / 255;
        b = (b * a + 127) / 255;
    }
    return (a << 24) | (r << 16) | (g << 8) | b;
}

void RgbaBytesToArgb(std::vector<std::uint32_t>& pixels)
{
    auto* bytes = reinterpret_cast<const unsigned char*>(pixels.data());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const unsigned char* p = bytes + i * 4;
        pixels[i] = Premultiply(p[0], p[1], p[2], p[3]);
    }
}

bool CheckHead(const Bytes& head, Format f, const Limits& limits, std::string& reason)
{
    static const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    static const unsigned char jpeg[3] = {0xFF, 0xD8, 0xFF};
    static const unsigned char gif[3] = {'G', 'I', 'F'};
    static const unsigned char bmp[2] = {'B', 'M'};
    const unsigned char* sig = nullptr;
    std::size_t sigLen = 0;
    switch (f) {
    case Format::Png: sig = png, sigLen = sizeof png; break;
    case Format::Jpeg: sig = jpeg, sigLen = sizeof jpeg; break;
    case Format::Gif: sig = gif, sigLen = sizeof gif; break;
    case Format::Bmp: sig = bmp, sigLen = sizeof bmp; break;
    case Format::Unknown: reason = "unsupported image format"; return false;
    }
    const std::size_t n = std::min(head.size(), sigLen);
    if (std::memcmp(head.data(), sig, n) != 0) {
        reason = std::string("not a ") + FormatName(f) + " file";
        return false;
    }
    if (n < sigLen) {
        reason = TruncatedReason(f);
        return false;
    }
    // libpng reads on past IHDR before handing over the size, so a header promising a huge
    // image is judged here, before anything else of the file is looked at.
    if (f == Format::Png && head.size() >= 24 && std::memcmp(head.data() + 12, "IHDR", 4) == 0) {
        auto Be32 = [&](std::size_t at) {
            return std::uint32_t(head[at]) << 24 | head[at + 1] << 16 | head[at + 2] << 8 | head[at + 3];
        };
        if (!SizeAllowed(Be32(16), Be32(20), limits, reason)) return false;
    }
    return true;
}

} // namespace codec::detail

namespace codec {

bool WithinSizeBounds(std::uint64_t width, std::uint64_t height)
{
    return width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

} // namespace codec
