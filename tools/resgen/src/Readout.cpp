// The angle readout: its two panels and the big and small digit images placed on them.
// The app sets digits at fixed spacings, so every glyph is sized to keep clear of its neighbours.
#include "Artwork.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <string_view>

namespace resgen {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr Rgba kGlyph{0.97, 0.98, 1.00};
constexpr Rgba kGlyphRim{0.0, 0.0, 0.0, 0.9};

struct DigitStyle {
    int width, height;
    double inkHeight; // height of a digit from baseline to top
    double maxInkWidth; // widest digit, without its rim
    double rim; // dark outline outside the glyph
    double pointR; // decimal point radius
    double ringR, ringWidth;
};

constexpr DigitStyle kBig{geo::kBigW, geo::kBigH, 23.5, 16.0, 1.2, 2.1, 3.2, 2.2};
constexpr DigitStyle kSmall{geo::kSmallW, geo::kSmallH, 11.0, 7.0, 1.0, 1.1, 1.6, 1.3};

// Font size and horizontal squeeze that give the wanted digit height and widest digit.
void DigitFont(cairo_t* cr, const DigitStyle& s)
{
    SetFont(cr, Font::SansBold, 100.0);
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
    SetFont(cr, Font::SansBold, size, xscale);
}

} // namespace

// The small images are drawn only on the round dial, over the portrait frame, whose complement slot
// shows a dim "---.-°" for the times that frame stands without them. Each small image carries a plate
// of the panel's colour that hides the placeholder under it; a plate leaves out the part of its cell
// that the previous image's glyph reaches into, since the app overlaps the cells.
namespace {

struct Plate {
    int left, right; // image columns, right exclusive
};
Plate SmallPlate(int glyph)
{
    if (glyph == kPointGlyph) return {4, 11};
    return {2, geo::kSmallW};
}
constexpr int kPlateTop = 1, kPlateBottom = geo::kSmallH - 1;

} // namespace

Canvas DrawDigit(int glyph, bool big)
{
    const DigitStyle& s = big ? kBig : kSmall;
    Canvas canvas(s.width, s.height);
    cairo_t* cr = canvas.Cr();
    const double cx = s.width / 2.0;
    const double baseline = s.height / 2.0 + s.inkHeight / 2.0;
    const double inkTop = baseline - s.inkHeight;

    if (!big) {
        const Plate plate = SmallPlate(glyph);
        cairo_rectangle(cr, plate.left, kPlateTop, plate.right - plate.left, kPlateBottom - kPlateTop);
        SetColour(cr, kReadoutPanel);
        cairo_fill(cr);
    }
    if (glyph >= 0 && glyph <= 9) {
        DigitFont(cr, s);
        const std::string text(1, static_cast<char>('0' + glyph));
        // Centred on the advance, not the ink, so the digits stay tabular ("1" keeps its place).
        TextPath(cr, text, cx, baseline, Align::Centre);
        FillWithRim(cr, kGlyph, kGlyphRim, s.rim);
    } else if (glyph == kPointGlyph) {
        cairo_arc(cr, cx, baseline - s.pointR, s.pointR, 0, 2 * kPi);
        FillWithRim(cr, kGlyph, kGlyphRim, s.rim);
    } else if (glyph == kDegreeGlyph) {
        // The app draws this image 2 px higher than the digits; the ring's top lines up with theirs.
        const double outer = s.ringR + s.ringWidth / 2;
        const double cy = inkTop + 2.0 + outer;
        cairo_arc(cr, cx, cy, s.ringR, 0, 2 * kPi);
        cairo_set_line_width(cr, s.ringWidth + 2 * s.rim);
        SetColour(cr, kGlyphRim);
        cairo_stroke_preserve(cr);
        cairo_set_line_width(cr, s.ringWidth);
        SetColour(cr, kGlyph);
        cairo_stroke(cr);
    }
    return canvas;
}

namespace {

// Sets a caption's font so that its capitals stand `capHeight` px tall and the text is at most
// `maxWidth` wide.
void CaptionFont(cairo_t* cr, std::string_view text, double capHeight, double maxWidth)
{
    SetFont(cr, Font::SansBold, 100.0);
    cairo_text_extents_t e;
    cairo_text_extents(cr, "H", &e);
    const double size = 100.0 * capHeight / e.height;
    SetFont(cr, Font::SansBold, size);
    const double width = TextAdvance(cr, text);
    SetFont(cr, Font::SansBold, size, std::min(1.0, maxWidth / width));
}

// Caption capitals are drawn a little over the minimum so antialiasing cannot take them under it.
constexpr double kCaptionCap = geo::kCaptionMinHeight + 0.6;

} // namespace

Canvas DrawNumberFrame(bool portrait)
{
    Canvas canvas(geo::kFrameW, geo::kFrameH);
    cairo_t* cr = canvas.Cr();
    // Opaque throughout, so no picture shows through the digits. The landscape panel holds the big
    // readout; the portrait one adds the complement slot, and the landscape dial shows this frame
    // too while the picture is held, with the slot empty.
    const double left = geo::kPanelLeft, right = portrait ? geo::kUpPanelRight : geo::kSidePanelRight;
    RoundedRect(cr, left, geo::kPanelTop, right - left, geo::kPanelBottom - geo::kPanelTop, 8);
    SetColour(cr, kReadoutBorder);
    cairo_fill(cr);
    RoundedRect(cr, left + 1, geo::kPanelTop + 1, right - left - 2, geo::kPanelBottom - geo::kPanelTop - 2, 7);
    SetColour(cr, kReadoutPanel);
    cairo_fill(cr);

    // Captions sit above the digits, never under a glyph.
    const double captionTop = 7;
    CaptionFont(cr, "ANGLE", kCaptionCap, 100);
    SetColour(cr, kReadoutCaption);
    TextPath(cr, "ANGLE", left + 7, captionTop + kCaptionCap);
    cairo_fill(cr);
    if (!portrait) return canvas;

    // The complement slot: a divider, its caption and a dim "---.-°" that the small images cover.
    const double slotLeft = geo::kSmallX[0] - geo::kSmallW / 2.0;
    cairo_rectangle(cr, slotLeft - 4, 24, 1, 30);
    SetColour(cr, kReadoutBorder);
    cairo_fill(cr);
    const double slotCaptionTop = 24;
    CaptionFont(cr, "OTHER SIDE", kCaptionCap, right - 6 - slotLeft);
    SetColour(cr, kReadoutCaption);
    TextPath(cr, "OTHER SIDE", slotLeft, slotCaptionTop + kCaptionCap);
    cairo_fill(cr);

    SetColour(cr, kReadoutPlaceholder);
    for (const int place : {0, 1, 2, 4}) cairo_rectangle(cr, geo::kSmallX[place] - 3, geo::kSmallY[place] - 1, 6, 2);
    cairo_fill(cr);
    cairo_arc(cr, geo::kSmallX[3], geo::kSmallY[3] + 4, 1.1, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_arc(cr, geo::kSmallX[5], geo::kSmallY[5] - 2, 1.6, 0, 2 * kPi);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    return canvas;
}

} // namespace resgen
