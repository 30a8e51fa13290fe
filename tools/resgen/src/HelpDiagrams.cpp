// The help page's diagrams, drawn with the needles and the hub as the screen shows them, so that
// what the page explains looks like what the user will touch.
#include "HelpDiagrams.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>

namespace resgen::help {

namespace {

constexpr double kPi = std::numbers::pi;

// Grip marks are drawn larger than the dial's scaled down, or they would shrink to dots.
constexpr double kGripSize = 5;

double Rad(double d) { return d * kPi / 180.0; }

// Screen direction of a landscape dial angle: 0 left, 90 up.
Pt DialPoint(Pt c, double degrees, double r)
{
    return {c.x - r * std::cos(Rad(degrees)), c.y - r * std::sin(Rad(degrees))};
}

// A needle as the screen shows it: two lines in its colour with a dark halo and the picture clear
// between them, and its grip, the mark that also runs along the edge of the zone that moves it.
void Needle(cairo_t* cr, Pt c, double degrees, double length, Rgba colour, double gripAt, bool origin)
{
    const Pt e = DialPoint(c, degrees, length);
    const Pt g = DialPoint(c, degrees, gripAt);
    const double along = kPi + Rad(degrees);
    auto path = [&] {
        cairo_new_path(cr);
        cairo_move_to(cr, c.x, c.y);
        cairo_line_to(cr, e.x, e.y);
        GripMarkPath(cr, g, along, kGripSize, origin);
    };
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_push_group(cr);
    path();
    cairo_set_line_width(cr, 5.2);
    SetColour(cr, kShadow.WithAlpha(0.7));
    cairo_stroke(cr);
    path();
    cairo_set_line_width(cr, 3.4);
    SetColour(cr, colour);
    cairo_stroke(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_move_to(cr, c.x, c.y);
    cairo_line_to(cr, e.x, e.y);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    cairo_pop_group_to_source(cr);
    cairo_paint(cr);
}

// The hub as the screen shows it: a ring round a clear window with a crosshair on the pivot.
void Hub(cairo_t* cr, Pt c, double r)
{
    const double window = r * 0.66;
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_new_path(cr);
    cairo_arc(cr, c.x, c.y, r, 0, 2 * kPi);
    cairo_new_sub_path(cr);
    cairo_arc(cr, c.x, c.y, window, 0, 2 * kPi);
    SetColour(cr, {0.15, 0.16, 0.18});
    cairo_fill(cr);
    cairo_new_path(cr);
    cairo_arc(cr, c.x, c.y, r - 1.1, 0, 2 * kPi);
    cairo_new_sub_path(cr);
    cairo_arc(cr, c.x, c.y, window + 1.1, 0, 2 * kPi);
    SetColour(cr, {0.74, 0.77, 0.81});
    cairo_fill(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    for (const auto& [ux, uy] : {std::pair{1, 0}, std::pair{-1, 0}, std::pair{0, 1}, std::pair{0, -1}}) {
        cairo_move_to(cr, c.x + ux * 1.8, c.y + uy * 1.8);
        cairo_line_to(cr, c.x + ux * window, c.y + uy * window);
    }
    cairo_set_line_width(cr, 1.0);
    SetColour(cr, kShadow);
    cairo_stroke(cr);
}

} // namespace

// A little half-circle protractor; used in the title and the phone sketches.
void MiniProtractor(cairo_t* cr, Pt c, double r, Rgba scale, bool needles)
{
    cairo_new_path(cr);
    cairo_arc(cr, c.x, c.y, r, kPi, 2 * kPi);
    cairo_close_path(cr);
    cairo_set_line_width(cr, std::max(1.0, r / 10));
    SetColour(cr, scale);
    cairo_stroke(cr);
    for (int d = 10; d < 180; d += 10) {
        const Pt a = DialPoint(c, d, r);
        const Pt b = DialPoint(c, d, r * (d % 30 == 0 ? 0.72 : 0.84));
        cairo_move_to(cr, a.x, a.y);
        cairo_line_to(cr, b.x, b.y);
    }
    cairo_set_line_width(cr, std::max(0.8, r / 18));
    cairo_stroke(cr);
    if (needles) {
        for (auto [deg, colour] : {std::pair{90.0, kOriginColour}, std::pair{30.0, kMeasureColour}}) {
            const Pt e = DialPoint(c, deg, r * 1.12);
            cairo_move_to(cr, c.x, c.y);
            cairo_line_to(cr, e.x, e.y);
            cairo_set_line_width(cr, std::max(1.6, r / 8));
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
            SetColour(cr, colour);
            cairo_stroke(cr);
        }
    }
}

void MeasuringDiagram(cairo_t* cr, double top)
{
    const double left = 22, width = 436, height = 170;
    RoundedRect(cr, left, top, width, height, 10);
    SetColour(cr, {0.93, 0.95, 0.97});
    cairo_fill_preserve(cr);
    cairo_save(cr);
    cairo_clip(cr);

    const Pt c{left + 124, top + height - 14};
    const double scaleR = 112;
    // The object being measured: a corner whose sides run at 30 and 90 degrees.
    cairo_move_to(cr, c.x, c.y);
    const Pt a = DialPoint(c, 30, 240), b = DialPoint(c, 90, 240);
    cairo_line_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
    cairo_close_path(cr);
    SetColour(cr, {0.84, 0.76, 0.62});
    cairo_fill(cr);

    // Everything in proportion to the landscape dial, whose scale has a radius of 350 px.
    const double k = scaleR / 350;
    // Touches are measured from a point a little below the pivot, so the zone edges are centred there.
    const Pt touch{c.x, c.y + k * (geo::kLandTouch.y - geo::kLandCentre.y)};
    const double measureR = k * geo::kLandMeasureR, originR0 = k * geo::kLandOriginR0;
    auto onEdge = [&](double r, double d) { return DialPoint(touch, d, r); };

    // The zones as the dial shows them: only their edges, each with a faint tint on the side where
    // dragging moves that needle, and the grip marks of that needle along it.
    auto zoneEdge = [&](double r, Rgba colour, bool zoneInside, bool origin) {
        const double g0 = zoneInside ? r - 3 : r, g1 = zoneInside ? r : r + 3;
        cairo_new_path(cr);
        cairo_arc(cr, touch.x, touch.y, g1, kPi, 2 * kPi);
        cairo_arc_negative(cr, touch.x, touch.y, g0, 2 * kPi, kPi);
        cairo_close_path(cr);
        cairo_pattern_t* glow = cairo_pattern_create_radial(touch.x, touch.y, g0, touch.x, touch.y, g1);
        const double atLine = zoneInside ? 1 : 0;
        cairo_pattern_add_color_stop_rgba(glow, atLine, colour.r, colour.g, colour.b, 0.45);
        cairo_pattern_add_color_stop_rgba(glow, 1 - atLine, colour.r, colour.g, colour.b, 0);
        cairo_set_source(cr, glow);
        cairo_fill(cr);
        cairo_pattern_destroy(glow);

        auto path = [&] {
            cairo_new_path(cr);
            cairo_arc(cr, touch.x, touch.y, r, kPi, 2 * kPi);
            for (const double d : kLandZoneMarks) GripMarkPath(cr, onEdge(r, d), kPi + Rad(d), kGripSize, origin);
        };
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        path();
        cairo_set_line_width(cr, 3.2);
        SetColour(cr, kShadow.WithAlpha(0.45));
        cairo_stroke(cr);
        path();
        cairo_set_line_width(cr, 1.5);
        SetColour(cr, colour);
        cairo_stroke(cr);
    };
    // As on the dial, the origin ring shows only its inner edge; its outer edge is the scale.
    zoneEdge(measureR, kMeasureColour, true, false);
    zoneEdge(originR0, kOriginColour, false, true);

    // Scale.
    cairo_new_path(cr);
    cairo_arc(cr, c.x, c.y, scaleR, kPi, 2 * kPi);
    SetColour(cr, {0.25, 0.28, 0.32});
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    for (int d = 0; d <= 180; d += 5) {
        const Pt p = DialPoint(c, d, scaleR), q = DialPoint(c, d, scaleR - (d % 10 == 0 ? 10 : 6));
        cairo_move_to(cr, p.x, p.y);
        cairo_line_to(cr, q.x, q.y);
    }
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    cairo_move_to(cr, c.x - scaleR, c.y);
    cairo_line_to(cr, c.x + scaleR, c.y);
    cairo_stroke(cr);

    // Grips where the needles carry them on screen: each inside the zone that moves it.
    Needle(cr, c, 90, 170, kOriginColour, k * geo::kLandOriginGripR, true);
    Needle(cr, c, 30, 170, kMeasureColour, k * geo::kLandMeasureGripR, false);
    Hub(cr, c, 8);

    // Arc showing the angle read.
    cairo_new_path(cr);
    cairo_arc(cr, c.x, c.y, 22, kPi + Rad(30), kPi + Rad(90));
    SetColour(cr, kHeading);
    cairo_set_line_width(cr, 1.4);
    cairo_stroke(cr);

    const double textX = left + 262;
    // Each callout ends on its zone's edge halfway between two grip marks, where its line stays clear of
    // every mark on the way out.
    auto callout = [&](Pt from, double y, const char* l1, const char* l2, Rgba colour) {
        cairo_new_path(cr);
        cairo_move_to(cr, from.x, from.y);
        cairo_line_to(cr, textX - 6, y);
        SetColour(cr, colour);
        cairo_set_line_width(cr, 1.2);
        cairo_stroke(cr);
        cairo_arc(cr, from.x, from.y, 2.5, 0, 2 * kPi);
        cairo_fill(cr);
        SetFont(cr, Font::SansBold, 12.5);
        TextPath(cr, l1, textX, y + 4);
        cairo_fill(cr);
        SetFont(cr, Font::Sans, 12.5);
        SetColour(cr, kText);
        TextPath(cr, l2, textX, y + 20);
        cairo_fill(cr);
    };
    callout(onEdge(originR0, 120), top + 28, "Drag on the outer ring", "to move the blue needle", kOriginText);
    callout(onEdge(measureR, 150), top + 78, "Drag near the centre", "to move the red needle", kMeasureText);

    // The readout for this picture.
    RoundedRect(cr, textX, top + 118, 84, 34, 6);
    SetColour(cr, {0.08, 0.10, 0.13});
    cairo_fill(cr);
    SetFont(cr, Font::SansBold, 21);
    SetColour(cr, kScaleWhite);
    TextPath(cr, "60.0°", textX + 42, top + 143, Align::Centre);
    cairo_fill(cr);
    SetFont(cr, Font::Sans, 12.5);
    SetColour(cr, kText);
    TextPath(cr, "the angle", textX + 94, top + 140);
    cairo_fill(cr);

    cairo_restore(cr);
}

void HoldDiagram(cairo_t* cr, double top)
{
    // The real button images, so the help shows exactly what the screen shows.
    auto button = [&](bool on, double x, const char* l1, const char* l2) {
        Canvas img = DrawHold(on);
        RoundedRect(cr, x, top, 78, 80, 8);
        SetColour(cr, {0.36, 0.42, 0.48});
        cairo_fill(cr);
        cairo_set_source_surface(cr, img.Surface(), x + 7, top + 7);
        cairo_paint(cr);
        SetFont(cr, Font::SansBold, 13.5);
        SetColour(cr, kHeading);
        TextPath(cr, l1, x + 90, top + 36);
        cairo_fill(cr);
        SetFont(cr, Font::Sans, 13.5);
        SetColour(cr, kText);
        TextPath(cr, l2, x + 90, top + 54);
        cairo_fill(cr);
    };
    button(false, 22, "Live picture", "press to hold");
    button(true, 244, "Picture held", "press to release");
}

void PhonesDiagram(cairo_t* cr, double top)
{
    auto phone = [&](double x, double y, double w, double h) {
        RoundedRect(cr, x, y, w, h, 8);
        SetColour(cr, {0.16, 0.18, 0.21});
        cairo_fill(cr);
        const bool wide = w > h;
        const double inset = 5;
        const double sx = x + (wide ? 12 : inset), sy = y + (wide ? inset : 12);
        const double sw = w - (wide ? 24 : 2 * inset), sh = h - (wide ? 2 * inset : 24);
        cairo_rectangle(cr, sx, sy, sw, sh);
        cairo_pattern_t* p = cairo_pattern_create_linear(0, sy, 0, sy + sh);
        cairo_pattern_add_color_stop_rgb(p, 0, 0.62, 0.74, 0.84);
        cairo_pattern_add_color_stop_rgb(p, 1, 0.48, 0.44, 0.38);
        cairo_set_source(cr, p);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
        return std::array<double, 4>{sx, sy, sw, sh};
    };

    // Sideways: half circle along the bottom edge.
    const auto l = phone(40, top + 16, 170, 96);
    MiniProtractor(cr, {l[0] + l[2] / 2, l[1] + l[3] - 2}, 38, kScaleWhite, true);
    // Upright: the full circle in the middle.
    const auto p = phone(300, top, 76, 128);
    const Pt c{p[0] + p[2] / 2, p[1] + p[3] / 2};
    cairo_arc(cr, c.x, c.y, 27, 0, 2 * kPi);
    SetColour(cr, kScaleWhite);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    for (int d = 0; d < 360; d += 30) {
        cairo_move_to(cr, c.x + 27 * std::cos(Rad(d)), c.y + 27 * std::sin(Rad(d)));
        cairo_line_to(cr, c.x + 21 * std::cos(Rad(d)), c.y + 21 * std::sin(Rad(d)));
    }
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    for (auto [deg, colour] : {std::pair{200.0, kOriginColour}, std::pair{310.0, kMeasureColour}}) {
        cairo_move_to(cr, c.x, c.y);
        cairo_line_to(cr, c.x + 32 * std::cos(Rad(deg)), c.y + 32 * std::sin(Rad(deg)));
        cairo_set_line_width(cr, 2.2);
        SetColour(cr, colour);
        cairo_stroke(cr);
    }

    SetFont(cr, Font::SansBold, 13);
    SetColour(cr, kHeading);
    TextPath(cr, "Sideways: half circle", 125, top + 146, Align::Centre);
    cairo_fill(cr);
    TextPath(cr, "Upright: full circle", 338, top + 146, Align::Centre);
    cairo_fill(cr);
}

} // namespace resgen::help
