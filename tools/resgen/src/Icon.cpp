// The application's icon: a half-circle protractor with its two needles on a dark tile,
// drawn once in unit coordinates and written as SVG and as PNGs of the desktop's sizes.
#include "Artwork.h"

#include <cairo-svg.h>

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

namespace resgen {

namespace {

constexpr double kPi = std::numbers::pi;

// Draws the icon into a square of side 1 (the caller scales). Small sizes get fewer ticks
// and heavier strokes so that the shape still reads at 16 pixels.
void DrawIcon(cairo_t* cr, int pixels)
{
    const bool tiny = pixels > 0 && pixels < 32;
    // The tile, rounded as desktops draw application tiles, with a little margin.
    RoundedRect(cr, 0.04, 0.04, 0.92, 0.92, 0.18);
    cairo_pattern_t* bg = cairo_pattern_create_linear(0, 0.04, 0, 0.96);
    cairo_pattern_add_color_stop_rgb(bg, 0, 0.16, 0.21, 0.29);
    cairo_pattern_add_color_stop_rgb(bg, 1, 0.07, 0.09, 0.13);
    cairo_set_source(cr, bg);
    cairo_fill(cr);
    cairo_pattern_destroy(bg);

    const Pt hub{0.5, 0.74};
    const double r = 0.38;
    // The dial: a white half ring with degree ticks.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    SetColour(cr, kScaleWhite);
    cairo_set_line_width(cr, tiny ? 0.07 : 0.035);
    cairo_arc(cr, hub.x, hub.y, r, kPi, 2 * kPi);
    cairo_stroke(cr);
    cairo_move_to(cr, hub.x - r - 0.02, hub.y);
    cairo_line_to(cr, hub.x + r + 0.02, hub.y);
    cairo_stroke(cr);
    const int step = tiny ? 45 : 15;
    for (int deg = step; deg < 180; deg += step) {
        const double a = kPi + deg * kPi / 180.0;
        const double inner = deg % 45 == 0 ? r - 0.09 : r - 0.055;
        cairo_set_line_width(cr, tiny ? 0.06 : deg % 45 == 0 ? 0.03 : 0.018);
        cairo_move_to(cr, hub.x + inner * std::cos(a), hub.y + inner * std::sin(a));
        cairo_line_to(cr, hub.x + r * std::cos(a), hub.y + r * std::sin(a));
        cairo_stroke(cr);
    }
    // The needles: the origin needle in blue, the measuring needle in red, from the hub.
    const auto needle = [&](double deg, Rgba colour, double length) {
        const double a = kPi + deg * kPi / 180.0;
        cairo_move_to(cr, hub.x, hub.y);
        cairo_line_to(cr, hub.x + length * std::cos(a), hub.y + length * std::sin(a));
        SetColour(cr, kShadow.WithAlpha(0.6));
        cairo_set_line_width(cr, tiny ? 0.11 : 0.07);
        cairo_stroke_preserve(cr);
        SetColour(cr, colour);
        cairo_set_line_width(cr, tiny ? 0.07 : 0.04);
        cairo_stroke(cr);
    };
    needle(28, kOriginColour, r - 0.02);
    needle(112, kMeasureColour, r + 0.03);
    // The angle between them, as an amber arc.
    SetColour(cr, kHoldAmber);
    cairo_set_line_width(cr, tiny ? 0.05 : 0.025);
    cairo_arc(cr, hub.x, hub.y, 0.15, kPi + 28 * kPi / 180.0, kPi + 112 * kPi / 180.0);
    cairo_stroke(cr);
    // The hub.
    cairo_arc(cr, hub.x, hub.y, tiny ? 0.07 : 0.05, 0, 2 * kPi);
    SetColour(cr, kScaleWhite);
    cairo_fill_preserve(cr);
    SetColour(cr, kInk);
    cairo_set_line_width(cr, 0.015);
    cairo_stroke(cr);
}

} // namespace

const std::vector<int>& IconSizes()
{
    static const std::vector<int> sizes{16, 22, 24, 32, 48, 64, 128, 256, 512};
    return sizes;
}

void WriteIcons(const std::filesystem::path& dir, const std::string& name)
{
    std::filesystem::create_directories(dir / "scalable" / "apps");
    const std::string svg = (dir / "scalable" / "apps" / (name + ".svg")).string();
    cairo_surface_t* surface = cairo_svg_surface_create(svg.c_str(), 128, 128);
    cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, 128, 128);
    DrawIcon(cr, 0);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const cairo_status_t st = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (st != CAIRO_STATUS_SUCCESS) throw std::runtime_error("cannot write " + svg + ": " + cairo_status_to_string(st));
    for (const int size : IconSizes()) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        std::filesystem::create_directories(dir / folder / "apps");
        Canvas canvas(size, size);
        cairo_scale(canvas.Cr(), size, size);
        DrawIcon(canvas.Cr(), size);
        WritePng(canvas, dir / folder / "apps" / (name + ".png"));
    }
}

} // namespace resgen
