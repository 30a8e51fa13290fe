// Reads an image file whole, within the size limits and once its first bytes are right, and
// hands it to the decoder its name calls for; the picture reaches the caller only when
// decoded completely.
#include "codec/ImageCodec.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "codec/Formats.h"
#include "files/BoundedFile.h"

namespace codec {

using namespace detail;

namespace {

std::string ReadFailure(const outpath::ReadOutcome& outcome)
{
    switch (outcome.problem) {
    case outpath::ReadProblem::Missing: return "file not found";
    case outpath::ReadProblem::Folder: return std::string("cannot read: ") + std::strerror(EISDIR);
    case outpath::ReadProblem::Special: return "cannot read: not a regular file";
    case outpath::ReadProblem::TooLarge:
        return "file too large (more than " + std::to_string(outcome.bound) + " bytes)";
    case outpath::ReadProblem::Failed:
    case outpath::ReadProblem::None: break;
    }
    return "cannot read: " + outcome.Reason();
}

// Reads a picture file whole, but only once its first bytes show the format it is read as
// (found from them when recognising by content): a large file of anything else costs a
// few bytes, not its size.
bool ReadPictureFile(const std::string& path, Format& format, Recognise recognise, const Limits& limits, Bytes& data,
                     std::string& reason)
{
    outpath::BoundedFile file;
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
    if (!CheckHead(data, format, limits, reason)) return false;
    if (data.size() < kHeadBytes) return true;
    if (const auto rest = file.ReadRest(data); !rest.Ok()) {
        reason = ReadFailure(rest);
        return false;
    }
    return true;
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
        Bytes data;
        if (!ReadPictureFile(path, format, recognise, limits, data, reason)) return false;

        // Decoded aside and moved in only when complete, so a failure never shows half a picture.
        DecodedImage img;
        bool ok = false;
        switch (format) {
        case Format::Png: ok = DecodePng(data, limits, img, reason); break;
        case Format::Jpeg: ok = DecodeJpeg(data, limits, img, reason); break;
        case Format::Gif: ok = DecodeGif(data, limits, img, reason); break;
        case Format::Bmp: ok = DecodeBmp(data, limits, img, reason); break;
        case Format::Unknown: break;
        }
        if (!ok) return false;
        out = std::move(img);
        return true;
    } catch (const std::bad_alloc&) {
        out = DecodedImage{};
        reason = "out of memory";
        return false;
    }
}

} // namespace codec
