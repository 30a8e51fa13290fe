// What the image decoders share: the limits a file must keep to, the formats and their
// names, the reasons given for failures, and premultiplying colours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/ImageCodec.h"

namespace codec::detail {

// The biggest honest file is an uncompressed 64 Mi-pixel BMP; anything past this is not an image.
constexpr std::uint64_t kMaxFileBytes = 512ull * 1024 * 1024;
// Real progressive JPEGs use about ten scans; thousands of tiny ones only burn time.
constexpr int kMaxJpegScans = 256;

using Bytes = std::vector<std::uint8_t>;

enum class Format { Png, Jpeg, Gif, Bmp, Unknown };

const char* FormatName(Format f);
Format FormatFromPath(const std::string& path);
inline bool TooLarge(std::uint64_t w, std::uint64_t h) { return !WithinSizeBounds(w, h); }
std::string TooLargeReason(std::uint64_t w, std::uint64_t h);
// Whether a picture of w x h may be decoded at all: within the codec's own bounds and then
// the caller's. Decoders ask this once they know the picture's size and before they
// allocate any of its pixels; on false `reason` says why.
bool SizeAllowed(std::uint64_t w, std::uint64_t h, const Limits& limits, std::string& reason);
// The format the first bytes of a file announce, or Unknown.
Format FormatFromContent(const Bytes& data);
std::string TruncatedReason(Format f);
std::string CorruptReason(Format f, const char* detail);
std::uint32_t Premultiply(unsigned r, unsigned g, unsigned b, unsigned a);
// Turns RGBA bytes, laid into the pixel words themselves by the decoder, into ARGB words.
// Each word is read before it is rewritten, so the conversion can run in place.
void RgbaBytesToArgb(std::vector<std::uint32_t>& pixels);
// How many of a file's first bytes CheckHead looks at.
constexpr std::size_t kHeadBytes = 32;
// Whether a file's first bytes (all of it when it is shorter) can begin a picture of format f:
// its signature, and for PNG the size in its header. Asked before the rest of a file is read,
// and by each decoder first. A file shorter than the signature that still matches it was cut
// off, not mislabelled.
bool CheckHead(const Bytes& head, Format f, const Limits& limits, std::string& reason);

// One decoder a format, each in its own file. On failure `img` may hold part of a picture;
// the caller drops it.
// The first three read the file on from `input` as they go.
class Input;
bool DecodePng(Input& input, const Limits& limits, DecodedImage& img, std::string& reason);
bool DecodeJpeg(Input& input, const Limits& limits, DecodedImage& img, std::string& reason);
bool DecodeGif(Input& input, const Limits& limits, DecodedImage& img, std::string& reason);
bool DecodeBmp(const Bytes& data, const Limits& limits, DecodedImage& img, std::string& reason);

} // namespace codec::detail
