// Drawing surfaces, fonts and file writers shared by every piece of Veltora's artwork.
// PNGs go through cairo; JPEGs through libjpeg, since cairo cannot write them.
#include "Canvas.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

namespace resgen {

namespace {

constexpr const char* kFontDir = "/usr/share/fonts/truetype/dejavu/";

const char* FontFile(Font f)
{
    switch (f) {
    case Font::Sans: return "DejaVuSans.ttf";
    case Font::SansBold: return "DejaVuSans-Bold.ttf";
    case Font::Mono: return "DejaVuSansMono.ttf";
    case Font::MonoBold: return "DejaVuSansMono-Bold.ttf";
    case Font::Serif: return "DejaVuSerif.ttf";
    case Font::SerifBold: return "DejaVuSerif-Bold.ttf";
    }
    return "DejaVuSans.ttf";
}

cairo_font_face_t* FontFace(Font f)
{
    // Faces live for the whole run: cairo keeps referring to the FreeType face.
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) throw std::runtime_error("cannot start FreeType");
        return lib;
    }();
    static std::map<Font, cairo_font_face_t*> cache;
    if (auto it = cache.find(f); it != cache.end()) return it->second;
    const std::string path = std::string(kFontDir) + FontFile(f);
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0)
        throw std::runtime_error("cannot load font " + path + " (Debian package fonts-dejavu-core)");
    cairo_font_face_t* cf = cairo_ft_font_face_create_for_ft_face(face, 0);
    if (cairo_font_face_status(cf) != CAIRO_STATUS_SUCCESS) throw std::runtime_error("cairo cannot use font " + path);
    cache.emplace(f, cf);
    return cf;
}

} // namespace

Canvas::Canvas(int width, int height, bool opaque)
    : m_surface(cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, width, height))
{
    if (cairo_surface_status(m_surface) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot create a " + std::to_string(width) + "x" + std::to_string(height) +
                                 " surface");
    m_cr = cairo_create(m_surface);
    cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_GRAY);
}

Canvas::Canvas(cairo_surface_t* adopted) : m_surface(adopted)
{
    if (cairo_surface_status(m_surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(m_surface);
        throw std::runtime_error("bad surface");
    }
    m_cr = cairo_create(m_surface);
}

Canvas::~Canvas()
{
    if (m_cr) cairo_destroy(m_cr);
    if (m_surface) cairo_surface_destroy(m_surface);
}

Canvas::Canvas(Canvas&& o) noexcept : m_surface(o.m_surface), m_cr(o.m_cr)
{
    o.m_surface = nullptr;
    o.m_cr = nullptr;
}

Canvas& Canvas::operator=(Canvas&& o) noexcept
{
    if (this != &o) {
        if (m_cr) cairo_destroy(m_cr);
        if (m_surface) cairo_surface_destroy(m_surface);
        m_surface = o.m_surface;
        m_cr = o.m_cr;
        o.m_surface = nullptr;
        o.m_cr = nullptr;
    }
    return *this;
}

int Canvas::Width() const { return cairo_image_surface_get_width(m_surface); }
int Canvas::Height() const { return cairo_image_surface_get_height(m_surface); }
bool Canvas::Opaque() const { return cairo_image_surface_get_format(m_surface) == CAIRO_FORMAT_RGB24; }

Image Canvas::Snapshot() const
{
    cairo_surface_flush(m_surface);
    Image img;
    img.width = Width();
    img.height = Height();
    img.px.resize(static_cast<std::size_t>(img.width) * img.height);
    const unsigned char* data = cairo_image_surface_get_data(m_surface);
    const int stride = cairo_image_surface_get_stride(m_surface);
    const bool op = Opaque();
    for (int y = 0; y < img.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
        for (int x = 0; x < img.width; ++x) {
            const std::uint32_t v = row[x];
            const unsigned a = op ? 255u : (v >> 24);
            auto un = [a](unsigned c) -> std::uint8_t {
                return a == 0 ? 0 : static_cast<std::uint8_t>((c * 255u + a / 2) / a);
            };
            img.px[static_cast<std::size_t>(y) * img.width + x] = {un((v >> 16) & 0xff), un((v >> 8) & 0xff),
                                                                   un(v & 0xff), static_cast<std::uint8_t>(a)};
        }
    }
    return img;
}

void SetFont(cairo_t* cr, Font font, double size, double xscale)
{
    cairo_set_font_face(cr, FontFace(font));
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, size * xscale, size);
    cairo_set_font_matrix(cr, &m);
    // Unhinted outlines: glyphs are turned and scaled freely, and hinting would tie output to the setup.
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
}

void SetColour(cairo_t* cr, Rgba c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

double TextAdvance(cairo_t* cr, std::string_view text)
{
    const std::string s(text);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    return e.x_advance;
}

void TextPath(cairo_t* cr, std::string_view text, double x, double y, Align align)
{
    const std::string s(text);
    double dx = 0;
    if (align != Align::Left) {
        const double w = TextAdvance(cr, s);
        dx = align == Align::Centre ? -w / 2 : -w;
    }
    cairo_move_to(cr, x + dx, y);
    cairo_text_path(cr, s.c_str());
}

void TextPathInkCentred(cairo_t* cr, std::string_view text, double cx, double cy)
{
    const std::string s(text);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    cairo_move_to(cr, cx - e.x_bearing - e.width / 2, cy - e.y_bearing - e.height / 2);
    cairo_text_path(cr, s.c_str());
}

void FillWithRim(cairo_t* cr, Rgba fill, Rgba rim, double rimWidth)
{
    cairo_save(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, rimWidth * 2);
    SetColour(cr, rim);
    cairo_stroke_preserve(cr);
    SetColour(cr, fill);
    cairo_fill(cr);
    cairo_restore(cr);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    constexpr double q = 1.5707963267948966;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -q, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, q);
    cairo_arc(cr, x + r, y + h - r, r, q, 2 * q);
    cairo_arc(cr, x + r, y + r, r, 2 * q, 3 * q);
    cairo_close_path(cr);
}

void WritePng(const Canvas& canvas, const std::filesystem::path& file)
{
    cairo_surface_flush(canvas.Surface());
    const cairo_status_t st = cairo_surface_write_to_png(canvas.Surface(), file.c_str());
    if (st != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot write " + file.string() + ": " + cairo_status_to_string(st));
}

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info)
{
    auto* err = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

} // namespace

void WriteJpeg(const Canvas& canvas, const std::filesystem::path& file, int quality)
{
    const Image img = canvas.Snapshot();
    std::vector<unsigned char> rgb(static_cast<std::size_t>(img.width) * img.height * 3);
    for (std::size_t i = 0; i < img.px.size(); ++i) {
        rgb[i * 3] = img.px[i].r;
        rgb[i * 3 + 1] = img.px[i].g;
        rgb[i * 3 + 2] = img.px[i].b;
    }

    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_compress_struct c{};
    JpegError err{};
    c.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnJpegError;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&c);
        std::free(out);
        throw std::runtime_error("cannot encode " + file.string() + ": " + err.message);
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = static_cast<JDIMENSION>(img.width);
    c.image_height = static_cast<JDIMENSION>(img.height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    c.optimize_coding = TRUE;
    // Full-resolution colour keeps the thin coloured lines and small text sharp.
    for (int i = 0; i < c.num_components; ++i) {
        c.comp_info[i].h_samp_factor = 1;
        c.comp_info[i].v_samp_factor = 1;
    }
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = &rgb[static_cast<std::size_t>(c.next_scanline) * img.width * 3];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::unique_ptr<unsigned char, decltype(&std::free)> owned(out, &std::free);

    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(out), static_cast<std::streamsize>(outSize));
    f.close();
    if (!f) throw std::runtime_error("cannot write " + file.string());
}

namespace {

Image LoadJpeg(const std::filesystem::path& file)
{
    std::FILE* fp = std::fopen(file.c_str(), "rb");
    if (!fp) throw std::runtime_error("cannot open " + file.string());
    jpeg_decompress_struct d{};
    JpegError err{};
    d.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnJpegError;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&d);
        std::fclose(fp);
        throw std::runtime_error("cannot decode " + file.string() + ": " + err.message);
    }
    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, fp);
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    Image img;
    img.width = static_cast<int>(d.output_width);
    img.height = static_cast<int>(d.output_height);
    img.px.resize(static_cast<std::size_t>(img.width) * img.height);
    std::vector<unsigned char> row(static_cast<std::size_t>(img.width) * 3);
    while (d.output_scanline < d.output_height) {
        const int y = static_cast<int>(d.output_scanline);
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&d, &r, 1);
        for (int x = 0; x < img.width; ++x)
            img.px[static_cast<std::size_t>(y) * img.width + x] = {row[x * 3], row[x * 3 + 1], row[x * 3 + 2], 255};
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    std::fclose(fp);
    return img;
}

} // namespace

Image LoadImage(const std::filesystem::path& file)
{
    if (!std::filesystem::exists(file)) throw std::runtime_error(file.string() + " is missing");
    if (file.extension() == ".jpg") return LoadJpeg(file);
    cairo_surface_t* s = cairo_image_surface_create_from_png(file.c_str());
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        const std::string why = cairo_status_to_string(cairo_surface_status(s));
        cairo_surface_destroy(s);
        throw std::runtime_error("cannot read " + file.string() + ": " + why);
    }
    return Canvas(s).Snapshot();
}

} // namespace resgen
