// Reads an image file whole, within the size limits and once its first bytes are right, and
// hands it to the decoder its name calls for; the picture reaches the caller only when
// decoded completely.
#include "codec/ImageCodec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "codec/Formats.h"

namespace codec {

using namespace detail;

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { if (m_fd >= 0) ::close(m_fd); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
private:
    int m_fd;
};

// Reads up to `count` more bytes onto the end of `data`; fewer at the file's end.
bool readMore(int fd, Bytes& data, std::size_t count, std::string& reason) {
    const std::size_t had = data.size();
    data.resize(had + count);
    std::size_t got = 0;
    while (got < count) {
        ssize_t n = ::read(fd, data.data() + had + got, count - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            reason = std::string("cannot read: ") + std::strerror(errno);
            return false;
        }
        if (n == 0) break; // shrank while we read it; decode what is there
        got += static_cast<std::size_t>(n);
    }
    data.resize(had + got);
    return true;
}

// Reads a picture file whole, but only once its first bytes show the format it is read as
// (found from them when recognising by content): a large file of anything else costs a
// few bytes, not its size.
bool readPictureFile(const std::string& path, Format& format, Recognise recognise, const Limits& limits,
                     Bytes& data, std::string& reason) {
    // O_NONBLOCK so that a FIFO under an image's name cannot hang the caller in open().
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        reason = (errno == ENOENT || errno == ENOTDIR) ? "file not found"
                                                       : std::string("cannot read: ") + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        reason = std::string("cannot read: ") + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        reason = std::string("cannot read: ") + std::strerror(EISDIR);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = "cannot read: not a regular file";
        return false;
    }
    if (st.st_size == 0) {
        reason = "empty file";
        return false;
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxFileBytes) {
        reason = "file too large (" + std::to_string(st.st_size) + " bytes)";
        return false;
    }
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    if (!readMore(fd.get(), data, std::min(size, kHeadBytes), reason)) return false;
    if (data.empty()) {
        reason = "empty file";
        return false;
    }
    if (recognise == Recognise::ByContent) {
        if (const Format announced = formatFromContent(data); announced != Format::Unknown) format = announced;
        if (format == Format::Unknown) {
            reason = "not a picture (PNG, JPEG, GIF or BMP)";
            return false;
        }
    }
    if (!checkHead(data, format, limits, reason)) return false;
    return data.size() < kHeadBytes || readMore(fd.get(), data, size - data.size(), reason);
}

} // namespace

const char* PictureFormatOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return nullptr;
    Bytes head(kHeadBytes);
    ssize_t n;
    do {
        n = ::read(fd.get(), head.data(), head.size());
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return nullptr;
    head.resize(static_cast<std::size_t>(n));
    const Format f = formatFromContent(head);
    return f == Format::Unknown ? nullptr : formatName(f);
}

bool DecodeImageFile(const std::string& path, DecodedImage& out, std::string& reason, const Limits& limits,
                     Recognise recognise) {
    out = DecodedImage{};
    reason.clear();
    try {
        Format format = formatFromPath(path);
        if (format == Format::Unknown && recognise == Recognise::BySuffix) {
            reason = "unsupported image format";
            return false;
        }
        Bytes data;
        if (!readPictureFile(path, format, recognise, limits, data, reason)) return false;

        // Decoded aside and moved in only when complete, so a failure never shows half a picture.
        DecodedImage img;
        bool ok = false;
        switch (format) {
        case Format::Png: ok = decodePng(data, limits, img, reason); break;
        case Format::Jpeg: ok = decodeJpeg(data, limits, img, reason); break;
        case Format::Gif: ok = decodeGif(data, limits, img, reason); break;
        case Format::Bmp: ok = decodeBmp(data, limits, img, reason); break;
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
