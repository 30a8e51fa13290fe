// The needles and the hubs that cover their pivot.
// A needle is two fine lines with the picture left clear between them, like the hairline of a cursor.
#include "Artwork.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace resgen {

namespace {

constexpr double kPi = std::numbers::pi;

struct PinLayout {
    int width;
    double axis; // x of the needle's axis (centre of the pivot pixel column)
    double pivotY;
    double endY; // the lines stop here, under the hub's ring
    double gripR; // distance of the grip mark from the pivot: inside the zone that moves this needle
    double gripHalfLen, gripHalfWidth;
};

// The needle's axis column stays clear from tip to hub: the edge being lined up shows through it.
// Half the clear core, the coloured line beside it and the dark halo outside that, in pixels.
constexpr double kCoreHalf = 0.5, kLine = 1.0, kHalo = 1.0;
constexpr double kTip = 3;

void LinesPath(cairo_t* cr, const PinLayout& L, double from, double to)
{
    for (const double side : {-1.0, 1.0}) {
        const double a = L.axis + side * from, b = L.axis + side * to;
        cairo_rectangle(cr, std::min(a, b), kTip, std::abs(b - a), L.endY - kTip);
    }
}

// The measuring needle's grip is a lozenge, the origin needle's a ring: they differ in shape as well
// as colour, for users who tell red and blue apart poorly.
void GripPath(cairo_t* cr, const PinLayout& L, bool origin)
{
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

} // namespace

Canvas DrawPin(bool landscape, bool origin)
{
    PinLayout L{};
    L.width = landscape ? geo::kLandPinW : geo::kPortPinW;
    L.axis = (landscape ? geo::kLandPinAxis : geo::kPortPinAxis) + 0.5;
    L.pivotY = geo::kPinPivotY + 0.5;
    L.endY = L.pivotY - (landscape ? geo::kHubWindowR : geo::kSmallHubWindowR) - 1.5;
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
    cairo_t* cr = canvas.Cr();
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);

    // Dark halo first, as one group, so its overlaps do not darken twice: it keeps the needle
    // visible on light pictures, the colour on dark ones.
    cairo_push_group(cr);
    SetColour(cr, kShadow);
    LinesPath(cr, L, kCoreHalf + kLine, kCoreHalf + kLine + kHalo);
    cairo_fill(cr);
    GripPath(cr, L, origin);
    cairo_set_line_width(cr, 4.2);
    cairo_stroke(cr);
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, 0.75);

    SetColour(cr, colour);
    LinesPath(cr, L, kCoreHalf, kCoreHalf + kLine);
    cairo_fill(cr);
    GripPath(cr, L, origin);
    cairo_set_line_width(cr, 2.2);
    cairo_stroke(cr);

    // The clear core runs through the grip too.
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_rectangle(cr, L.axis - kCoreHalf, 0, 2 * kCoreHalf, geo::kPinH);
    cairo_fill(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    return canvas;
}

Canvas DrawHub(bool small)
{
    const int w = small ? geo::kSmallHubW : geo::kHubW;
    const int h = small ? geo::kSmallHubH : geo::kHubH;
    const double cx = (small ? geo::kSmallHubC : geo::kHubCx) + 0.5;
    const double cy = (small ? geo::kSmallHubC : geo::kHubCy) + 0.5;
    const double outer = small ? geo::kSmallHubOuterR : geo::kHubOuterR;
    const double window = small ? geo::kSmallHubWindowR : geo::kHubWindowR;
    constexpr double kRim = 1.3;

    Canvas canvas(w, h);
    cairo_t* cr = canvas.Cr();
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    auto annulus = [&](double r0, double r1) {
        cairo_new_path(cr);
        cairo_arc(cr, cx, cy, r1, 0, 2 * kPi);
        cairo_new_sub_path(cr);
        cairo_arc(cr, cx, cy, r0, 0, 2 * kPi);
    };

    // A soft shadow round the ring lifts it off the picture.
    for (int i = 3; i >= 1; --i) {
        annulus(window, outer + i * 0.7);
        SetColour(cr, kShadow.WithAlpha(0.16));
        cairo_fill(cr);
    }

    // Brushed ring, light from the top left, between two dark rims: light and dark together keep it
    // visible on any picture.
    annulus(window, outer);
    SetColour(cr, {0.08, 0.09, 0.11});
    cairo_fill(cr);
    cairo_pattern_t* ring = cairo_pattern_create_linear(cx - outer, cy - outer, cx + outer, cy + outer);
    cairo_pattern_add_color_stop_rgb(ring, 0.0, 0.97, 0.98, 0.99);
    cairo_pattern_add_color_stop_rgb(ring, 0.5, 0.76, 0.79, 0.83);
    cairo_pattern_add_color_stop_rgb(ring, 1.0, 0.46, 0.50, 0.55);
    annulus(window + kRim, outer - kRim);
    cairo_set_source(cr, ring);
    cairo_fill(cr);
    cairo_pattern_destroy(ring);

    // Crosshair in the see-through window, its arms on the pivot's row and column, stopping short of
    // the pivot so the aimed point itself stays in view.
    auto arms = [&](double halfWidth) {
        cairo_new_path(cr);
        const double r0 = geo::kCrosshairGapR, r1 = window + 0.5;
        cairo_rectangle(cr, cx - halfWidth, cy - r1, 2 * halfWidth, r1 - r0);
        cairo_rectangle(cr, cx - halfWidth, cy + r0, 2 * halfWidth, r1 - r0);
        cairo_rectangle(cr, cx - r1, cy - halfWidth, r1 - r0, 2 * halfWidth);
        cairo_rectangle(cr, cx + r0, cy - halfWidth, r1 - r0, 2 * halfWidth);
    };
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    arms(1.5);
    SetColour(cr, kShadow.WithAlpha(0.7));
    cairo_fill(cr);
    arms(0.5);
    SetColour(cr, kScaleWhite);
    cairo_fill(cr);
    return canvas;
}

} // namespace resgen
