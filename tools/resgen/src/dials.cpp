// The two protractor dials: the half circle for landscape and the full circle for portrait.
// Both are mostly clear so the camera picture shows through; the scale carries its own shadow.
#include "artwork.h"

#include <cmath>
#include <numbers>
#include <string>

namespace resgen {

namespace {

constexpr double kPi = std::numbers::pi;

struct DialLayout {
    int width, height;
    Pt centre, touch;
    double measureR, originR0, originR1;
    double scaleR, tick1, tick5, tick10;
    double numberR, numberSize;
    double bandIn, bandOut;
    int lastDegree;  // 180 for the half circle, 359 for the full one
    bool half;
    // Screen direction of a dial angle, as a cairo angle (clockwise from +x).
    double (*phi)(double degrees);
};

double rad(double degrees) { return degrees * kPi / 180.0; }

// Landscape: 0 points left, 90 up, 180 right.
double landscapePhi(double d) { return kPi + rad(d); }
// Portrait: 0 points down, 90 left, 180 up, 270 right.
double portraitPhi(double d) { return kPi / 2 + rad(d); }

Pt polar(const DialLayout& L, double degrees, double r) {
    const double p = L.phi(degrees);
    return {L.centre.x + r * std::cos(p), L.centre.y + r * std::sin(p)};
}

void arcPath(cairo_t* cr, const DialLayout& L, Pt c, double r) {
    cairo_new_sub_path(cr);
    if (L.half)
        cairo_arc(cr, c.x, c.y, r, L.phi(0), L.phi(180));
    else
        cairo_arc(cr, c.x, c.y, r, 0, 2 * kPi);
}

void drawZones(cairo_t* cr, const DialLayout& L) {
    // Tinted in the needles' colours, so the user sees which needle each zone moves.
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_arc(cr, L.touch.x, L.touch.y, L.measureR, 0, 2 * kPi);
    setColour(cr, kMeasureColour.withAlpha(0.10));
    cairo_fill(cr);

    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_arc(cr, L.touch.x, L.touch.y, L.originR1, 0, 2 * kPi);
    cairo_new_sub_path(cr);
    cairo_arc(cr, L.touch.x, L.touch.y, L.originR0, 0, 2 * kPi);
    setColour(cr, kOriginColour.withAlpha(0.09));
    cairo_fill(cr);
    cairo_restore(cr);
}

void drawZoneEdges(cairo_t* cr, const DialLayout& L) {
    // Only the inner edges are lined: the outer edge of the origin ring runs along the scale anyway.
    auto edge = [&](double r, Rgba colour) {
        cairo_new_path(cr);
        cairo_arc(cr, L.touch.x, L.touch.y, r, 0, 2 * kPi);
        cairo_set_line_width(cr, 3.2);
        setColour(cr, kShadow.withAlpha(0.30));
        cairo_stroke_preserve(cr);
        cairo_set_line_width(cr, 1.4);
        setColour(cr, colour.withAlpha(0.85));
        cairo_stroke(cr);
    };
    edge(L.measureR, kMeasureColour);
    edge(L.originR0, kOriginColour);
}

void drawScaleBacking(cairo_t* cr, const DialLayout& L) {
    // A faint dark band keeps the scale legible over white walls and sky.
    cairo_save(cr);
    cairo_new_path(cr);
    if (L.half) {
        cairo_arc(cr, L.centre.x, L.centre.y, L.bandOut, L.phi(0), L.phi(180));
        cairo_arc_negative(cr, L.centre.x, L.centre.y, L.bandIn, L.phi(180), L.phi(0));
        cairo_close_path(cr);
    } else {
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_arc(cr, L.centre.x, L.centre.y, L.bandOut, 0, 2 * kPi);
        cairo_new_sub_path(cr);
        cairo_arc(cr, L.centre.x, L.centre.y, L.bandIn, 0, 2 * kPi);
    }
    setColour(cr, kShadow.withAlpha(0.22));
    cairo_fill(cr);
    cairo_restore(cr);
}

void drawGuides(cairo_t* cr, const DialLayout& L) {
    cairo_save(cr);
    const double dashes[] = {3.0, 5.0};
    cairo_set_dash(cr, dashes, 2, 0);
    cairo_set_line_width(cr, 1.0);
    const int from = L.half ? 30 : 0;
    const int to = L.half ? 150 : 330;
    for (int d = from; d <= to; d += 30) {
        const Pt a = polar(L, d, 24);
        const Pt b = polar(L, d, L.bandIn - 6);
        cairo_move_to(cr, a.x, a.y);
        cairo_line_to(cr, b.x, b.y);
    }
    setColour(cr, kScaleWhite.withAlpha(0.38));
    cairo_stroke(cr);
    cairo_restore(cr);
}

// Draws the scale once as its shadow (widened) and once in white, so shadows never cover white lines.
void drawScale(cairo_t* cr, const DialLayout& L, bool shadow) {
    const double grow = shadow ? 2.0 : 0.0;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);

    cairo_new_path(cr);
    arcPath(cr, L, L.centre, L.scaleR);
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
        const Pt a = polar(L, d, L.scaleR);
        const Pt b = polar(L, d, L.scaleR - len);
        cairo_move_to(cr, a.x, a.y);
        cairo_line_to(cr, b.x, b.y);
        cairo_set_line_width(cr, (ten ? 2.0 : five ? 1.5 : 1.0) + grow);
        cairo_stroke(cr);
    }

    setFont(cr, Font::SansBold, L.numberSize, 0.92);
    for (int d = 0; d <= L.lastDegree; d += 10) {
        const std::string text = std::to_string(d);
        double at = d;
        if (L.half && (d == 0 || d == 180)) {
            // The end numbers would straddle the base line: slide them up along the arc until clear.
            cairo_text_extents_t e;
            cairo_text_extents(cr, text.c_str(), &e);
            const double lift = std::asin((e.width / 2 + 3) / L.numberR) * 180 / kPi;
            at += d == 0 ? lift : -lift;
        }
        const Pt p = polar(L, at, L.numberR);
        cairo_save(cr);
        cairo_translate(cr, p.x, p.y);
        // Tops of the numbers face outwards, like the scale of a real protractor.
        cairo_rotate(cr, L.phi(at) + kPi / 2);
        cairo_new_path(cr);
        textPathInkCentred(cr, text, 0, 0);
        cairo_restore(cr);
        if (shadow) {
            cairo_set_line_width(cr, 3.0);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
            cairo_stroke_preserve(cr);
        }
        cairo_fill(cr);
    }
}

Canvas drawDial(const DialLayout& L) {
    Canvas canvas(L.width, L.height);
    cairo_t* cr = canvas.cr();
    drawZones(cr, L);
    drawScaleBacking(cr, L);
    drawGuides(cr, L);
    drawZoneEdges(cr, L);

    cairo_push_group(cr);
    setColour(cr, kShadow);
    drawScale(cr, L, true);
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, 0.62);

    setColour(cr, kScaleWhite);
    drawScale(cr, L, false);
    return canvas;
}

}  // namespace

Canvas drawLandscapeDial() {
    const DialLayout L{
        .width = geo::kLandW, .height = geo::kLandH,
        .centre = geo::kLandCentre, .touch = geo::kLandTouch,
        .measureR = geo::kLandMeasureR, .originR0 = geo::kLandOriginR0, .originR1 = geo::kLandOriginR1,
        .scaleR = 350, .tick1 = 9, .tick5 = 15, .tick10 = 23,
        .numberR = 312, .numberSize = 14,
        .bandIn = 298, .bandOut = 353,
        .lastDegree = 180, .half = true, .phi = landscapePhi};
    return drawDial(L);
}

Canvas drawPortraitDial() {
    const DialLayout L{
        .width = geo::kPortW, .height = geo::kPortH,
        .centre = geo::kPortCentre, .touch = geo::kPortTouch,
        .measureR = geo::kPortMeasureR, .originR0 = geo::kPortOriginR0, .originR1 = geo::kPortOriginR1,
        .scaleR = 234, .tick1 = 7, .tick5 = 12, .tick10 = 18,
        .numberR = 205, .numberSize = 11.5,
        .bandIn = 193, .bandOut = 237,
        .lastDegree = 359, .half = false, .phi = portraitPhi};
    return drawDial(L);
}

}  // namespace resgen
