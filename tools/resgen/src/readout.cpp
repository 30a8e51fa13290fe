// The angle readout: its two panels and the big and small digit images placed on them.
// The app sets digits at fixed spacings, so every glyph is sized to keep clear of its neighbours.
#include "artwork.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace resgen {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr Rgba kGlyph{0.97, 0.98, 1.00};
constexpr Rgba kGlyphRim{0.0, 0.0, 0.0, 0.9};

struct DigitStyle {
    int width, height;
    double inkHeight;    // height of a digit from baseline to top
    double maxInkWidth;  // widest digit, without its rim
    double rim;          // dark outline outside the glyph
    double pointR;       // decimal point radius
    double ringR, ringWidth;
};

constexpr DigitStyle kBig{geo::kBigW, geo::kBigH, 23.5, 16.0, 1.2, 2.1, 3.2, 2.2};
constexpr DigitStyle kSmall{geo::kSmallW, geo::kSmallH, 11.0, 7.0, 1.0, 1.1, 1.6, 1.3};

// Font size and horizontal squeeze that give the wanted digit height and widest digit.
void digitFont(cairo_t* cr, const DigitStyle& s) {
    setFont(cr, Font::SansBold, 100.0);
    double height = 0, width = 0;
    for (char c = '0'; c <= '9'; ++c) {
        const char text[2] = {c, 0};
        cairo_text_extents_t e;
        cairo_text_extents(cr, text, &e);
        height = std::max(height, e.height);
        width = std::max(width, e.width);
    }
    const double size = 100.0 * s.inkHeight / height;
    const double xscale = std::min(1.0, s.maxInkWidth / (width * size / 100.0));
    setFont(cr, Font::SansBold, size, xscale);
}

}  // namespace

Canvas drawDigit(int glyph, bool big) {
    const DigitStyle& s = big ? kBig : kSmall;
    Canvas canvas(s.width, s.height);
    cairo_t* cr = canvas.cr();
    const double cx = s.width / 2.0;
    const double baseline = s.height / 2.0 + s.inkHeight / 2.0;
    const double inkTop = baseline - s.inkHeight;

    if (glyph >= 0 && glyph <= 9) {
        digitFont(cr, s);
        const std::string text(1, static_cast<char>('0' + glyph));
        // Centred on the advance, not the ink, so the digits stay tabular ("1" keeps its place).
        textPath(cr, text, cx, baseline, Align::Centre);
        fillWithRim(cr, kGlyph, kGlyphRim, s.rim);
    } else if (glyph == kPointGlyph) {
        cairo_arc(cr, cx, baseline - s.pointR, s.pointR, 0, 2 * kPi);
        fillWithRim(cr, kGlyph, kGlyphRim, s.rim);
    } else if (glyph == kDegreeGlyph) {
        // The app draws this image 2 px higher than the digits; the ring's top lines up with theirs.
        const double outer = s.ringR + s.ringWidth / 2;
        const double cy = inkTop + 2.0 + outer;
        cairo_arc(cr, cx, cy, s.ringR, 0, 2 * kPi);
        cairo_set_line_width(cr, s.ringWidth + 2 * s.rim);
        setColour(cr, kGlyphRim);
        cairo_stroke_preserve(cr);
        cairo_set_line_width(cr, s.ringWidth);
        setColour(cr, kGlyph);
        cairo_stroke(cr);
    }
    return canvas;
}

Canvas drawNumberFrame(bool portrait) {
    Canvas canvas(geo::kFrameW, geo::kFrameH);
    cairo_t* cr = canvas.cr();
    // The landscape panel only needs the big readout; the portrait one also the small complement.
    const double w = portrait ? 245 : 136;
    roundedRect(cr, 1.5, 1.5, w + 2, 57, 10);
    setColour(cr, kShadow.withAlpha(0.45));
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);

    cairo_pattern_t* fill = cairo_pattern_create_linear(0, 2, 0, 58);
    cairo_pattern_add_color_stop_rgba(fill, 0.0, 0.10, 0.13, 0.17, 0.74);
    cairo_pattern_add_color_stop_rgba(fill, 1.0, 0.03, 0.04, 0.06, 0.70);
    roundedRect(cr, 2.5, 2.5, w, 55, 9);
    cairo_set_source(cr, fill);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(fill);
    setColour(cr, kScaleWhite.withAlpha(0.45));
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);

    // Captions sit above the digit cells only, never under a glyph.
    setFont(cr, Font::SansBold, 8.0);
    setColour(cr, kScaleWhite.withAlpha(0.62));
    textPath(cr, "ANGLE", 13, 14);
    cairo_fill(cr);
    if (portrait) {
        textPath(cr, "OTHER SIDE", 134, 30);
        cairo_fill(cr);
    }
    return canvas;
}

}  // namespace resgen
