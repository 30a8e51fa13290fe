// EXIF orientation, a JPEG's or a PNG's (its eXIf chunk): 1 as stored, 2 mirrored, 3 half
// turned, 4 upside-down mirror, 5 to 8 the same with a quarter turn (6: the camera was held
// turned clockwise, the picture is turned back a quarter clockwise).
#include "ExifOrientation.h"

#include <fcntl.h>
#include <libexif/exif-data.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <new>

namespace photo {

namespace {

using Exif = std::unique_ptr<ExifData, void (*)(ExifData*)>;

std::uint32_t Be32(const unsigned char* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// A PNG keeps its EXIF data, without the "Exif" header a JPEG's has, in an eXIf chunk. The
// chunks are walked by their lengths, the pixels' passed over unread.
Exif PngExif(const std::string& path)
{
    Exif none(nullptr, exif_data_unref);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return none;
    }
    const std::unique_ptr<int, void (*)(int*)> closer(new int(fd), [](int* f) {
        ::close(*f);
        delete f;
    });
    struct stat st {};
    unsigned char head[8];
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::pread(fd, head, 8, 0) != 8 ||
        std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) != 0) {
        return none;
    }
    // No orientation needs more; a larger chunk is no EXIF block a camera writes.
    constexpr std::uint32_t kMaxExif = 1 << 20;
    for (off_t at = 8; at + 12 <= st.st_size;) {
        if (::pread(fd, head, 8, at) != 8) {
            return none;
        }
        const std::uint32_t length = Be32(head);
        if (std::memcmp(head + 4, "IEND", 4) == 0 || length > 0x7FFFFFFFu) {
            return none;
        }
        if (std::memcmp(head + 4, "eXIf", 4) == 0) {
            if (length > kMaxExif) {
                return none;
            }
            std::vector<unsigned char> exif = {'E', 'x', 'i', 'f', 0, 0};
            exif.resize(6 + length);
            if (::pread(fd, exif.data() + 6, length, at + 8) != ssize_t(length)) {
                return none;
            }
            return Exif(exif_data_new_from_data(exif.data(), static_cast<unsigned>(exif.size())), exif_data_unref);
        }
        at += 12 + off_t(length);
    }
    return none;
}

} // namespace

int ExifOrientationOf(const std::string& path)
{
    Exif data = PngExif(path);
    if (!data) {
        data = Exif(exif_data_new_from_file(path.c_str()), exif_data_unref);
    }
    if (!data) {
        return 1;
    }
    ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || !entry->data || entry->size < 2) {
        return 1;
    }
    const int orientation = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

bool ApplyOrientation(std::vector<std::uint32_t>& pixels, int& width, int& height, int orientation)
{
    if (orientation < 2 || orientation > 8 || width <= 0 || height <= 0 ||
        pixels.size() != std::size_t(width) * std::size_t(height)) {
        return true;
    }
    const bool quarter = orientation >= 5;
    const int w = quarter ? height : width, h = quarter ? width : height;
    std::vector<std::uint32_t> out;
    try {
        out.resize(pixels.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    // For each pixel as seen, the stored pixel it shows.
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            int sx = x, sy = y;
            switch (orientation) {
            case 2: sx = width - 1 - x; break;
            case 3: sx = width - 1 - x, sy = height - 1 - y; break;
            case 4: sy = height - 1 - y; break;
            case 5: sx = y, sy = x; break;
            case 6: sx = y, sy = height - 1 - x; break;
            case 7: sx = width - 1 - y, sy = height - 1 - x; break;
            case 8: sx = width - 1 - y, sy = x; break;
            default: break;
            }
            out[std::size_t(y) * w + x] = pixels[std::size_t(sy) * width + sx];
        }
    }
    pixels = std::move(out);
    width = w;
    height = h;
    return true;
}

} // namespace photo
