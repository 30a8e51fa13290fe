// Telling pictures from videos by name and by content, for the camera's source table and the
// window's stepping through a folder alike.
#include "sources/MediaKind.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "codec/ImageCodec.h"

namespace sources {

namespace {

const char* const kPictureEndings[] = {".jpg", ".jpeg", ".png", ".gif", ".bmp"};
const char* const kVideoEndings[] = {".mp4", ".mkv", ".webm", ".avi", ".mov", ".ogv", ".m4v"};

bool EndsWithNoCase(const std::string& s, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    if (s.size() < n) {
        return false;
    }
    for (std::size_t i = 0; i < n; i++) {
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) {
            return false;
        }
    }
    return true;
}

template <std::size_t N>
bool EndsWithAny(const std::string& name, const char* const (&endings)[N])
{
    return std::any_of(std::begin(endings), std::end(endings), [&](const char* e) { return EndsWithNoCase(name, e); });
}

// The containers GStreamer plays that videos on a desktop come in, by their first bytes.
bool StartsLikeVideo(const unsigned char* b, std::size_t n)
{
    auto at = [&](std::size_t offset, const char* magic, std::size_t len) {
        return n >= offset + len && std::memcmp(b + offset, magic, len) == 0;
    };
    // ISO media (MP4, M4V, 3GP) and QuickTime: a box size, then the first box's type.
    for (const char* box : {"ftyp", "moov", "mdat", "free", "skip", "wide", "pnot"}) {
        if (at(4, box, 4)) {
            return true;
        }
    }
    return at(0, "\x1A\x45\xDF\xA3", 4) || // Matroska, WebM
           (at(0, "RIFF", 4) && at(8, "AVI ", 4)) || // AVI
           at(0, "OggS", 4) || // Ogg
           at(0, "\x00\x00\x01\xBA", 4) || // MPEG program stream
           at(0, "\x00\x00\x01\xB3", 4) || // MPEG video stream
           at(0, "FLV\x01", 4) || // Flash video
           at(0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8); // ASF (WMV)
}

} // namespace

MediaKind MediaKindByName(const std::string& name)
{
    if (EndsWithAny(name, kPictureEndings)) {
        return MediaKind::Picture;
    }
    return EndsWithAny(name, kVideoEndings) ? MediaKind::Video : MediaKind::None;
}

MediaKind MediaKindOf(const std::string& path, std::string* reason)
{
    std::string ignored;
    std::string& why = reason ? *reason : ignored;
    why.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        why = std::strerror(errno);
        return MediaKind::None;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
        return MediaKind::None;
    }
    // Nonblocking: the file may have become a FIFO since the stat.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        why = std::strerror(errno);
        return MediaKind::None;
    }
    unsigned char head[16];
    ssize_t got;
    do {
        got = ::read(fd, head, sizeof head);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        why = std::strerror(errno);
    }
    ::close(fd);
    if (got > 0 && StartsLikeVideo(head, static_cast<std::size_t>(got))) {
        return MediaKind::Video;
    }
    return codec::PictureFormatOf(path) ? MediaKind::Picture : MediaKind::None;
}

} // namespace sources
