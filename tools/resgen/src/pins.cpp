// The needles and the hub caps that cover their pivot.
// Needles are one thin line across the whole screen, for laying along an edge in the picture.
#include "artwork.h"

#include <cmath>
#include <numbers>

namespace resgen {

namespace {

constexpr double kPi = std::numbers::pi;

struct PinLayout {
    int width;
    double axis;       // x of the needle's axis (centre of the pivot pixel column)
    double pivotY;
    double gripR;      // distance of the grip mark from the pivot: inside the zone that moves this needle
    double gripHalfLen, gripHalfWidth;
};

void needleOutline(cairo_t* cr, const PinLayout& L) {
    constexpr double half = 1.5, tipStart = 16, tip = 3;
    const double tail = L.pivotY + 10;
    cairo_move_to(cr, L.axis - half, tail);
    cairo_line_to(cr, L.axis - half, tipStart);
    cairo_line_to(cr, L.axis, tip);
    cairo_line_to(cr, L.axis + half, tipStart);
    cairo_line_to(cr, L.axis + half, tail);
    cairo_arc(cr, L.axis, tail, half, 0, kPi);
    cairo_close_path(cr);
}

// The measuring needle's grip is a lozenge, the origin needle's a ring: they differ in shape as well
// as colour, for users who tell red and blue apart poorly.
void gripPath(cairo_t* cr, const PinLayout& L, bool origin) {
    const double cy = L.pivotY - L.gripR;
    cairo_new_sub_path(cr);
    if (origin) {
        cairo_arc(cr, L.axis, cy, L.gripHalfWidth, 0, 2 * kPi);
    } else {
        cairo_move_to(cr, L.axis, cy - L.gripHalfLen);
        cairo_line_to(cr, L.axis + L.gripHalfWidth, cy);
        cairo_line_to(cr, L.axis, cy + L.gripHalfLen);
        cairo_line_to(cr, L.axis - L.gripHalfWidth, cy);
        cairo_close_path(cr);
    }
}

}  // namespace

Canvas drawPin(bool landscape, bool origin) {
    PinLayout L{};
    L.width = landscape ? geo::kLandPinW : geo::kPortPinW;
    L.axis = (landscape ? geo::kLandPinAxis : geo::kPortPinAxis) + 0.5;
    L.pivotY = geo::kPinPivotY + 0.5;
    if (landscape) {
        L.gripR = origin ? geo::kLandOriginGripR : geo::kLandMeasureGripR;
        L.gripHalfLen = 20;
        L.gripHalfWidth = origin ? 7 : 6;
    } else {
        L.gripR = origin ? 160 : 58;
        L.gripHalfLen = 15;
        L.gripHalfWidth = origin ? 5.5 : 5;
    }
    const Rgba colour = origin ? kOriginColour : kMeasureColour;

    Canvas canvas(L.width, geo::kPinH);
    cairo_t* cr = canvas.cr();
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);

    // Dark edge first, as one group, so its overlaps do not darken twice.
    cairo_push_group(cr);
    setColour(cr, kShadow);
    needleOutline(cr, L);
    cairo_set_line_width(cr, 2.0);
    cairo_stroke_preserve(cr);
    cairo_fill(cr);
    gripPath(cr, L, origin);
    cairo_set_line_width(cr, 4.2);
    cairo_stroke(cr);
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, 0.75);

    setColour(cr, colour);
    needleOutline(cr, L);
    cairo_fill(cr);
    gripPath(cr, L, origin);
    cairo_set_line_width(cr, 2.2);
    cairo_stroke(cr);
    return canvas;
}

Canvas drawHub(bool small) {
    const int w = small ? geo::kSmallHubW : geo::kHubW;
    const int h = small ? geo::kSmallHubH : geo::kHubH;
    const double cx = (small ? geo::kSmallHubC : geo::kHubCx) + 0.5;
    const double cy = (small ? geo::kSmallHubC : geo::kHubCy) + 0.5;
    const double outer = small ? 10.5 : 16.5;
    const double bevel = small ? 7.5 : 12.0;
    const double window = small ? 3.2 : 5.0;

    Canvas canvas(w, h);
    cairo_t* cr = canvas.cr();

    // Soft drop shadow, a little below, lifts the cap off the picture.
    for (int i = 3; i >= 1; --i) {
        cairo_arc(cr, cx, cy + 1.0, outer + i * 0.8, 0, 2 * kPi);
        setColour(cr, kShadow.withAlpha(0.16));
        cairo_fill(cr);
    }

    // Brushed ring: light from the top left.
    cairo_pattern_t* ring = cairo_pattern_create_linear(cx - outer, cy - outer, cx + outer, cy + outer);
    cairo_pattern_add_color_stop_rgb(ring, 0.0, 0.96, 0.97, 0.98);
    cairo_pattern_add_color_stop_rgb(ring, 0.45, 0.72, 0.75, 0.79);
    cairo_pattern_add_color_stop_rgb(ring, 1.0, 0.30, 0.33, 0.37);
    cairo_arc(cr, cx, cy, outer, 0, 2 * kPi);
    cairo_set_source(cr, ring);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(ring);
    cairo_set_line_width(cr, 1.0);
    setColour(cr, {0.10, 0.11, 0.13, 0.9});
    cairo_stroke(cr);

    // Sunken inner face: the gradient turned round reads as a bevel.
    cairo_pattern_t* face = cairo_pattern_create_linear(cx - bevel, cy - bevel, cx + bevel, cy + bevel);
    cairo_pattern_add_color_stop_rgb(face, 0.0, 0.38, 0.41, 0.45);
    cairo_pattern_add_color_stop_rgb(face, 1.0, 0.90, 0.92, 0.94);
    cairo_arc(cr, cx, cy, bevel, 0, 2 * kPi);
    cairo_set_source(cr, face);
    cairo_fill(cr);
    cairo_pattern_destroy(face);

    // A clear window over the pivot: the corner of the angle and the meeting needles stay visible.
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_arc(cr, cx, cy, window + 1.2, 0, 2 * kPi);
    setColour(cr, {0.08, 0.09, 0.10, 1.0});
    cairo_fill(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_arc(cr, cx, cy, window, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    return canvas;
}

}  // namespace resgen
