// Decodes PNG, JPEG, GIF and BMP files into premultiplied ARGB for the platform's bitmaps,
// and writes screens out as PNG files, replacing the target only once the file is complete.
#include "codec/ImageCodec.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gif_lib.h>
#include <png.h>
// jpeglib.h expects FILE and size_t to be declared before it.
#include <jpeglib.h>
#include <jerror.h>

// stb_image is compiled into this file for BMP alone. Static linkage keeps its symbols out of
// libosp's exports, so another user of stb in the library cannot clash with this copy.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#include <stb/stb_image.h>

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo's extended colour spaces are needed to decode straight into ARGB words"
#endif

namespace codec {
namespace {

// Larger images would cost hundreds of megabytes and are never legitimate on a phone screen;
// a crafted header must not get that far.
constexpr std::uint32_t kMaxSide = 16384;
constexpr std::uint64_t kMaxPixels = 64ull * 1024 * 1024;
// The biggest honest file is an uncompressed 64 Mi-pixel BMP; anything past this is not an image.
constexpr std::uint64_t kMaxFileBytes = 512ull * 1024 * 1024;
// Real progressive JPEGs use about ten scans; thousands of tiny ones only burn time.
constexpr int kMaxJpegScans = 256;

using Bytes = std::vector<std::uint8_t>;

enum class Format { Png, Jpeg, Gif, Bmp, Unknown };

const char* formatName(Format f) {
    switch (f) {
    case Format::Png: return "PNG";
    case Format::Jpeg: return "JPEG";
    case Format::Gif: return "GIF";
    case Format::Bmp: return "BMP";
    case Format::Unknown: break;
    }
    return "image";
}

Format formatFromPath(const std::string& path) {
    std::string lower = path;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower.ends_with("png")) return Format::Png;
    if (lower.ends_with("jpg") || lower.ends_with("jpeg")) return Format::Jpeg;
    if (lower.ends_with("gif")) return Format::Gif;
    if (lower.ends_with("bmp")) return Format::Bmp;
    return Format::Unknown;
}

bool tooLarge(std::uint64_t w, std::uint64_t h) {
    return w > kMaxSide || h > kMaxSide || w * h > kMaxPixels;
}

std::string tooLargeReason(std::uint64_t w, std::uint64_t h) {
    return "image too large (" + std::to_string(w) + "x" + std::to_string(h) + ")";
}

std::string truncatedReason(Format f) { return std::string("truncated ") + formatName(f) + " data"; }

std::string corruptReason(Format f, const char* detail) {
    std::string r = std::string("corrupt ") + formatName(f) + " data";
    if (detail && *detail) r += std::string(" (") + detail + ")";
    return r;
}

std::uint32_t premultiply(unsigned r, unsigned g, unsigned b, unsigned a) {
    if (a == 0) return 0;
    if (a != 255) {
        r = (r * a + 127) / 255;
        g = (g * a + 127) / 255;
        b = (b * a + 127) / 255;
    }
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// Turns RGBA bytes, laid into the pixel words themselves by the decoder, into ARGB words.
// Each word is read before it is rewritten, so the conversion can run in place.
void rgbaBytesToArgb(std::vector<std::uint32_t>& pixels) {
    auto* bytes = reinterpret_cast<const unsigned char*>(pixels.data());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const unsigned char* p = bytes + i * 4;
        pixels[i] = premultiply(p[0], p[1], p[2], p[3]);
    }
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { if (fd_ >= 0) ::close(fd_); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
private:
    int fd_;
};

bool readWholeFile(const std::string& path, Bytes& data, std::string& reason) {
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
    data.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < data.size()) {
        ssize_t n = ::read(fd.get(), data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            reason = std::string("cannot read: ") + std::strerror(errno);
            return false;
        }
        if (n == 0) break; // shrank while we read it; decode what is there
        got += static_cast<std::size_t>(n);
    }
    data.resize(got);
    if (data.empty()) {
        reason = "empty file";
        return false;
    }
    return true;
}

// A file shorter than the signature that still matches it was cut off, not mislabelled.
bool checkSignature(const Bytes& data, const unsigned char* sig, std::size_t sigLen, Format f,
                    std::string& reason) {
    std::size_t n = std::min(data.size(), sigLen);
    if (std::memcmp(data.data(), sig, n) != 0) {
        reason = std::string("not a ") + formatName(f) + " file";
        return false;
    }
    if (n < sigLen) {
        reason = truncatedReason(f);
        return false;
    }
    return true;
}

// ---- PNG ------------------------------------------------------------------------------------

struct PngReader {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
    bool truncated = false;
    bool tooLarge = false;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    char message[160] = {};
    DecodedImage* image = nullptr;
    std::vector<png_bytep> rows;
};

void pngReadData(png_structp png, png_bytep dst, std::size_t len) {
    auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
    if (r->size - r->pos < len) {
        r->truncated = true;
        png_error(png, "unexpected end of file");
    }
    std::memcpy(dst, r->data + r->pos, len);
    r->pos += len;
}

void pngReadError(png_structp png, png_const_charp msg) {
    auto* r = static_cast<PngReader*>(png_get_error_ptr(png));
    std::snprintf(r->message, sizeof r->message, "%s", msg ? msg : "");
    png_longjmp(png, 1);
}

// libpng's warnings concern ancillary chunks it has already skipped; they must not reach stderr.
void pngIgnoreWarning(png_structp, png_const_charp) {}

struct PngReadHandle {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReadHandle() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// Only trivially destructible locals live here: a longjmp out of libpng lands in this frame.
bool runPngDecode(png_structp png, png_infop info, PngReader* r) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    r->width = png_get_image_width(png, info);
    r->height = png_get_image_height(png, info);
    if (tooLarge(r->width, r->height)) {
        r->tooLarge = true;
        return false;
    }
    const int type = png_get_color_type(png, info);
    // Expansion covers palettes, 1/2/4-bit grey and tRNS; the result is always 8-bit RGBA.
    png_set_expand(png);
    if (png_get_bit_depth(png, info) == 16) png_set_scale_16(png);
    if (!(type & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    if (!(type & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t(r->width) * 4)
        png_error(png, "unexpected row layout after transforms");

    r->image->pixels.resize(std::size_t(r->width) * r->height);
    r->rows.resize(r->height);
    auto* base = reinterpret_cast<png_bytep>(r->image->pixels.data());
    for (png_uint_32 y = 0; y < r->height; ++y) r->rows[y] = base + std::size_t(y) * r->width * 4;
    png_read_image(png, r->rows.data());
    png_read_end(png, nullptr);
    return true;
}

bool decodePng(const Bytes& data, DecodedImage& img, std::string& reason) {
    static const unsigned char sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!checkSignature(data, sig, sizeof sig, Format::Png, reason)) return false;

    // libpng reads on past IHDR before handing over the size, so a header promising a huge
    // image is judged here, before anything else of the file is looked at.
    if (data.size() >= 24 && std::memcmp(data.data() + 12, "IHDR", 4) == 0) {
        auto be32 = [&](std::size_t at) {
            return std::uint32_t(data[at]) << 24 | data[at + 1] << 16 | data[at + 2] << 8 | data[at + 3];
        };
        if (tooLarge(be32(16), be32(20))) {
            reason = tooLargeReason(be32(16), be32(20));
            return false;
        }
    }

    PngReader reader;
    reader.data = data.data();
    reader.size = data.size();
    reader.image = &img;
    PngReadHandle h;
    h.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, pngReadError, pngIgnoreWarning);
    if (h.png) h.info = png_create_info_struct(h.png);
    if (!h.png || !h.info) {
        reason = "out of memory";
        return false;
    }
    png_set_read_fn(h.png, &reader, pngReadData);
    // Let every valid header through to our own size check, which explains its refusal.
    png_set_user_limits(h.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);

    if (runPngDecode(h.png, h.info, &reader)) {
        rgbaBytesToArgb(img.pixels);
        img.width = static_cast<int>(reader.width);
        img.height = static_cast<int>(reader.height);
        return true;
    }
    if (reader.tooLarge)
        reason = tooLargeReason(reader.width, reader.height);
    else if (reader.truncated)
        reason = truncatedReason(Format::Png);
    else
        reason = corruptReason(Format::Png, reader.message);
    return false;
}

// ---- JPEG -----------------------------------------------------------------------------------

// libjpeg-turbo writes the four bytes of each pixel in memory order, alpha set to 0xFF; pick
// the order that lands as 0xAARRGGBB in a native word.
constexpr J_COLOR_SPACE kNativeArgb =
    std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;

struct JpegJob {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    jpeg_source_mgr src;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    bool truncated = false;
    bool tooLarge = false;
    bool tooManyScans = false;
    int errorCode = 0;
    char message[JMSG_LENGTH_MAX] = {};
    DecodedImage* image = nullptr;
    std::vector<JSAMPLE> cmykRow;

    JpegJob() {
        std::memset(&cinfo, 0, sizeof cinfo);
        std::memset(&src, 0, sizeof src);
        std::memset(&progress, 0, sizeof progress);
    }
    ~JpegJob() { jpeg_destroy_decompress(&cinfo); } // a no-op on the zeroed struct
    JpegJob(const JpegJob&) = delete;
    JpegJob& operator=(const JpegJob&) = delete;
};

JpegJob* jobOf(j_common_ptr c) { return static_cast<JpegJob*>(c->client_data); }

void jpegErrorExit(j_common_ptr c) {
    JpegJob* job = jobOf(c);
    job->errorCode = c->err->msg_code;
    (*c->err->format_message)(c, job->message);
    std::longjmp(job->jump, 1);
}

// libjpeg only warns about damaged entropy data and fills the rest of the picture with grey;
// showing that as if it were the image would be wrong, so those warnings end the decode.
void jpegEmitMessage(j_common_ptr c, int level) {
    if (level >= 0) return; // trace output
    const int code = c->err->msg_code;
    if (code == JWRN_HIT_MARKER || code == JWRN_JPEG_EOF) {
        jobOf(c)->truncated = true;
        jpegErrorExit(c);
    }
    if (code == JWRN_HUFF_BAD_CODE || code == JWRN_MUST_RESYNC) jpegErrorExit(c);
}

void jpegInitSource(j_decompress_ptr) {}
void jpegTermSource(j_decompress_ptr) {}

// The whole file is in the buffer from the start, so a refill request means it has ended.
boolean jpegFillInput(j_decompress_ptr c) {
    jobOf(reinterpret_cast<j_common_ptr>(c))->truncated = true;
    ERREXIT(c, JERR_INPUT_EOF);
    return FALSE;
}

void jpegSkipInput(j_decompress_ptr c, long count) {
    if (count <= 0) return;
    if (static_cast<unsigned long>(count) > c->src->bytes_in_buffer) {
        jpegFillInput(c);
        return;
    }
    c->src->next_input_byte += count;
    c->src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void jpegProgress(j_common_ptr c) {
    auto* d = reinterpret_cast<j_decompress_ptr>(c);
    if (d->input_scan_number > kMaxJpegScans) {
        JpegJob* job = jobOf(c);
        job->tooManyScans = true;
        std::longjmp(job->jump, 1);
    }
}

// Only trivially destructible locals live here: a longjmp out of libjpeg lands in this frame.
bool runJpegDecode(JpegJob* job, const Bytes* data) {
    j_decompress_ptr cinfo = &job->cinfo;
    if (setjmp(job->jump)) return false;
    jpeg_create_decompress(cinfo);
    job->src.next_input_byte = data->data();
    job->src.bytes_in_buffer = data->size();
    job->src.init_source = jpegInitSource;
    job->src.fill_input_buffer = jpegFillInput;
    job->src.skip_input_data = jpegSkipInput;
    job->src.resync_to_restart = jpeg_resync_to_restart;
    job->src.term_source = jpegTermSource;
    cinfo->src = &job->src;
    job->progress.progress_monitor = jpegProgress;
    cinfo->progress = &job->progress;

    jpeg_read_header(cinfo, TRUE);
    if (tooLarge(cinfo->image_width, cinfo->image_height)) {
        job->tooLarge = true;
        return false;
    }
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : kNativeArgb;
    jpeg_start_decompress(cinfo);
    const JDIMENSION w = cinfo->output_width;
    const JDIMENSION h = cinfo->output_height;
    if (w != cinfo->image_width || h != cinfo->image_height || cinfo->output_components != 4)
        ERREXIT(cinfo, JERR_CONVERSION_NOTIMPL);

    std::vector<std::uint32_t>& pixels = job->image->pixels;
    pixels.resize(std::size_t(w) * h);
    if (cmyk) job->cmykRow.resize(std::size_t(w) * 4);
    // Adobe's CMYK JPEGs store ink inverted (255 = none); without its marker the ink is as is.
    const bool inverted = cinfo->saw_Adobe_marker;
    while (cinfo->output_scanline < h) {
        const JDIMENSION y = cinfo->output_scanline;
        std::uint32_t* line = pixels.data() + std::size_t(y) * w;
        JSAMPROW row = cmyk ? job->cmykRow.data() : reinterpret_cast<JSAMPROW>(line);
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) ERREXIT(cinfo, JERR_INPUT_EOF);
        if (cmyk) {
            for (JDIMENSION x = 0; x < w; ++x) {
                const JSAMPLE* p = row + x * 4;
                unsigned c = p[0], m = p[1], ye = p[2], k = p[3];
                if (!inverted) { c = 255 - c; m = 255 - m; ye = 255 - ye; k = 255 - k; }
                line[x] = premultiply((c * k + 127) / 255, (m * k + 127) / 255, (ye * k + 127) / 255, 255);
            }
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

bool decodeJpeg(const Bytes& data, DecodedImage& img, std::string& reason) {
    static const unsigned char sig[3] = {0xFF, 0xD8, 0xFF};
    if (!checkSignature(data, sig, sizeof sig, Format::Jpeg, reason)) return false;

    JpegJob job;
    job.image = &img;
    job.cinfo.err = jpeg_std_error(&job.err);
    job.err.error_exit = jpegErrorExit;
    job.err.emit_message = jpegEmitMessage;
    job.cinfo.client_data = &job;

    if (runJpegDecode(&job, &data)) {
        img.width = static_cast<int>(job.cinfo.output_width);
        img.height = static_cast<int>(job.cinfo.output_height);
        return true;
    }
    if (job.tooLarge)
        reason = tooLargeReason(job.cinfo.image_width, job.cinfo.image_height);
    else if (job.truncated)
        reason = truncatedReason(Format::Jpeg);
    else if (job.tooManyScans)
        reason = corruptReason(Format::Jpeg, "too many scans");
    else if (job.errorCode == JERR_OUT_OF_MEMORY)
        reason = "out of memory";
    else
        reason = corruptReason(Format::Jpeg, job.message);
    return false;
}

// ---- GIF ------------------------------------------------------------------------------------

struct GifSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
    // giflib reports a short read under several codes, some of them not about reading at all.
    bool exhausted;
};

int gifRead(GifFileType* gif, GifByteType* dst, int len) {
    auto* s = static_cast<GifSource*>(gif->UserData);
    if (len <= 0) return 0;
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(len), s->size - s->pos);
    std::memcpy(dst, s->data + s->pos, n);
    s->pos += n;
    if (n < static_cast<std::size_t>(len)) s->exhausted = true;
    return static_cast<int>(n);
}

struct GifHandle {
    GifFileType* gif = nullptr;
    ~GifHandle() {
        int err = 0;
        if (gif) DGifCloseFile(gif, &err);
    }
};

std::string gifReason(int code, const GifSource& src) {
    if (src.exhausted) return truncatedReason(Format::Gif);
    switch (code) {
    case D_GIF_ERR_READ_FAILED: return truncatedReason(Format::Gif);
    case D_GIF_ERR_NOT_GIF_FILE: return "not a GIF file";
    case D_GIF_ERR_NOT_ENOUGH_MEM: return "out of memory";
    default: {
        const char* text = GifErrorString(code);
        return corruptReason(Format::Gif, text ? text : ("error " + std::to_string(code)).c_str());
    }
    }
}

std::string gifReason(GifFileType* gif) {
    return gifReason(gif->Error, *static_cast<const GifSource*>(gif->UserData));
}

bool decodeGifFrame(GifFileType* gif, int transparent, DecodedImage& img, std::string& reason) {
    if (DGifGetImageDesc(gif) == GIF_ERROR) {
        reason = gifReason(gif);
        return false;
    }
    const GifImageDesc& d = gif->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (!map) {
        reason = corruptReason(Format::Gif, "no colour table");
        return false;
    }
    if (d.Width <= 0 || d.Height <= 0 || d.Left < 0 || d.Top < 0) {
        reason = corruptReason(Format::Gif, "bad frame size");
        return false;
    }
    // Some writers leave the screen size at zero; the first frame's extent stands in for it.
    std::uint64_t cw = std::uint64_t(gif->SWidth), ch = std::uint64_t(gif->SHeight);
    if (cw == 0 || ch == 0) {
        cw = std::uint64_t(d.Left) + std::uint64_t(d.Width);
        ch = std::uint64_t(d.Top) + std::uint64_t(d.Height);
    }
    if (tooLarge(cw, ch)) {
        reason = tooLargeReason(cw, ch);
        return false;
    }
    if (tooLarge(std::uint64_t(d.Width), std::uint64_t(d.Height))) {
        reason = tooLargeReason(std::uint64_t(d.Width), std::uint64_t(d.Height));
        return false;
    }

    // Indices past the colour table (the LZW code size allows them) read as transparent,
    // never as memory beyond the table.
    std::uint32_t table[256] = {};
    const int count = std::min(map->ColorCount, 256);
    for (int i = 0; i < count; ++i) {
        const GifColorType& c = map->Colors[i];
        table[i] = premultiply(c.Red, c.Green, c.Blue, 255);
    }
    if (transparent >= 0 && transparent < 256) table[transparent] = 0;

    // Parts of the screen that the first frame does not cover are transparent.
    std::vector<std::uint32_t> pixels(cw * ch, 0u);
    std::vector<GifPixelType> line(static_cast<std::size_t>(d.Width));
    auto putRow = [&](int y) -> bool {
        if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) {
            reason = gifReason(gif);
            return false;
        }
        const std::uint64_t cy = std::uint64_t(d.Top) + std::uint64_t(y);
        if (cy >= ch) return true;
        std::uint32_t* dst = pixels.data() + cy * cw;
        for (int x = 0; x < d.Width; ++x) {
            const std::uint64_t cx = std::uint64_t(d.Left) + std::uint64_t(x);
            if (cx < cw) dst[cx] = table[line[static_cast<std::size_t>(x)]];
        }
        return true;
    };
    if (d.Interlace) {
        // Interlaced frames arrive as four passes of every 8th, 8th, 4th and 2nd row.
        static const int start[4] = {0, 4, 2, 1};
        static const int step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < d.Height; y += step[pass])
                if (!putRow(y)) return false;
    } else {
        for (int y = 0; y < d.Height; ++y)
            if (!putRow(y)) return false;
    }
    img.width = static_cast<int>(cw);
    img.height = static_cast<int>(ch);
    img.pixels = std::move(pixels);
    return true;
}

bool decodeGif(const Bytes& data, DecodedImage& img, std::string& reason) {
    static const unsigned char sig[3] = {'G', 'I', 'F'};
    if (!checkSignature(data, sig, sizeof sig, Format::Gif, reason)) return false;

    GifSource src{data.data(), data.size(), 0, false};
    int err = 0;
    GifHandle h;
    h.gif = DGifOpen(&src, gifRead, &err);
    if (!h.gif) {
        reason = gifReason(err, src);
        return false;
    }
    GifFileType* gif = h.gif;
    if (tooLarge(std::uint64_t(std::max(gif->SWidth, 0)), std::uint64_t(std::max(gif->SHeight, 0)))) {
        reason = tooLargeReason(std::uint64_t(gif->SWidth), std::uint64_t(gif->SHeight));
        return false;
    }
    // Only the graphic control block that precedes the first frame applies to it.
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
            reason = gifReason(gif);
            return false;
        }
        if (type == IMAGE_DESC_RECORD_TYPE) return decodeGifFrame(gif, transparent, img, reason);
        if (type == TERMINATE_RECORD_TYPE) {
            reason = corruptReason(Format::Gif, "no image");
            return false;
        }
        if (type != EXTENSION_RECORD_TYPE) {
            reason = corruptReason(Format::Gif, "unknown record");
            return false;
        }
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
            reason = gifReason(gif);
            return false;
        }
        bool first = true;
        while (block) {
            GraphicsControlBlock gcb;
            if (first && code == GRAPHICS_EXT_FUNC_CODE &&
                DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
                transparent = gcb.TransparentColor;
            first = false;
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
                reason = gifReason(gif);
                return false;
            }
        }
    }
}

// ---- BMP ------------------------------------------------------------------------------------

std::uint32_t le16(const Bytes& d, std::size_t at) { return d[at] | (d[at + 1] << 8); }
std::uint32_t le32(const Bytes& d, std::size_t at) {
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (std::uint32_t(d[at + 3]) << 24);
}

struct StbFree {
    void operator()(stbi_uc* p) const { stbi_image_free(p); }
};

// stb_image reads bytes past the end of its buffer as zeros and leaves palette entries it did
// not load uninitialised, so a short file or a stray index would decode as a plausible but
// wrong picture. The header, the pixel array's extent and palette indices are checked here
// first, mirroring the reads stb is about to make.
bool checkBmp(const Bytes& d, std::string& reason) {
    const Format f = Format::Bmp;
    if (d.size() < 18) {
        reason = truncatedReason(f);
        return false;
    }
    const std::uint32_t offset = le32(d, 10);
    const std::uint32_t hsz = le32(d, 14);
    if (hsz != 12 && hsz != 40 && hsz != 56 && hsz != 108 && hsz != 124) {
        reason = "unsupported BMP data (header of " + std::to_string(hsz) + " bytes)";
        return false;
    }
    if (d.size() < 14 + hsz) {
        reason = truncatedReason(f);
        return false;
    }
    std::int64_t w, h;
    std::uint32_t bpp, compression = 0;
    if (hsz == 12) {
        w = le16(d, 18);
        h = le16(d, 20);
        bpp = le16(d, 24);
    } else {
        w = static_cast<std::int32_t>(le32(d, 18));
        h = static_cast<std::int32_t>(le32(d, 22));
        bpp = le16(d, 28);
        compression = le32(d, 30);
    }
    // A negative height marks rows stored top-down; INT32_MIN has no positive counterpart.
    if (w <= 0 || h == 0 || h == INT32_MIN) {
        reason = corruptReason(f, "bad size");
        return false;
    }
    const std::int64_t rows = h < 0 ? -h : h;
    if (tooLarge(std::uint64_t(w), std::uint64_t(rows))) {
        reason = tooLargeReason(std::uint64_t(w), std::uint64_t(rows));
        return false;
    }
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
        reason = truncatedReason(f);
        return false;
    }
    if (bpp > 8) return true;

    // The palette is whatever lies between the header and the pixels, as stb counts it.
    const std::int64_t paletteSize = hsz == 12 ? (std::int64_t(offset) - 14 - 24) / 3
                                               : (std::int64_t(offset) - 14 - hsz) / 4;
    if (paletteSize < 1 || paletteSize > 256) {
        reason = corruptReason(f, "bad palette");
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
                reason = corruptReason(f, "colour index outside the palette");
                return false;
            }
        }
    }
    return true;
}

bool decodeBmp(const Bytes& data, DecodedImage& img, std::string& reason) {
    static const unsigned char sig[2] = {'B', 'M'};
    if (!checkSignature(data, sig, sizeof sig, Format::Bmp, reason)) return false;
    if (!checkBmp(data, reason)) return false;

    int w = 0, h = 0, channels = 0;
    std::unique_ptr<stbi_uc, StbFree> rgba(
        stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &w, &h, &channels, 4));
    if (!rgba) {
        const char* why = stbi_failure_reason();
        if (why && std::strcmp(why, "outofmem") == 0)
            reason = "out of memory";
        else
            reason = corruptReason(Format::Bmp, why);
        return false;
    }
    img.pixels.resize(std::size_t(w) * std::size_t(h));
    const stbi_uc* p = rgba.get();
    for (std::size_t i = 0; i < img.pixels.size(); ++i, p += 4)
        img.pixels[i] = premultiply(p[0], p[1], p[2], p[3]);
    img.width = w;
    img.height = h;
    return true;
}

// ---- PNG writing ----------------------------------------------------------------------------

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

bool writeAll(int fd, const png_byte* p, std::size_t len, int& error) {
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

bool flushWriter(PngWriter* w) {
    if (w->buffered == 0) return true;
    const bool ok = writeAll(w->fd, w->buffer, w->buffered, w->writeErrno);
    w->buffered = 0;
    return ok;
}

// libpng hands over many small pieces (chunk lengths, CRCs); they are gathered before write().
void pngWriteData(png_structp png, png_bytep src, std::size_t len) {
    auto* w = static_cast<PngWriter*>(png_get_io_ptr(png));
    while (len > 0) {
        if (w->buffered == sizeof w->buffer && !flushWriter(w)) png_error(png, "write failed");
        const std::size_t n = std::min(len, sizeof w->buffer - w->buffered);
        std::memcpy(w->buffer + w->buffered, src, n);
        w->buffered += n;
        src += n;
        len -= n;
    }
}

void pngFlushData(png_structp) {}

void pngWriteError(png_structp png, png_const_charp msg) {
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
bool runPngEncode(png_structp png, png_infop info, PngWriter* w) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, png_uint_32(w->width), png_uint_32(w->height), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
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

// The picture is written to a sibling file and renamed over the target only when complete,
// so a full disk or a crash never leaves a half-written PNG under the real name.
class TempFile {
public:
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!name_.empty()) ::unlink(name_.c_str());
    }
    bool create(const std::string& target) {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = target + ".part-" + std::to_string(::getpid()) + "-" +
                               std::to_string(counter.fetch_add(1));
            int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                fd_ = fd;
                name_ = std::move(name);
                return true;
            }
            if (errno != EEXIST) return false;
        }
        errno = EEXIST;
        return false;
    }
    int fd() const { return fd_; }
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    bool commit(const std::string& target) {
        if (::rename(name_.c_str(), target.c_str()) != 0) return false;
        name_.clear();
        return true;
    }
private:
    int fd_ = -1;
    std::string name_;
};

bool writePng(const std::string& path, const std::uint32_t* pixels, int width, int height,
              int stride, std::string& reason) {
    const std::string prefix = "cannot write " + path + ": ";
    auto fail = [&](const std::string& why) {
        reason = prefix + why;
        return false;
    };
    if (!pixels || width <= 0 || height <= 0 || tooLarge(std::uint64_t(width), std::uint64_t(height)))
        return fail("invalid image size (" + std::to_string(width) + "x" + std::to_string(height) + ")");
    if (std::int64_t(stride) < std::int64_t(width) * 4)
        return fail("invalid stride " + std::to_string(stride));

    TempFile temp;
    if (!temp.create(path)) return fail(std::strerror(errno));

    auto writer = std::make_unique<PngWriter>();
    writer->fd = temp.fd();
    writer->pixels = pixels;
    writer->width = width;
    writer->height = height;
    writer->stride = stride;
    writer->row.resize(std::size_t(width) * 4);

    PngWriteHandle h;
    h.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, writer.get(), pngWriteError, pngIgnoreWarning);
    if (h.png) h.info = png_create_info_struct(h.png);
    if (!h.png || !h.info) return fail("out of memory");
    png_set_write_fn(h.png, writer.get(), pngWriteData, pngFlushData);

    if (!runPngEncode(h.png, h.info, writer.get()))
        return fail(writer->writeErrno ? std::strerror(writer->writeErrno) : writer->message);
    if (!flushWriter(writer.get())) return fail(std::strerror(writer->writeErrno));
    if (::fsync(temp.fd()) != 0 || !temp.close() || !temp.commit(path)) return fail(std::strerror(errno));
    return true;
}

} // namespace

bool DecodeImageFile(const std::string& path, DecodedImage& out, std::string& reason) {
    out = DecodedImage{};
    reason.clear();
    try {
        const Format format = formatFromPath(path);
        if (format == Format::Unknown) {
            reason = "unsupported image format";
            return false;
        }
        Bytes data;
        if (!readWholeFile(path, data, reason)) return false;

        // Decoded aside and moved in only when complete, so a failure never shows half a picture.
        DecodedImage img;
        bool ok = false;
        switch (format) {
        case Format::Png: ok = decodePng(data, img, reason); break;
        case Format::Jpeg: ok = decodeJpeg(data, img, reason); break;
        case Format::Gif: ok = decodeGif(data, img, reason); break;
        case Format::Bmp: ok = decodeBmp(data, img, reason); break;
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

bool WritePngFile(const std::string& path, const std::uint32_t* pixels, int width, int height,
                  int stride, std::string& reason) {
    reason.clear();
    try {
        return writePng(path, pixels, width, height, stride, reason);
    } catch (const std::bad_alloc&) {
        reason = "cannot write " + path + ": out of memory";
        return false;
    }
}

} // namespace codec
