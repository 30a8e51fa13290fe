// Writes screens out as PNG files, named only once complete: replacing a target, or as a
// new file under the first free name.
#include "codec/ImageCodec.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <png.h>

#include "codec/Formats.h"
#include "files/OutputPath.h"
#include "files/SideFile.h"

namespace codec {
namespace {

using detail::TooLarge;

// libpng's warnings must not reach stderr.
void PngIgnoreWarning(png_structp, png_const_charp) {}

struct PngWriter {
    int fd = -1;
    int writeErrno = 0;
    char message[160] = {};
    std::size_t buffered = 0;
    png_byte buffer[64 * 1024];
    std::vector<png_byte> row;
    const std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

bool WriteAll(int fd, const png_byte* p, std::size_t len, int& error)
{
    while (len > 0) {
        ssize_t n = ::write(fd, p, len);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;
            return false;
        }
        p += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}

bool FlushWriter(PngWriter* w)
{
    if (w->buffered == 0) return true;
    const bool ok = WriteAll(w->fd, w->buffer, w->buffered, w->writeErrno);
    w->buffered = 0;
    return ok;
}

// libpng hands over many small pieces (chunk lengths, CRCs); they are gathered before write().
void PngWriteData(png_structp png, png_bytep src, std::size_t len)
{
    auto* w = static_cast<PngWriter*>(png_get_io_ptr(png));
    while (len > 0) {
        if (w->buffered == sizeof w->buffer && !FlushWriter(w)) png_error(png, "write failed");
        const std::size_t n = std::min(len, sizeof w->buffer - w->buffered);
        std::memcpy(w->buffer + w->buffered, src, n);
        w->buffered += n;
        src += n;
        len -= n;
    }
}

void PngFlushData(png_structp) {}

void PngWriteError(png_structp png, png_const_charp msg)
{
    auto* w = static_cast<PngWriter*>(png_get_error_ptr(png));
    std::snprintf(w->message, sizeof w->message, "%s", msg ? msg : "");
    png_longjmp(png, 1);
}

struct PngWriteHandle {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriteHandle() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

// Only trivially destructible locals live here: a longjmp out of libpng lands in this frame.
bool RunPngEncode(png_structp png, png_infop info, PngWriter* w)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, png_uint_32(w->width), png_uint_32(w->height), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const auto* base = reinterpret_cast<const unsigned char*>(w->pixels);
    for (int y = 0; y < w->height; ++y) {
        const unsigned char* src = base + std::size_t(y) * std::size_t(w->stride);
        png_byte* out = w->row.data();
        for (int x = 0; x < w->width; ++x, out += 4) {
            std::uint32_t p;
            std::memcpy(&p, src + std::size_t(x) * 4, 4); // rows need not be word-aligned
            const unsigned a = p >> 24;
            unsigned r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (a == 0) {
                r = g = b = 0;
            } else if (a != 255) {
                // Colour above alpha is not valid premultiplied data; clamp rather than wrap.
                r = std::min(255u, (r * 255 + a / 2) / a);
                g = std::min(255u, (g * 255 + a / 2) / a);
                b = std::min(255u, (b * 255 + a / 2) / a);
            }
            out[0] = png_byte(r);
            out[1] = png_byte(g);
            out[2] = png_byte(b);
            out[3] = png_byte(a);
        }
        png_write_row(png, w->row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

// Checks what the encoder is given; false with a reason.
bool ValidImage(const std::uint32_t* pixels, int width, int height, int stride, std::string& why)
{
    if (!pixels || width <= 0 || height <= 0 || TooLarge(std::uint64_t(width), std::uint64_t(height))) {
        why = "invalid image size (" + std::to_string(width) + "x" + std::to_string(height) + ")";
        return false;
    }
    if (std::int64_t(stride) < std::int64_t(width) * 4) {
        why = "invalid stride " + std::to_string(stride);
        return false;
    }
    return true;
}

// Encodes the picture into `fd`; false with a reason.
bool EncodePng(int fd, const std::uint32_t* pixels, int width, int height, int stride, std::string& why)
{
    auto writer = std::make_unique<PngWriter>();
    writer->fd = fd;
    writer->pixels = pixels;
    writer->width = width;
    writer->height = height;
    writer->stride = stride;
    writer->row.resize(std::size_t(width) * 4);

    PngWriteHandle h;
    h.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, writer.get(), PngWriteError, PngIgnoreWarning);
    if (h.png) h.info = png_create_info_struct(h.png);
    if (!h.png || !h.info) {
        why = "out of memory";
        return false;
    }
    png_set_write_fn(h.png, writer.get(), PngWriteData, PngFlushData);

    if (!RunPngEncode(h.png, h.info, writer.get())) {
        why = writer->writeErrno ? std::strerror(writer->writeErrno) : writer->message;
        return false;
    }
    if (!FlushWriter(writer.get())) {
        why = std::strerror(writer->writeErrno);
        return false;
    }
    return true;
}

// The picture goes to a side file that takes the target's name only when complete, so a full
// disk or a crash never leaves a half-written PNG under the real name.
bool WritePng(const std::string& path, const std::uint32_t* pixels, int width, int height, int stride,
              std::string& reason)
{
    const std::string prefix = "cannot write " + path + ": ";
    auto fail = [&](const std::string& why) {
        reason = prefix + why;
        return false;
    };
    std::string why;
    if (!ValidImage(pixels, width, height, stride, why)) return fail(why);

    // Only a regular file (or nothing) is replaced; through a symlink its target is, keeping its mode.
    outpath::Target target;
    if (!outpath::Resolve(path, outpath::Kind::Replaced, target, why)) return fail(why);
    outpath::SideFile side;
    if (!side.Open(target.path, 0666)) return fail(std::strerror(errno));
    if (target.exists && ::fchmod(side.Fd(), target.mode) != 0) return fail(std::strerror(errno));
    if (!EncodePng(side.Fd(), pixels, width, height, stride, why)) return fail(why);
    if (!side.Replace(target.path)) return fail(std::strerror(errno));
    return true;
}

bool WriteNewPng(const std::string& stem, const std::uint32_t* pixels, int width, int height, int stride,
                 std::string& written, std::string& reason)
{
    std::string name = stem + ".png";
    auto fail = [&](const std::string& why) {
        reason = "cannot write " + name + ": " + why;
        return false;
    };
    std::string why;
    if (!ValidImage(pixels, width, height, stride, why)) return fail(why);
    outpath::SideFile side;
    if (!side.Open(name, 0666)) return fail(std::strerror(errno));
    if (!EncodePng(side.Fd(), pixels, width, height, stride, why)) return fail(why);
    // Bounded, so that a folder filled with the names ends in a message, not a long wait.
    constexpr int kNames = 1000;
    for (int n = 1; n <= kNames; n++) {
        name = n == 1 ? stem + ".png" : stem + "-" + std::to_string(n) + ".png";
        if (side.Create(name)) {
            written = name;
            return true;
        }
        if (errno != EEXIST) return fail(std::strerror(errno));
    }
    name = stem + ".png";
    return fail("it and the next " + std::to_string(kNames - 1) + " names are taken");
}

} // namespace

bool WritePngFile(const std::string& path, const std::uint32_t* pixels, int width, int height, int stride,
                  std::string& reason)
{
    reason.clear();
    try {
        return WritePng(path, pixels, width, height, stride, reason);
    } catch (const std::bad_alloc&) {
        reason = "cannot write " + path + ": out of memory";
        return false;
    }
}

bool WriteNewPngFile(const std::string& stem, const std::uint32_t* pixels, int width, int height, int stride,
                     std::string& written, std::string& reason)
{
    reason.clear();
    written.clear();
    try {
        return WriteNewPng(stem, pixels, width, height, stride, written, reason);
    } catch (const std::bad_alloc&) {
        reason = "cannot write " + stem + ".png: out of memory";
        return false;
    }
}

} // namespace codec
