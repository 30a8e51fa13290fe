// Opens an image file within the size limits and, once its first bytes are right, hands it to
// the decoder its name calls for, which reads on as it decodes; the picture reaches the
// caller only when decoded completely.
#include "codec/ImageCodec.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "codec/Formats.h"
#include "codec/Input.h"
#include "files/BoundedFile.h"

namespace codec {

using namespace detail;

namespace {

// Opens a picture file and reads its first bytes, which must show the format it is read as
// (found from them when recognising by content): a large file of anything else costs a
// few bytes, not its size. The decoder reads on from there.
bool ReadPictureHead(const std::string& path, outpath::BoundedFile& file, Format& format, Recognise recognise,
                     const Limits& limits, Bytes& data, std::string& reason)
{
    if (const auto opened = file.Open(path, kMaxFileBytes); !opened.Ok()) {
        reason = ReadFailure(opened);
        return false;
    }
    if (file.AnnouncedSize() > kMaxFileBytes) {
        reason = "file too large (" + std::to_string(file.AnnouncedSize()) + " bytes)";
        return false;
    }
    if (const auto head = file.Read(data, kHeadBytes); !head.Ok()) {
        reason = ReadFailure(head);
        return false;
    }
    if (data.empty()) {
        reason = "empty file";
        return false;
    }
    if (recognise == Recognise::ByContent) {
        if (const Format announced = FormatFromContent(data); announced != Format::Unknown) format = announced;
        if (format == Format::Unknown) {
            reason = "not a picture (PNG, JPEG, GIF or BMP)";
            return false;
        }
    }
    return CheckHead(data, format, limits, reason);
}

// A BMP's pixels are found by an offset from its start, and stb_image wants them in memory:
// a BMP is read whole.
bool DecodeWholeBmp(outpath::BoundedFile& file, Bytes& data, const Limits& limits, DecodedImage& img,
                    std::string& reason)
{
    if (data.size() >= kHeadBytes) {
        if (const auto rest = file.ReadRest(data); !rest.Ok()) {
            reason = ReadFailure(rest);
            return false;
        }
    }
    return DecodeBmp(data, limits, img, reason);
}

} // namespace

const char* PictureFormatOf(const std::string& path)
{
    outpath::BoundedFile file;
    Bytes head;
    if (!file.Open(path, kMaxFileBytes).Ok() || !file.Read(head, kHeadBytes).Ok() || head.empty()) return nullptr;
    const Format f = FormatFromContent(head);
    return f == Format::Unknown ? nullptr : FormatName(f);
}

bool DecodeImageFile(const std::string& path, DecodedImage& out, std::string& reason, const Limits& limits,
                     Recognise recognise)
{
    out = DecodedImage{};
    reason.clear();
    try {
        Format format = FormatFromPath(path);
        if (format == Format::Unknown && recognise == Recognise::BySuffix) {
            reason = "unsupported image format";
            return false;
        }
        outpath::BoundedFile file;
        Bytes data;
        if (!ReadPictureHead(path, file, format, recognise, limits, data, reason)) return false;

        // Decoded aside and moved in only when complete, so a failure never shows half a picture.
        DecodedImage img;
        // The other formats are read on as they are decoded: a file padded with segments the
        // decoder passes over costs the time to read them, not memory.
        const bool streamed = format != Format::Bmp;
        const bool goesOn = streamed && data.size() >= kHeadBytes;
        Input input(streamed ? std::move(data) : Bytes{}, goesOn ? &file : nullptr);
        bool ok = false;
        switch (format) {
        case Format::Png: ok = DecodePng(input, limits, img, reason); break;
        case Format::Jpeg: ok = DecodeJpeg(input, limits, img, reason); break;
        case Format::Gif: ok = DecodeGif(input, limits, img, reason); break;
        case Format::Bmp: ok = DecodeWholeBmp(file, data, limits, img, reason); break;
        case Format::Unknown: break;
        }
        if (!ok) {
            if (!input.Failure().empty()) reason = input.Failure();
            return false;
        }
        out = std::move(img);
        return true;
    } catch (const std::bad_alloc&) {
        out = DecodedImage{};
        reason = "out of memory";
        return false;
    }
}

} // namespace codec
