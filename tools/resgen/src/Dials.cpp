// The two protractor dials: the half circle for landscape and the full circle for portrait.
// Both are mostly clear so the camera picture shows through; the scale carries its own shadow.
#include "Artwork.h"

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace resgen {

namespace {

constexpr double kPi = std::numbers::pi;

// The app blends the dial over every camera frame. Clear pixels are nearly free and partly clear
// ones cost a full blend, so translucent paint is kept to thin lines and the narrow tick band.
constexpr double kBandAlpha = 0.34;
constexpr double kBandFade = 4; // soft inner edge of the band, so it does not read as a stripe
constexpr double kNumberGap = 2.5; // between the end of a ten-degree tick and its number
constexpr double kNumberRim = 1.5; // dark outline round the numbers
constexpr double kZoneGlow = 4; // soft tint on the zone side of each zone edge
constexpr double kZoneGlowAlpha = 0.50;

struct DialLayout {
    int width, height;
    Pt centre, touch;
    double measureR, originR0;
    double scaleR, tick1, tick5, tick10;
    double numberSize;
    int lastDegree; // 180 for the half circle, 359 for the full one
    bool half;
    // Screen direction of a dial angle, as a cairo angle (clockwise from +x).
    double (*phi)(double degrees);
    std::vector<double> markerAngles; // grip marks on the zone edges, dial degrees
    double markerSize;
    // The second scale, just inside the first, reads upright when the phone is turned over: its
    // numbers face the centre and count from the other end, as on a double-scale protractor.
    double innerNumberSize;
    int (*innerValue)(int degrees);
};

double Rad(double degrees) { return degrees * kPi / 180.0; }

// Landscape: 0 points left, 90 up, 180 right.
double LandscapePhi(double d) { return kPi + Rad(d); }
// Portrait: 0 points down, 90 left, 180 up, 270 right.
double PortraitPhi(double d) { return kPi / 2 + Rad(d); }

Pt PolarAbout(const DialLayout& L, Pt c, double degrees, double r)
{
    const double p = L.phi(degrees);
    return {c.x + r * std::cos(p), c.y + r * std::sin(p)};
}

Pt Polar(const DialLayout& L, double degrees, double r) { return PolarAbout(L, L.centre, degrees, r); }

void ArcPath(cairo_t* cr, const DialLayout& L, Pt c, double r)
{
    cairo_new_sub_path(cr);
    if (L.half)
        cairo_arc(cr, c.x, c.y, r, L.phi(0), L.phi(180));
    else
        cairo_arc(cr, c.x, c.y, r, 0, 2 * kPi);
}

// Radial extent of a number's ink: numbers are turned so their height runs along the radius.
double NumberInkHeight(cairo_t* cr, const DialLayout& L)
{
    SetFont(cr, Font::SansBold, L.numberSize, 0.92);
    cairo_text_extents_t e;
    cairo_text_extents(cr, "0123456789", &e);
    return e.height;
}

double NumberRadius(cairo_t* cr, const DialLayout& L)
{
    return L.scaleR - L.tick10 - kNumberGap - NumberInkHeight(cr, L) / 2;
}

double InnerNumberRadius(cairo_t* cr, const DialLayout& L)
{
    const double outer = NumberRadius(cr, L) - NumberInkHeight(cr, L) / 2;
    SetFont(cr, Font::SansBold, L.innerNumberSize, 0.92);
    cairo_text_extents_t e;
    cairo_text_extents(cr, "0123456789", &e);
    return outer - 2 * kNumberRim - 1 - e.height / 2;
}

// The band reaches just past the numbers' outlines and no further: it holds most of the dial's
// partly clear pixels.
double BandInner(cairo_t* cr, const DialLayout& L)
{
    return NumberRadius(cr, L) - NumberInkHeight(cr, L) / 2 - kNumberRim - 2;
}
double BandOuter(const DialLayout& L) { return L.scaleR + 2; }

void DrawScaleBacking(cairo_t* cr, const DialLayout& L)
{
    // A dark band under the ticks and numbers keeps the white scale legible over white walls and sky.
    const double in = BandInner(cr, L), out = BandOuter(L);
    cairo_save(cr);
    cairo_new_path(cr);
    if (L.half) {
        cairo_arc(cr, L.centre.x, L.centre.y, out, L.phi(0), L.phi(180));
        cairo_arc_negative(cr, L.centre.x, L.centre.y, in, L.phi(180), L.phi(0));
        cairo_close_path(cr);
    } else {
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_arc(cr, L.centre.x, L.centre.y, out, 0, 2 * kPi);
        cairo_new_sub_path(cr);
        cairo_arc(cr, L.centre.x, L.centre.y, in, 0, 2 * kPi);
    }
    cairo_pattern_t* band = cairo_pattern_create_radial(L.centre.x, L.centre.y, in, L.centre.x, L.centre.y, out);
    cairo_pattern_add_color_stop_rgba(band, 0, kShadow.r, kShadow.g, kShadow.b, 0);
    cairo_pattern_add_color_stop_rgba(band, kBandFade / (out - in), kShadow.r, kShadow.g, kShadow.b, kBandAlpha);
    cairo_pattern_add_color_stop_rgba(band, 1, kShadow.r, kShadow.g, kShadow.b, kBandAlpha);
    cairo_set_source(cr, band);
    cairo_fill(cr);
    cairo_pattern_destroy(band);
    cairo_restore(cr);
}

// A zone is shown by its edge alone: a fine line in its needle's colour with a short glow on the
// side where dragging moves that needle. The picture inside stays untouched.
void DrawZoneEdge(cairo_t* cr, const DialLayout& L, double r, Rgba colour, bool zoneInside, bool origin)
{
    const Pt c = L.touch;
    cairo_save(cr);

    const double g0 = zoneInside ? r - kZoneGlow : r, g1 = zoneInside ? r : r + kZoneGlow;
    cairo_new_path(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_arc(cr, c.x, c.y, g1, 0, 2 * kPi);
    cairo_new_sub_path(cr);
    cairo_arc(cr, c.x, c.y, g0, 0, 2 * kPi);
    cairo_pattern_t* glow = cairo_pattern_create_radial(c.x, c.y, g0, c.x, c.y, g1);
    // Strongest at the line, fading into the zone.
    const double atLine = zoneInside ? 1 : 0, away = 1 - atLine;
    cairo_pattern_add_color_stop_rgba(glow, atLine, colour.r, colour.g, colour.b, kZoneGlowAlpha);
    cairo_pattern_add_color_stop_rgba(glow, 0.5, colour.r, colour.g, colour.b, kZoneGlowAlpha * 0.3);
    cairo_pattern_add_color_stop_rgba(glow, away, colour.r, colour.g, colour.b, 0);
    cairo_set_source(cr, glow);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);

    // Dark edge and marks as one group, so where they overlap they do not darken twice.
    auto edgeAndMarks = [&] {
        cairo_new_path(cr);
        cairo_arc(cr, c.x, c.y, r, 0, 2 * kPi);
        for (const double d : L.markerAngles) GripMarkPath(cr, PolarAbout(L, c, d, r), L.phi(d), L.markerSize, origin);
    };
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_push_group(cr);
    SetColour(cr, kShadow);
    edgeAndMarks();
    cairo_set_line_width(cr, 4.4);
    cairo_stroke(cr);
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, 0.6);

    SetColour(cr, colour);
    cairo_new_path(cr);
    cairo_arc(cr, c.x, c.y, r, 0, 2 * kPi);
    cairo_set_line_width(cr, 2.0);
    cairo_stroke(cr);
    for (const double d : L.markerAngles) {
        cairo_new_path(cr);
        GripMarkPath(cr, PolarAbout(L, c, d, r), L.phi(d), L.markerSize, origin);
        // Outlined like the needles' grips; the edge line shows through the middle.
        cairo_set_line_width(cr, 1.8);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

void DrawZones(cairo_t* cr, const DialLayout& L)
{
    // Only the inner edge of the origin ring is drawn: its outer edge lies past the scale, at the
    // dial's rim, where there is nothing else to grab.
    DrawZoneEdge(cr, L, L.measureR, kMeasureColour, true, false);
    DrawZoneEdge(cr, L, L.originR0, kOriginColour, false, true);
}

// The numbers of one scale; the second scale's face the centre, in their own colour.
void DrawNumbers(cairo_t* cr, const DialLayout& L, bool shadow, bool inner)
{
    const double numberR = inner ? InnerNumberRadius(cr, L) : NumberRadius(cr, L);
    SetFont(cr, Font::SansBold, inner ? L.innerNumberSize : L.numberSize, 0.92);
    if (!shadow) SetColour(cr, inner ? kSecondScale : kScaleWhite);
    for (int d = 0; d <= L.lastDegree; d += 10) {
        const std::string text = std::to_string(inner ? L.innerValue(d) : d);
        double at = d;
        if (L.half && (d == 0 || d == 180)) {
            // The end numbers would straddle the base line: slide them up along the arc until clear.
            cairo_text_extents_t e;
            cairo_text_extents(cr, text.c_str(), &e);
            const double lift = std::asin((e.width / 2 + 3) / numberR) * 180 / kPi;
            at += d == 0 ? lift : -lift;
        }
        const Pt p = Polar(L, at, numberR);
        cairo_save(cr);
        cairo_translate(cr, p.x, p.y);
        // Tops of the first scale's numbers face outwards, like the scale of a real protractor.
        cairo_rotate(cr, L.phi(at) + (inner ? -kPi / 2 : kPi / 2));
        cairo_new_path(cr);
        TextPathInkCentred(cr, text, 0, 0);
        cairo_restore(cr);
        if (shadow) {
            cairo_set_line_width(cr, 2 * kNumberRim);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
            cairo_stroke_preserve(cr);
        }
        cairo_fill(cr);
    }
}

// Draws the scale once as its shadow (widened) and once in white, so shadows never cover white lines.
void DrawScale(cairo_t* cr, const DialLayout& L, bool shadow)
{
    const double grow = shadow ? 2.0 : 0.0;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);

    cairo_new_path(cr);
    ArcPath(cr, L, L.centre, L.scaleR);
    cairo_set_line_width(cr, 2.0 + grow);
    cairo_stroke(cr);

    if (L.half) {
        cairo_move_to(cr, L.centre.x - L.scaleR, L.centre.y);
        cairo_line_to(cr, L.centre.x + L.scaleR, L.centre.y);
        cairo_set_line_width(cr, 1.5 + grow);
        cairo_stroke(cr);
    }

    for (int d = 0; d <= L.lastDegree; ++d) {
        const bool ten = d % 10 == 0, five = d % 5 == 0;
        const double len = ten ? L.tick10 : five ? L.tick5 : L.tick1;
        const Pt a = Polar(L, d, L.scaleR);
        const Pt b = Polar(L, d, L.scaleR - len);
        cairo_move_to(cr, a.x, a.y);
        cairo_line_to(cr, b.x, b.y);
        cairo_set_line_width(cr, (ten ? 2.0 : five ? 1.5 : 1.0) + grow);
        cairo_stroke(cr);
    }

    DrawNumbers(cr, L, shadow, false);
    DrawNumbers(cr, L, shadow, true);
}

Canvas DrawDial(const DialLayout& L)
{
    Canvas canvas(L.width, L.height);
    cairo_t* cr = canvas.Cr();
    DrawScaleBacking(cr, L);
    DrawZones(cr, L);

    cairo_push_group(cr);
    SetColour(cr, kShadow);
    DrawScale(cr, L, true);
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, 0.70);

    SetColour(cr, kScaleWhite);
    DrawScale(cr, L, false);
    return canvas;
}

} // namespace

// A grip mark in the shape of the needle's own grip (lozenge for measuring, ring for origin), so the
// zones can be told apart without telling red from blue. Its long axis runs along the radius,
// as on the needle.
void GripMarkPath(cairo_t* cr, Pt at, double along, double size, bool origin)
{
    cairo_new_sub_path(cr);
    if (origin) {
        cairo_arc(cr, at.x, at.y, size * 0.55, 0, 2 * kPi);
        return;
    }
    const double ux = std::cos(along), uy = std::sin(along);
    const double l = size, w = size * 0.55;
    cairo_move_to(cr, at.x + ux * l, at.y + uy * l);
    cairo_line_to(cr, at.x - uy * w, at.y + ux * w);
    cairo_line_to(cr, at.x - ux * l, at.y - uy * l);
    cairo_line_to(cr, at.x + uy * w, at.y - ux * w);
    cairo_close_path(cr);
}

Canvas DrawLandscapeDial()
{
    const DialLayout L{.width = geo::kLandW,
                       .height = geo::kLandH,
                       .centre = geo::kLandCentre,
                       .touch = geo::kLandTouch,
                       .measureR = geo::kLandMeasureR,
                       .originR0 = geo::kLandOriginR0,
                       .scaleR = 350,
                       .tick1 = 7,
                       .tick5 = 12,
                       .tick10 = 18,
                       .numberSize = 14,
                       .lastDegree = 180,
                       .half = true,
                       .phi = LandscapePhi,
                       .markerAngles = std::vector<double>(kLandZoneMarks.begin(), kLandZoneMarks.end()),
                       .markerSize = 7,
                       .innerNumberSize = 12,
                       .innerValue = [](int d) { return 180 - d; }};
    return DrawDial(L);
}

Canvas DrawPortraitDial()
{
    const DialLayout L{.width = geo::kPortW,
                       .height = geo::kPortH,
                       .centre = geo::kPortCentre,
                       .touch = geo::kPortTouch,
                       .measureR = geo::kPortMeasureR,
                       .originR0 = geo::kPortOriginR0,
                       .scaleR = 234,
                       .tick1 = 6,
                       .tick5 = 10,
                       .tick10 = 15,
                       .numberSize = 11.5,
                       .lastDegree = 359,
                       .half = false,
                       .phi = PortraitPhi,
                       .markerAngles = {45, 135, 225, 315},
                       .markerSize = 5.5,
                       .innerNumberSize = 10,
                       .innerValue = [](int d) { return (d + 180) % 360; }};
    return DrawDial(L);
}

} // namespace resgen
