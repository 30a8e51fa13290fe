// Screen composites that put the artwork where the app puts it, over a busy photo-like background.
// Used to judge placement and legibility by eye; the app's own drawing rules are mirrored here.
#include "Artwork.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>

namespace resgen {

namespace {

constexpr double kPi = std::numbers::pi;

// Small hash-based value noise: the stand-in picture comes out the same on every run and machine.
double HashUnit(int x, int y, std::uint32_t seed)
{
    std::uint32_t h =
        static_cast<std::uint32_t>(x) * 0x8da6b343u ^ static_cast<std::uint32_t>(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return (h & 0xffffff) / double(0x1000000);
}

double ValueNoise(double x, double y, std::uint32_t seed)
{
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    const double fx = x - ix, fy = y - iy;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double a = HashUnit(ix, iy, seed), b = HashUnit(ix + 1, iy, seed);
    const double c = HashUnit(ix, iy + 1, seed), d = HashUnit(ix + 1, iy + 1, seed);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

double Fbm(double x, double y, std::uint32_t seed)
{
    double sum = 0, amp = 0.5;
    for (int i = 0; i < 4; ++i) {
        sum += amp * ValueNoise(x, y, seed + i);
        x *= 2.03;
        y *= 2.03;
        amp *= 0.5;
    }
    return sum;
}

// Wood seen up close: busy grain with sharp dark lines is the hardest background for thin artwork.
// (u, v) run along and across the board; `light` and `dark` are the grain's two ends.
Rgba WoodAt(double u, double v, std::uint32_t seed, Rgba light, Rgba dark)
{
    const double t = v * 0.16 + 5.0 * Fbm(u * 0.004, v * 0.02, seed) + 0.8 * Fbm(u * 0.03, v * 0.15, seed + 7);
    double ring = 0.5 + 0.5 * std::sin(t * 2 * kPi);
    ring = ring * ring * ring;
    const double pores = Fbm(u * 0.25, v * 1.2, seed + 13);
    const double k = std::clamp(0.65 * ring + 0.45 * (pores - 0.35), 0.0, 1.0);
    return {light.r + (dark.r - light.r) * k, light.g + (dark.g - light.g) * k, light.b + (dark.b - light.b) * k};
}

// A stand-in camera picture: a plank floor, a pale board whose corner is measured at `corner`,
// a sheet of white paper and a deep shadow, so the dial is seen over busy, bright and dark ground.
void FakePhoto(cairo_t* cr, Pt corner, double deg1, double deg2, bool landscapeDirs)
{
    auto dir = [&](double d) {
        const double a = d * kPi / 180.0;
        return landscapeDirs ? Pt{-std::cos(a), -std::sin(a)} : Pt{-std::sin(a), std::cos(a)};
    };
    const Pt a = dir(deg1), b = dir(deg2);
    // The board runs along the first edge; v measures the distance from it into the board.
    const double bisx = a.x + b.x, bisy = a.y + b.y;
    const double side = (-a.y * bisx + a.x * bisy) > 0 ? 1 : -1;

    Canvas photo(800, 480, true);
    cairo_surface_flush(photo.Surface());
    unsigned char* data = cairo_image_surface_get_data(photo.Surface());
    const int stride = cairo_image_surface_get_stride(photo.Surface());
    const double cross = a.x * b.y - a.y * b.x;
    for (int y = 0; y < 480; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
        for (int x = 0; x < 800; ++x) {
            const double px = x + 0.5 - corner.x, py = y + 0.5 - corner.y;
            // Inside the angle between the two edges: on the inner side of both.
            const double sa = a.x * py - a.y * px, sb = px * b.y - py * b.x;
            const bool onBoard = cross > 0 ? (sa >= 0 && sb >= 0) : (sa <= 0 && sb <= 0);
            Rgba c;
            if (onBoard) {
                const double u = px * a.x + py * a.y, v = side * (-px * a.y + py * a.x);
                c = WoodAt(u, v, 91, {0.93, 0.80, 0.60}, {0.62, 0.42, 0.24});
                // A darker rim along both edges gives the board its thickness, as in a photo.
                const double edge = std::min(std::abs(sa), std::abs(sb));
                if (edge < 3) c = {c.r * 0.55, c.g * 0.5, c.b * 0.45};
            } else {
                const int plank = static_cast<int>(std::floor((y + 20) / 68.0));
                const double v = y + 20 - plank * 68.0;
                c = WoodAt(x + plank * 211.0, v + plank * 37.0, 17 + plank, {0.70, 0.47, 0.27}, {0.30, 0.17, 0.08});
                if (v < 2) c = {0.12, 0.07, 0.04}; // the gap between planks
            }
            auto ch = [](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
            row[x] = 0xff000000u | ch(c.r) << 16 | ch(c.g) << 8 | ch(c.b);
        }
    }
    cairo_surface_mark_dirty(photo.Surface());
    cairo_set_source_surface(cr, photo.Surface(), 0, 0);
    cairo_paint(cr);

    cairo_rectangle(cr, 560, 40, 200, 150);
    cairo_set_source_rgb(cr, 0.98, 0.98, 0.96);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, 300, 200, 180);
    cairo_set_source_rgb(cr, 0.08, 0.07, 0.06);
    cairo_fill(cr);
}

void PaintAt(cairo_t* cr, const Canvas& img, double x, double y)
{
    cairo_set_source_surface(cr, img.Surface(), x, y);
    cairo_paint(cr);
}

// Turned by `turn` degrees counter-clockwise about the pivot pixel, which lands on the screen pixel.
void PaintTurned(cairo_t* cr, const Canvas& img, Pt pivot, Pt screen, double turn)
{
    cairo_save(cr);
    cairo_translate(cr, screen.x + 0.5, screen.y + 0.5);
    cairo_rotate(cr, -turn * kPi / 180.0);
    cairo_translate(cr, -(pivot.x + 0.5), -(pivot.y + 0.5));
    cairo_set_source_surface(cr, img.Surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_paint(cr);
    cairo_restore(cr);
}

// Places a reading the way the app does: digit centres at fixed offsets, leading zeros left out.
void PaintReading(cairo_t* cr, int tenths, double ox, double oy, bool big)
{
    const double* xs = big ? geo::kBigX : geo::kSmallX;
    const double* ys = big ? geo::kBigY : geo::kSmallY;
    const double hw = (big ? geo::kBigW : geo::kSmallW) / 2.0, hh = (big ? geo::kBigH : geo::kSmallH) / 2.0;
    const int whole = tenths / 10;
    const int glyphs[6] = {whole / 100, whole / 10 % 10, whole % 10, kPointGlyph, tenths % 10, kDegreeGlyph};
    for (int i = 0; i < 6; ++i) {
        if ((i == 0 && whole < 100) || (i == 1 && whole < 10)) continue;
        PaintAt(cr, DrawDigit(glyphs[i], big), ox + xs[i] - hw, oy + ys[i] - hh);
    }
}

} // namespace

Canvas DrawLandscapePreview()
{
    Canvas screen(800, 480, true);
    cairo_t* cr = screen.Cr();
    const double measuring = 30, origin = 90;
    FakePhoto(cr, {400.5, 469.5}, measuring, origin, true);

    PaintAt(cr, DrawLandscapeDial(), 46, 104);
    const Pt pivot{geo::kLandPinAxis, geo::kPinPivotY}, at{400, 469};
    PaintTurned(cr, DrawPin(true, true), pivot, at, 90 - origin);
    PaintTurned(cr, DrawPin(true, false), pivot, at, 90 - measuring);
    PaintAt(cr, DrawHub(false), 379, 449);

    PaintAt(cr, DrawNumberFrame(false), 0, 15);
    PaintReading(cr, 600, 0, 15, true);
    PaintAt(cr, DrawHold(false), 721, 15);
    PaintAt(cr, DrawInfo(true), 15, 90);
    return screen;
}

Canvas DrawPortraitPreview()
{
    Canvas screen(800, 480, true);
    cairo_t* cr = screen.Cr();
    const double measuring = 120, origin = 0;
    FakePhoto(cr, {399.5, 239.5}, measuring, origin, false);

    PaintAt(cr, DrawPortraitDial(), 0, 0);
    const Pt pivot{geo::kPortPinAxis, geo::kPinPivotY}, at{399, 239};
    PaintTurned(cr, DrawPin(false, true), pivot, at, 180 - origin);
    PaintTurned(cr, DrawPin(false, false), pivot, at, 180 - measuring);
    PaintAt(cr, DrawHub(true), 386, 226);

    // Where the app puts this frame in portrait is its own business; here it only shows the reading.
    PaintAt(cr, DrawNumberFrame(true), 10, 410);
    PaintReading(cr, 1200, 10, 410, true);
    PaintReading(cr, 2400, 10, 410, false);
    return screen;
}

} // namespace resgen
