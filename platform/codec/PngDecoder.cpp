// The PNG decoder: libpng reads the file as it goes, every row of the picture
// arrives or the decode fails, and colours end up premultiplied.
#include "codec/Formats.h"
#include "codec/Input.h"

#include <csetjmp>
#include <cstring>

#include <png.h>

namespace codec::detail {
namespace {

struct PngReader {
    Input* input = nullptr;
    bool truncated = false;
    // Set when the picture's size is refused; says why.
    std::string refused;
    const Limits* limits = nullptr;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    char message[160] = {};
    DecodedImage* image = nullptr;
    std::vector<png_bytep> rows;
};

void PngReadData(png_structp png, png_bytep dst, std::size_t len)
{
    auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
    if (r->input->Read(dst, len) < len) {
        r->truncated = true;
        png_error(png, "unexpected end of file");
    }
}

void PngReadError(png_structp png, png_const_charp msg)
{
    auto* r = static_cast<PngReader*>(png_get_error_ptr(png));
    std::snprintf(r->message, sizeof r->message, "%s", msg ? msg : "");
    png_longjmp(png, 1);
}

// libpng's warnings concern ancillary chunks it has already skipped; they must not reach stderr.
void PngIgnoreWarning(png_structp, png_const_charp) {}

struct PngReadHandle {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReadHandle() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// Only trivially destructible locals live here: a longjmp out of libpng lands in this frame.
bool RunPngDecode(png_structp png, png_infop info, PngReader* r)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    r->width = png_get_image_width(png, info);
    r->height = png_get_image_height(png, info);
    if (!SizeAllowed(r->width, r->height, *r->limits, r->refused)) return false;
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

} // namespace

bool DecodePng(Input& input, const Limits& limits, DecodedImage& img, std::string& reason)
{
    if (!CheckHead(input.Head(), Format::Png, limits, reason)) return false;

    PngReader reader;
    reader.input = &input;
    reader.image = &img;
    reader.limits = &limits;
    PngReadHandle h;
    h.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, PngReadError, PngIgnoreWarning);
    if (h.png) h.info = png_create_info_struct(h.png);
    if (!h.png || !h.info) {
        reason = "out of memory";
        return false;
    }
    png_set_read_fn(h.png, &reader, PngReadData);
    // Let every valid header through to our own size check, which explains its refusal.
    png_set_user_limits(h.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);

    if (RunPngDecode(h.png, h.info, &reader)) {
        RgbaBytesToArgb(img.pixels);
        img.width = static_cast<int>(reader.width);
        img.height = static_cast<int>(reader.height);
        return true;
    }
    if (!reader.refused.empty())
        reason = reader.refused;
    else if (reader.truncated)
        reason = TruncatedReason(Format::Png);
    else if (std::strstr(reader.message, "insufficient memory") || std::strstr(reader.message, "out of memory"))
        reason = "out of memory";
    else
        reason = CorruptReason(Format::Png, reader.message);
    return false;
}

} // namespace codec::detail
