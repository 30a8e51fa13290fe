// The help page: its title strip and the scrolling text that explains how to use the protractor.
// Both are JPEGs on an opaque background; needle colours in text and diagrams match the real needles.
#include "Artwork.h"
#include "HelpDiagrams.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace resgen {

using namespace help;

namespace {

// Lays out text top to bottom; [r]...[/] and [b]...[/] mark words in the needles' colours.
class Page {
public:
    Page(cairo_t* cr, double left, double right, double top) : m_cr(cr), m_left(left), m_right(right), m_y(top) {}

    double Y() const { return m_y; }
    double Take(double h)
    {
        const double top = m_y;
        m_y += h;
        return top;
    }

    void Heading(const std::string& text)
    {
        m_y += 6;
        cairo_rectangle(m_cr, m_left, m_y + 3, 4, 19);
        cairo_pattern_t* p = cairo_pattern_create_linear(0, m_y + 3, 0, m_y + 22);
        cairo_pattern_add_color_stop_rgb(p, 0, kMeasureColour.r, kMeasureColour.g, kMeasureColour.b);
        cairo_pattern_add_color_stop_rgb(p, 1, kOriginColour.r, kOriginColour.g, kOriginColour.b);
        cairo_set_source(m_cr, p);
        cairo_fill(m_cr);
        cairo_pattern_destroy(p);
        SetFont(m_cr, Font::SansBold, 18);
        SetColour(m_cr, kHeading);
        TextPath(m_cr, text, m_left + 12, m_y + 19);
        cairo_fill(m_cr);
        m_y += 30;
    }

    void Paragraph(const std::string& marked, double indent = 0)
    {
        struct Word {
            std::string text;
            int style; // 0 plain, 1 measuring, 2 origin
            bool glued = false; // follows the previous word without a space (punctuation after a marked span)
        };
        std::vector<Word> words;
        int style = 0;
        std::istringstream in(marked);
        std::string token;
        while (in >> token) {
            for (;;) {
                if (token.rfind("[r]", 0) == 0) {
                    style = 1;
                    token.erase(0, 3);
                    continue;
                }
                if (token.rfind("[b]", 0) == 0) {
                    style = 2;
                    token.erase(0, 3);
                    continue;
                }
                break;
            }
            if (const auto at = token.find("[/]"); at != std::string::npos) {
                words.push_back({token.substr(0, at), style});
                style = 0;
                if (at + 3 < token.size()) words.push_back({token.substr(at + 3), 0, true});
            } else {
                words.push_back({token, style});
            }
        }

        const double x0 = m_left + indent;
        double x = x0;
        m_y += kLine;
        for (const Word& w : words) {
            UseStyle(w.style);
            const double width = TextAdvance(m_cr, w.text);
            if (w.glued) {
                UseStyle(0);
                x -= TextAdvance(m_cr, " ");
                UseStyle(w.style);
            }
            if (!w.glued && x > x0 && x + width > m_right) {
                x = x0;
                m_y += kLine;
            }
            TextPath(m_cr, w.text, x, m_y - 5);
            cairo_fill(m_cr);
            UseStyle(0);
            x += width + TextAdvance(m_cr, " ");
        }
        m_y += 8;
    }

private:
    static constexpr double kLine = 21;

    void UseStyle(int style)
    {
        SetFont(m_cr, style == 0 ? Font::Sans : Font::SansBold, 14.5);
        SetColour(m_cr, style == 1 ? kMeasureText : style == 2 ? kOriginText : kText);
    }

    cairo_t* m_cr;
    double m_left, m_right, m_y;
};

} // namespace

Canvas DrawTitleStrip()
{
    Canvas canvas(geo::kTitleW, geo::kTitleH, true);
    cairo_t* cr = canvas.Cr();
    cairo_pattern_t* bg = cairo_pattern_create_linear(0, 0, 0, geo::kTitleH);
    cairo_pattern_add_color_stop_rgb(bg, 0, 0.15, 0.20, 0.26);
    cairo_pattern_add_color_stop_rgb(bg, 1, 0.07, 0.09, 0.12);
    cairo_set_source(cr, bg);
    cairo_paint(cr);
    cairo_pattern_destroy(bg);

    // Accent line in the needles' colours.
    cairo_pattern_t* accent = cairo_pattern_create_linear(0, 0, geo::kTitleW, 0);
    cairo_pattern_add_color_stop_rgb(accent, 0, kMeasureColour.r, kMeasureColour.g, kMeasureColour.b);
    cairo_pattern_add_color_stop_rgb(accent, 1, kOriginColour.r, kOriginColour.g, kOriginColour.b);
    cairo_rectangle(cr, 0, geo::kTitleH - 3, geo::kTitleW, 3);
    cairo_set_source(cr, accent);
    cairo_fill(cr);
    cairo_pattern_destroy(accent);

    MiniProtractor(cr, {36, 48}, 22, kScaleWhite, true);

    SetFont(cr, Font::SansBold, 26);
    SetColour(cr, kScaleWhite);
    TextPath(cr, "Veltora", 70, 33);
    cairo_fill(cr);
    SetFont(cr, Font::Sans, 13.5);
    SetColour(cr, {0.70, 0.77, 0.84});
    TextPath(cr, "How to measure", 71, 52);
    cairo_fill(cr);
    return canvas;
}

Canvas DrawHelpContents()
{
    Canvas canvas(geo::kHelpW, geo::kHelpH, true);
    cairo_t* cr = canvas.Cr();
    SetColour(cr, {1, 1, 1});
    cairo_paint(cr);

    Page page(cr, 22, 458, 6);
    page.Heading("Measuring an angle");
    page.Paragraph("Aim the camera so the angle's corner sits under the hub.");
    MeasuringDiagram(cr, page.Take(176));
    page.Take(4);
    page.Paragraph("Drag near the centre to move the [r]red needle[/], the measuring needle, and on the "
                   "outer ring to move the [b]blue needle[/], the origin needle. Lay each along one side "
                   "of the angle: the side shows in the clear gap between the needle's two lines, and "
                   "the corner in the hub's clear middle, under its crosshair.");
    page.Paragraph("The readout shows the angle between the needles in tenths of a degree. On the "
                   "round dial the other side, 360° minus the angle, is shown beside it. The amber "
                   "numbers inside the scale count from the other end, for the phone turned over.");

    page.Heading("Holding the picture");
    page.Take(6);
    HoldDiagram(cr, page.Take(84));
    page.Take(6);
    page.Paragraph("Press the hold button to freeze the picture; the needles stay adjustable. "
                   "Press it again for the live picture.");

    page.Heading("Turning the phone");
    page.Take(8);
    PhonesDiagram(cr, page.Take(150));
    page.Take(6);
    page.Paragraph("Sideways you get the half circle, upright the full circle. The layout "
                   "follows the phone, except while the picture is held.");

    page.Heading("Going back");
    page.Paragraph("Press Back to return to the live camera.");

    if (page.Y() > geo::kHelpH)
        throw std::runtime_error("help text runs " + std::to_string(static_cast<int>(page.Y() - geo::kHelpH)) +
                                 " px past the page");
    return canvas;
}

} // namespace resgen
