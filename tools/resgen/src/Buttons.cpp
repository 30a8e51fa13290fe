// The on-screen buttons: hold, information, the invisible blank and the help page's back button.
// Each pressed or active state changes fill and colour, not just a shade, so it shows at a glance.
#include "Artwork.h"

#include <numbers>

namespace resgen {

namespace {

constexpr double kPi = std::numbers::pi;

void PauseBars(cairo_t* cr, double cx, double top, double h)
{
    RoundedRect(cr, cx - 10, top, 7, h, 1.5);
    RoundedRect(cr, cx + 3, top, 7, h, 1.5);
}

void Padlock(cairo_t* cr, double cx, double top)
{
    // Shackle, then the body over its feet.
    cairo_new_path(cr);
    cairo_arc(cr, cx, top + 8, 6.5, kPi, 2 * kPi);
    cairo_line_to(cr, cx + 6.5, top + 11);
    cairo_move_to(cr, cx - 6.5, top + 11);
    cairo_line_to(cr, cx - 6.5, top + 8);
    cairo_set_line_width(cr, 3.0);
    cairo_stroke(cr);
    RoundedRect(cr, cx - 10, top + 10, 20, 15, 2.5);
    cairo_fill(cr);
}

} // namespace

Canvas DrawHold(bool on)
{
    Canvas canvas(geo::kHoldW, geo::kHoldH);
    cairo_t* cr = canvas.Cr();
    const double cx = geo::kHoldW / 2.0;

    RoundedRect(cr, 3, 3, 58, 60, 11);
    if (on) {
        SetColour(cr, kHoldAmber.WithAlpha(0.96));
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 2.0);
        SetColour(cr, kScaleWhite);
        cairo_stroke(cr);
        RoundedRect(cr, 1.5, 1.5, 61, 63, 12.5);
        cairo_set_line_width(cr, 1.0);
        SetColour(cr, kShadow.WithAlpha(0.6));
        cairo_stroke(cr);

        SetColour(cr, kInk);
        Padlock(cr, cx, 10);
        SetFont(cr, Font::SansBold, 12.5);
        TextPath(cr, "HELD", cx, 55, Align::Centre);
        cairo_fill(cr);
    } else {
        SetColour(cr, kPanel);
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 4.0);
        SetColour(cr, kShadow.WithAlpha(0.5));
        cairo_stroke_preserve(cr);
        cairo_set_line_width(cr, 2.0);
        SetColour(cr, kScaleWhite);
        cairo_stroke(cr);

        PauseBars(cr, cx, 12, 24);
        FillWithRim(cr, kScaleWhite, kShadow.WithAlpha(0.8), 1.0);
        SetFont(cr, Font::SansBold, 12.5);
        TextPath(cr, "HOLD", cx, 55, Align::Centre);
        FillWithRim(cr, kScaleWhite, kShadow.WithAlpha(0.8), 1.0);
    }
    return canvas;
}

Canvas DrawInfo(bool on)
{
    Canvas canvas(geo::kInfoW, geo::kInfoH);
    cairo_t* cr = canvas.Cr();
    // Pressed: the button sinks a pixel and turns light with a dark letter.
    const double cx = 25, cy = on ? 24.5 : 25.5, r = 20.5;

    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    SetColour(cr, on ? kPanel : kScaleWhite.WithAlpha(0.80));
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 4.5);
    SetColour(cr, kShadow.WithAlpha(0.5));
    cairo_stroke_preserve(cr);
    cairo_set_line_width(cr, 2.5);
    SetColour(cr, on ? kScaleWhite : Rgba{0.55, 0.58, 0.62});
    cairo_stroke(cr);

    SetFont(cr, Font::SerifBold, 28);
    TextPathInkCentred(cr, "i", cx, cy);
    if (on)
        FillWithRim(cr, kScaleWhite, kShadow.WithAlpha(0.6), 0.8);
    else {
        SetColour(cr, {0.30, 0.33, 0.37});
        cairo_fill(cr);
    }
    return canvas;
}

Canvas DrawBlank() { return Canvas(geo::kHoldW, geo::kHoldH); }

Canvas DrawBackButton(bool pressed)
{
    Canvas canvas(geo::kBackW, geo::kBackH);
    cairo_t* cr = canvas.Cr();
    const double dy = pressed ? 1.0 : 0.0;

    RoundedRect(cr, 2, 3 + dy, 79, 42, 9);
    if (pressed) {
        SetColour(cr, kScaleWhite);
        cairo_fill(cr);
    } else {
        SetColour(cr, kScaleWhite.WithAlpha(0.13));
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 1.5);
        SetColour(cr, kScaleWhite.WithAlpha(0.85));
        cairo_stroke(cr);
    }
    const Rgba ink = pressed ? Rgba{0.07, 0.12, 0.19} : kScaleWhite;
    SetColour(cr, ink);

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

    SetFont(cr, Font::SansBold, 16);
    TextPath(cr, "Back", 33, ay + 6);
    cairo_fill(cr);
    return canvas;
}

} // namespace resgen
