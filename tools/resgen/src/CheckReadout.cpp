// Checks of the readout: digits that keep clear of each other at the app's fixed places, panels that
// are opaque under them, captions tall and contrasting enough, and the complement slot's placeholder
// hidden by the small digits' plates.
#include "Checks.h"

#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace resgen::checks {

namespace {

Pixel PanelColour()
{
    auto c = [](double v) { return static_cast<std::uint8_t>(std::lround(v * 255)); };
    return {c(kReadoutPanel.r), c(kReadoutPanel.g), c(kReadoutPanel.b), 255};
}

int ColourDistance(const Pixel& a, const Pixel& b)
{
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

// Ink of a glyph: paint that is not the small images' panel-coloured plate.
bool IsInk(const Pixel& p) { return p.a >= 24 && !(p.a == 255 && ColourDistance(p, PanelColour()) <= 24); }

Box GlyphBox(const Image& img)
{
    Box b;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (IsInk(img.At(x, y))) b.Add(x, y);
    return b;
}

Box OpaqueBox(const Image& img)
{
    Box b;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.At(x, y).a == 255) b.Add(x, y);
    return b;
}

class ReadoutCheck {
public:
    ReadoutCheck(Report& report, bool big) : m_report(report), m_big(big)
    {
        m_prefix = big ? "bigNum" : "smallNum";
        m_xs = big ? geo::kBigX : geo::kSmallX;
        m_ys = big ? geo::kBigY : geo::kSmallY;
        m_w = big ? geo::kBigW : geo::kSmallW;
        m_h = big ? geo::kBigH : geo::kSmallH;
    }

    void Run()
    {
        for (int i = 0; i <= 11; ++i) CheckGlyph(i);
        // The glyphs each place can hold: the angle is at most 180.0 and the complement at least
        // 180.0, so the big hundreds digit is only ever 1 and the small one 1, 2 or 3.
        const std::vector<int> digits{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        m_places = {m_big ? std::vector<int>{1} : std::vector<int>{1, 2, 3},
                    digits,
                    digits,
                    {kPointGlyph},
                    digits,
                    {kDegreeGlyph}};
        Box ink[6], cover[6];
        for (int p = 0; p < 6; ++p)
            for (const int g : m_places[p]) {
                ink[p].Add(Placed(GlyphBox(Glyph(g)), p));
                cover[p].Add(Placed(OpaqueBox(Glyph(g)), p));
            }
        for (int p = 0; p < 6; ++p)
            for (int q = p + 1; q < 6; ++q) {
                if (ink[p].right >= ink[q].left && q == p + 1)
                    Fail("place " + std::to_string(p) + " runs into place " + std::to_string(q));
                // Later images are drawn over earlier ones: a plate must not hide an earlier glyph.
                if (cover[q].Overlaps(ink[p]) && !cover[q].Empty())
                    Fail("the plate of place " + std::to_string(q) + " covers the glyph of place " + std::to_string(p));
            }
        if (std::abs(ink[5].top - ink[0].top) > 1) Fail("degree sign is not level with the digits");
        for (int p = 0; p < 6; ++p) m_inkAll.Add(ink[p]);

        CheckFrame("up_numberframe.png", geo::kUpPanelRight, ink);
        if (m_big) CheckFrame("side_numberframe.png", geo::kSidePanelRight, ink);
    }

private:
    void Fail(const std::string& what) { m_report.Fail(m_prefix + ": " + what); }
    const Image& Glyph(int glyph) { return m_report.Get(m_prefix + std::to_string(glyph) + ".png"); }

    // A box in an image's own pixels moved to frame pixels for the image at place p.
    Box Placed(const Box& b, int p) const
    {
        if (b.Empty()) return b;
        const int ox = static_cast<int>(m_xs[p]) - m_w / 2, oy = static_cast<int>(m_ys[p]) - m_h / 2;
        return Box{b.left + ox, b.top + oy, b.right + ox, b.bottom + oy};
    }

    void CheckGlyph(int i)
    {
        const std::string name = m_prefix + std::to_string(i) + ".png";
        const Image& img = Glyph(i);
        const Box b = GlyphBox(img);
        if (b.Empty()) {
            m_report.Fail(name + ": empty");
            return;
        }
        if (b.left == 0 || b.top == 0 || b.right == m_w - 1 || b.bottom == m_h - 1)
            m_report.Fail(name + ": glyph is cut at the edge of its image");
        // Small images stand on plates that must vanish into the panel; big ones stand on nothing.
        if (!m_big) {
            bool plain = true;
            for (int y = 0; y < m_h; ++y)
                for (int x = 0; x < m_w; ++x) {
                    const Pixel& p = img.At(x, y);
                    // The rim's faintest edge is dark on dark, so the glyph's box is taken one pixel wider.
                    const bool inGlyph = x >= b.left - 1 && x <= b.right + 1 && y >= b.top - 1 && y <= b.bottom + 1;
                    if (!inGlyph && p.a != 0 && (p.a != 255 || ColourDistance(p, PanelColour()) > 12)) plain = false;
                }
            if (!plain) m_report.Fail(name + ": its plate is not the panel's colour");
        }
        if (i == kPointGlyph) {
            // A point wider than 40% of its cell would crowd the digits the app sets 14 (or 8) px away.
            if (const int pw = b.right - b.left + 1; pw > m_w * 2 / 5)
                m_report.Fail(name + ": decimal point is " + std::to_string(pw) + " px wide");
            if (std::abs((b.left + b.right + 1) / 2.0 - m_w / 2.0) > 0.5)
                m_report.Fail(name + ": decimal point is not centred");
        }
    }

    void CheckFrame(const std::string& frameName, int panelRight, const Box* ink)
    {
        const Image& frame = m_report.Get(frameName);
        auto failFrame = [&](const std::string& what) { m_report.Fail(frameName + ": " + what); };
        const Pixel panel = PanelColour();

        // The panel's place is fixed: 10 px from the screen's edge, 15 px from the next.
        Box painted;
        for (int y = 0; y < frame.height; ++y)
            for (int x = 0; x < frame.width; ++x)
                if (frame.At(x, y).a) painted.Add(x, y);
        if (painted.left != geo::kPanelLeft || painted.top != geo::kPanelTop || painted.right != panelRight - 1 ||
            painted.bottom != geo::kPanelBottom - 1)
            failFrame("the panel is not at " + std::to_string(geo::kPanelLeft) + ".." + std::to_string(panelRight) +
                      " by " + std::to_string(geo::kPanelTop) + ".." + std::to_string(geo::kPanelBottom));

        // Opaque and plain under every digit place; on the portrait frame the complement slot may
        // show a placeholder, as long as the small images' plates hide it wherever they stand.
        auto underDigits = [&]() -> std::string {
            for (int p = 0; p < 6; ++p)
                for (int y = ink[p].top; y <= ink[p].bottom; ++y)
                    for (int x = ink[p].left; x <= ink[p].right; ++x) {
                        const Pixel& f = frame.At(x, y);
                        const std::string at = " at (" + std::to_string(x) + "," + std::to_string(y) + ")";
                        if (f.a != 255) return "the picture shows through under a digit" + at;
                        if (ColourDistance(f, panel) > 2 && (m_big || !HiddenByPlates(x, y)))
                            return "something shows under a digit place" + at;
                    }
            return "";
        };
        if (const std::string problem = underDigits(); !problem.empty()) failFrame(problem);
        if (m_big) {
            CheckCaption(frame, frameName + " \"ANGLE\"", geo::kPanelLeft + 2, ink[5].right, geo::kPanelTop + 4,
                         m_inkAll.top - 2);
        } else {
            const int slotLeft = static_cast<int>(geo::kSmallX[0]) - geo::kSmallW / 2;
            CheckCaption(frame, frameName + " \"OTHER SIDE\"", slotLeft, panelRight - 4, geo::kPanelTop + 4,
                         m_inkAll.top - 2);
            // Everything drawn in the slot, placeholder included, lies where the plates hide it.
            for (int y = m_inkAll.top - 1; y <= m_inkAll.bottom + 1; ++y)
                for (int x = slotLeft; x < panelRight - 8; ++x)
                    if (ColourDistance(frame.At(x, y), panel) > 2 && !HiddenByPlates(x, y)) {
                        failFrame("the complement slot shows something the small digits do not cover at (" +
                                  std::to_string(x) + "," + std::to_string(y) + ")");
                        return;
                    }
        }
    }

    // Whether frame pixel (x, y) ends under a panel-coloured plate, whatever glyphs stand in the slot.
    bool HiddenByPlates(int x, int y)
    {
        for (int p = 0; p < 6; ++p) {
            const int ix = x - (static_cast<int>(m_xs[p]) - m_w / 2), iy = y - (static_cast<int>(m_ys[p]) - m_h / 2);
            if (ix < 0 || iy < 0 || ix >= m_w || iy >= m_h) continue;
            bool hidden = true;
            for (const int g : m_places[p]) hidden = hidden && Glyph(g).At(ix, iy).a == 255;
            if (hidden) return true;
        }
        return false;
    }

    // Captions are capitals: their inked rows must span the minimum height, in a colour that
    // contrasts enough with the panel.
    void CheckCaption(const Image& frame, const std::string& what, int x0, int x1, int y0, int y1)
    {
        // Against the panel as drawn: its commonest colour.
        std::map<std::tuple<int, int, int>, int> frameColours;
        for (const Pixel& p : frame.px)
            if (p.a) ++frameColours[{p.r, p.g, p.b}];
        auto commonest = [](const auto& counts) {
            auto best = counts.begin();
            for (auto it = counts.begin(); it != counts.end(); ++it)
                if (it->second > best->second) best = it;
            const auto [r, g, b] = best->first;
            return Pixel{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b), 255};
        };
        if (frameColours.empty()) return;
        const Pixel panel = commonest(frameColours);
        Box box;
        std::map<std::tuple<int, int, int>, int> colours;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const Pixel& p = frame.At(x, y);
                // Where the panel does not reach, there is no caption to read.
                if (p.a != 255 || ColourDistance(p, panel) <= 60) continue;
                box.Add(x, y);
                ++colours[{p.r, p.g, p.b}];
            }
        if (box.Empty()) {
            m_report.Fail(what + ": no caption");
            return;
        }
        if (box.bottom - box.top + 1 < geo::kCaptionMinHeight)
            m_report.Fail(what + ": caption is " + std::to_string(box.bottom - box.top + 1) + " px high");
        // The caption's own colour is the one its fully covered pixels share: the commonest.
        const double ratio = ContrastRatio(commonest(colours), panel);
        if (ratio < geo::kCaptionMinContrast)
            m_report.Fail(what + ": caption contrast " + std::to_string(ratio).substr(0, 4) + ":1");
    }

    Report& m_report;
    bool m_big;
    std::string m_prefix;
    const double *m_xs, *m_ys;
    int m_w, m_h;
    std::vector<std::vector<int>> m_places;
    Box m_inkAll;
};

} // namespace

void CheckReadout(Report& report)
{
    ReadoutCheck(report, true).Run();
    ReadoutCheck(report, false).Run();
}

} // namespace resgen::checks
