// Screen composites that put the artwork where the app puts it, over a photo-like background.
// Used to judge placement and legibility by eye; the app's own drawing rules are mirrored here.
#include "artwork.h"

#include <cmath>
#include <numbers>
#include <string>

namespace resgen {

namespace {

constexpr double kPi = std::numbers::pi;

// A stand-in camera picture with bright and dark areas and a corner to measure at (400,469).
void fakePhoto(cairo_t* cr, Pt corner, double deg1, double deg2, bool landscapeDirs) {
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, 480);
    cairo_pattern_add_color_stop_rgb(sky, 0.0, 0.86, 0.90, 0.94);
    cairo_pattern_add_color_stop_rgb(sky, 0.55, 0.66, 0.71, 0.74);
    cairo_pattern_add_color_stop_rgb(sky, 1.0, 0.35, 0.31, 0.27);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);
    cairo_rectangle(cr, 560, 40, 200, 150);
    cairo_set_source_rgb(cr, 0.98, 0.98, 0.96);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, 260, 240, 220);
    cairo_set_source_rgb(cr, 0.14, 0.13, 0.12);
    cairo_fill(cr);

    auto dir = [&](double d) {
        const double a = d * kPi / 180.0;
        return landscapeDirs ? Pt{-std::cos(a), -std::sin(a)} : Pt{-std::sin(a), std::cos(a)};
    };
    const Pt a = dir(deg1), b = dir(deg2);
    cairo_move_to(cr, corner.x, corner.y);
    cairo_line_to(cr, corner.x + 900 * a.x, corner.y + 900 * a.y);
    cairo_line_to(cr, corner.x + 900 * b.x, corner.y + 900 * b.y);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 0.72, 0.55, 0.36);
    cairo_fill(cr);
}

void paintAt(cairo_t* cr, const Canvas& img, double x, double y) {
    cairo_set_source_surface(cr, img.surface(), x, y);
    cairo_paint(cr);
}

// Turned by `turn` degrees counter-clockwise about the pivot pixel, which lands on the screen pixel.
void paintTurned(cairo_t* cr, const Canvas& img, Pt pivot, Pt screen, double turn) {
    cairo_save(cr);
    cairo_translate(cr, screen.x + 0.5, screen.y + 0.5);
    cairo_rotate(cr, -turn * kPi / 180.0);
    cairo_translate(cr, -(pivot.x + 0.5), -(pivot.y + 0.5));
    cairo_set_source_surface(cr, img.surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_paint(cr);
    cairo_restore(cr);
}

// Places a reading the way the app does: digit centres at fixed offsets, leading zeros left out.
void paintReading(cairo_t* cr, int tenths, double ox, double oy, bool big) {
    const double* xs = big ? geo::kBigX : geo::kSmallX;
    const double* ys = big ? geo::kBigY : geo::kSmallY;
    const double hw = (big ? geo::kBigW : geo::kSmallW) / 2.0, hh = (big ? geo::kBigH : geo::kSmallH) / 2.0;
    const int whole = tenths / 10;
    const int glyphs[6] = {whole / 100, whole / 10 % 10, whole % 10, kPointGlyph, tenths % 10, kDegreeGlyph};
    for (int i = 0; i < 6; ++i) {
        if ((i == 0 && whole < 100) || (i == 1 && whole < 10)) continue;
        paintAt(cr, drawDigit(glyphs[i], big), ox + xs[i] - hw, oy + ys[i] - hh);
    }
}

}  // namespace

Canvas drawLandscapePreview() {
    Canvas screen(800, 480, true);
    cairo_t* cr = screen.cr();
    const double measuring = 30, origin = 90;
    fakePhoto(cr, {400.5, 469.5}, measuring, origin, true);

    paintAt(cr, drawLandscapeDial(), 46, 104);
    const Pt pivot{geo::kLandPinAxis, geo::kPinPivotY}, at{400, 469};
    paintTurned(cr, drawPin(true, true), pivot, at, 90 - origin);
    paintTurned(cr, drawPin(true, false), pivot, at, 90 - measuring);
    paintAt(cr, drawHub(false), 379, 449);

    paintAt(cr, drawNumberFrame(false), 0, 15);
    paintReading(cr, 600, 0, 15, true);
    paintAt(cr, drawHold(false), 721, 15);
    paintAt(cr, drawInfo(true), 15, 90);
    return screen;
}

Canvas drawPortraitPreview() {
    Canvas screen(800, 480, true);
    cairo_t* cr = screen.cr();
    const double measuring = 120, origin = 0;
    fakePhoto(cr, {399.5, 239.5}, measuring, origin, false);

    paintAt(cr, drawPortraitDial(), 0, 0);
    const Pt pivot{geo::kPortPinAxis, geo::kPinPivotY}, at{399, 239};
    paintTurned(cr, drawPin(false, true), pivot, at, 180 - origin);
    paintTurned(cr, drawPin(false, false), pivot, at, 180 - measuring);
    paintAt(cr, drawHub(true), 386, 226);

    // Where the app puts this frame in portrait is its own business; here it only shows the reading.
    paintAt(cr, drawNumberFrame(true), 10, 410);
    paintReading(cr, 1200, 10, 410, true);
    paintReading(cr, 2400, 10, 410, false);
    return screen;
}

}  // namespace resgen
