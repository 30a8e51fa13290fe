// The on-screen buttons: hold, information, the invisible blank and the help page's back button.
// Each pressed or active state changes fill and colour, not just a shade, so it shows at a glance.
#include "artwork.h"

#include <numbers>

namespace resgen {

namespace {

constexpr double kPi = std::numbers::pi;

void pauseBars(cairo_t* cr, double cx, double top, double h) {
    roundedRect(cr, cx - 10, top, 7, h, 1.5);
    roundedRect(cr, cx + 3, top, 7, h, 1.5);
}

void padlock(cairo_t* cr, double cx, double top) {
    // Shackle, then the body over its feet.
    cairo_new_path(cr);
    cairo_arc(cr, cx, top + 8, 6.5, kPi, 2 * kPi);
    cairo_line_to(cr, cx + 6.5, top + 11);
    cairo_move_to(cr, cx - 6.5, top + 11);
    cairo_line_to(cr, cx - 6.5, top + 8);
    cairo_set_line_width(cr, 3.0);
    cairo_stroke(cr);
    roundedRect(cr, cx - 10, top + 10, 20, 15, 2.5);
    cairo_fill(cr);
}

}  // namespace

Canvas drawHold(bool on) {
    Canvas canvas(geo::kHoldW, geo::kHoldH);
    cairo_t* cr = canvas.cr();
    const double cx = geo::kHoldW / 2.0;

    roundedRect(cr, 3, 3, 58, 60, 11);
    if (on) {
        setColour(cr, kHoldAmber.withAlpha(0.96));
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 2.0);
        setColour(cr, kScaleWhite);
        cairo_stroke(cr);
        roundedRect(cr, 1.5, 1.5, 61, 63, 12.5);
        cairo_set_line_width(cr, 1.0);
        setColour(cr, kShadow.withAlpha(0.6));
        cairo_stroke(cr);

        setColour(cr, kInk);
        padlock(cr, cx, 10);
        setFont(cr, Font::SansBold, 12.5);
        textPath(cr, "HELD", cx, 55, Align::Centre);
        cairo_fill(cr);
    } else {
        setColour(cr, kPanel);
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 4.0);
        setColour(cr, kShadow.withAlpha(0.5));
        cairo_stroke_preserve(cr);
        cairo_set_line_width(cr, 2.0);
        setColour(cr, kScaleWhite);
        cairo_stroke(cr);

        pauseBars(cr, cx, 12, 24);
        fillWithRim(cr, kScaleWhite, kShadow.withAlpha(0.8), 1.0);
        setFont(cr, Font::SansBold, 12.5);
        textPath(cr, "HOLD", cx, 55, Align::Centre);
        fillWithRim(cr, kScaleWhite, kShadow.withAlpha(0.8), 1.0);
    }
    return canvas;
}

Canvas drawInfo(bool on) {
    Canvas canvas(geo::kInfoW, geo::kInfoH);
    cairo_t* cr = canvas.cr();
    // Pressed: the button sinks a pixel and turns light with a dark letter.
    const double cx = 25, cy = on ? 24.5 : 25.5, r = 20.5;

    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    setColour(cr, on ? kPanel : kScaleWhite.withAlpha(0.80));
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 4.5);
    setColour(cr, kShadow.withAlpha(0.5));
    cairo_stroke_preserve(cr);
    cairo_set_line_width(cr, 2.5);
    setColour(cr, on ? kScaleWhite : Rgba{0.55, 0.58, 0.62});
    cairo_stroke(cr);

    setFont(cr, Font::SerifBold, 28);
    textPathInkCentred(cr, "i", cx, cy);
    if (on)
        fillWithRim(cr, kScaleWhite, kShadow.withAlpha(0.6), 0.8);
    else {
        setColour(cr, {0.30, 0.33, 0.37});
        cairo_fill(cr);
    }
    return canvas;
}

Canvas drawBlank() { return Canvas(geo::kHoldW, geo::kHoldH); }

Canvas drawBackButton(bool pressed) {
    Canvas canvas(geo::kBackW, geo::kBackH);
    cairo_t* cr = canvas.cr();
    const double dy = pressed ? 1.0 : 0.0;

    roundedRect(cr, 2, 3 + dy, 79, 42, 9);
    if (pressed) {
        setColour(cr, kScaleWhite);
        cairo_fill(cr);
    } else {
        setColour(cr, kScaleWhite.withAlpha(0.13));
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 1.5);
        setColour(cr, kScaleWhite.withAlpha(0.85));
        cairo_stroke(cr);
    }
    const Rgba ink = pressed ? Rgba{0.07, 0.12, 0.19} : kScaleWhite;
    setColour(cr, ink);

    // Arrow pointing back.
    const double ay = 24 + dy;
    cairo_move_to(cr, 22, ay - 7);
    cairo_line_to(cr, 14, ay);
    cairo_line_to(cr, 22, ay + 7);
    cairo_move_to(cr, 14.5, ay);
    cairo_line_to(cr, 28, ay);
    cairo_set_line_width(cr, 2.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);

    setFont(cr, Font::SansBold, 16);
    textPath(cr, "Back", 33, ay + 6);
    cairo_fill(cr);
    return canvas;
}

}  // namespace resgen
