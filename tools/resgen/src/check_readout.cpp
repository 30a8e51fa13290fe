// Checks of the readout: digits that keep clear of each other at the app's fixed places, panels that
// are opaque under them, captions tall and contrasting enough, and the complement slot's placeholder
// hidden by the small digits' plates.
#include "checks.h"

#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace resgen::checks {

namespace {

Pixel panelColour() {
    auto c = [](double v) { return static_cast<std::uint8_t>(std::lround(v * 255)); };
    return {c(kReadoutPanel.r), c(kReadoutPanel.g), c(kReadoutPanel.b), 255};
}

int colourDistance(const Pixel& a, const Pixel& b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

// Ink of a glyph: paint that is not the small images' panel-coloured plate.
bool isInk(const Pixel& p) { return p.a >= 24 && !(p.a == 255 && colourDistance(p, panelColour()) <= 24); }

Box glyphBox(const Image& img) {
    Box b;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (isInk(img.at(x, y))) b.add(x, y);
    return b;
}

Box opaqueBox(const Image& img) {
    Box b;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.at(x, y).a == 255) b.add(x, y);
    return b;
}

class ReadoutCheck {
public:
    ReadoutCheck(Report& report, bool big) : report_(report), big_(big) {
        prefix_ = big ? "bigNum" : "smallNum";
        xs_ = big ? geo::kBigX : geo::kSmallX;
        ys_ = big ? geo::kBigY : geo::kSmallY;
        w_ = big ? geo::kBigW : geo::kSmallW;
        h_ = big ? geo::kBigH : geo::kSmallH;
    }

    void run() {
        for (int i = 0; i <= 11; ++i) checkGlyph(i);
        // The glyphs each place can hold: the angle is at most 180.0 and the complement at least
        // 180.0, so the big hundreds digit is only ever 1 and the small one 1, 2 or 3.
        const std::vector<int> digits{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        places_ = {big_ ? std::vector<int>{1} : std::vector<int>{1, 2, 3}, digits, digits, {kPointGlyph}, digits,
                   {kDegreeGlyph}};
        Box ink[6], cover[6];
        for (int p = 0; p < 6; ++p)
            for (const int g : places_[p]) {
                ink[p].add(placed(glyphBox(image(g)), p));
                cover[p].add(placed(opaqueBox(image(g)), p));
            }
        for (int p = 0; p < 6; ++p)
            for (int q = p + 1; q < 6; ++q) {
                if (ink[p].right >= ink[q].left && q == p + 1)
                    fail("place " + std::to_string(p) + " runs into place " + std::to_string(q));
                // Later images are drawn over earlier ones: a plate must not hide an earlier glyph.
                if (cover[q].overlaps(ink[p]) && !cover[q].empty())
                    fail("the plate of place " + std::to_string(q) + " covers the glyph of place " + std::to_string(p));
            }
        if (std::abs(ink[5].top - ink[0].top) > 1) fail("degree sign is not level with the digits");
        for (int p = 0; p < 6; ++p) inkAll_.add(ink[p]);

        checkFrame("up_numberframe.png", geo::kUpPanelRight, ink);
        if (big_) checkFrame("side_numberframe.png", geo::kSidePanelRight, ink);
    }

private:
    void fail(const std::string& what) { report_.fail(prefix_ + ": " + what); }
    const Image& image(int glyph) { return report_.get(prefix_ + std::to_string(glyph) + ".png"); }

    // A box in an image's own pixels moved to frame pixels for the image at place p.
    Box placed(const Box& b, int p) const {
        if (b.empty()) return b;
        const int ox = static_cast<int>(xs_[p]) - w_ / 2, oy = static_cast<int>(ys_[p]) - h_ / 2;
        return Box{b.left + ox, b.top + oy, b.right + ox, b.bottom + oy};
    }

    void checkGlyph(int i) {
        const std::string name = prefix_ + std::to_string(i) + ".png";
        const Image& img = image(i);
        const Box b = glyphBox(img);
        if (b.empty()) {
            report_.fail(name + ": empty");
            return;
        }
        if (b.left == 0 || b.top == 0 || b.right == w_ - 1 || b.bottom == h_ - 1)
            report_.fail(name + ": glyph is cut at the edge of its image");
        // Small images stand on plates that must vanish into the panel; big ones stand on nothing.
        if (!big_) {
            bool plain = true;
            for (int y = 0; y < h_; ++y)
                for (int x = 0; x < w_; ++x) {
                    const Pixel& p = img.at(x, y);
                    // The rim's faintest edge is dark on dark, so the glyph's box is taken one pixel wider.
                    const bool inGlyph = x >= b.left - 1 && x <= b.right + 1 && y >= b.top - 1 && y <= b.bottom + 1;
                    if (!inGlyph && p.a != 0 && (p.a != 255 || colourDistance(p, panelColour()) > 12)) plain = false;
                }
            if (!plain) report_.fail(name + ": its plate is not the panel's colour");
        }
        if (i == kPointGlyph) {
            // A point wider than 40% of its cell would crowd the digits the app sets 14 (or 8) px away.
            if (const int pw = b.right - b.left + 1; pw > w_ * 2 / 5)
                report_.fail(name + ": decimal point is " + std::to_string(pw) + " px wide");
            if (std::abs((b.left + b.right + 1) / 2.0 - w_ / 2.0) > 0.5) report_.fail(name + ": decimal point is not centred");
        }
    }

    void checkFrame(const std::string& frameName, int panelRight, const Box* ink) {
        const Image& frame = report_.get(frameName);
        auto failFrame = [&](const std::string& what) { report_.fail(frameName + ": " + what); };
        const Pixel panel = panelColour();

        // The panel's place is fixed: 10 px from the screen's edge, 15 px from the next.
        Box painted;
        for (int y = 0; y < frame.height; ++y)
            for (int x = 0; x < frame.width; ++x)
                if (frame.at(x, y).a) painted.add(x, y);
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
                        const Pixel& f = frame.at(x, y);
                        const std::string at = " at (" + std::to_string(x) + "," + std::to_string(y) + ")";
                        if (f.a != 255) return "the picture shows through under a digit" + at;
                        if (colourDistance(f, panel) > 2 && (big_ || !hiddenByPlates(x, y)))
                            return "something shows under a digit place" + at;
                    }
            return "";
        };
        if (const std::string problem = underDigits(); !problem.empty()) failFrame(problem);
        if (big_) {
            checkCaption(frame, frameName + " \"ANGLE\"", geo::kPanelLeft + 2, ink[5].right, geo::kPanelTop + 4,
                         inkAll_.top - 2);
        } else {
            const int slotLeft = static_cast<int>(geo::kSmallX[0]) - geo::kSmallW / 2;
            checkCaption(frame, frameName + " \"OTHER SIDE\"", slotLeft, panelRight - 4, geo::kPanelTop + 4,
                         inkAll_.top - 2);
            // Everything drawn in the slot, placeholder included, lies where the plates hide it.
            for (int y = inkAll_.top - 1; y <= inkAll_.bottom + 1; ++y)
                for (int x = slotLeft; x < panelRight - 8; ++x)
                    if (colourDistance(frame.at(x, y), panel) > 2 && !hiddenByPlates(x, y)) {
                        failFrame("the complement slot shows something the small digits do not cover at (" +
                                  std::to_string(x) + "," + std::to_string(y) + ")");
                        return;
                    }
        }
    }

    // Whether frame pixel (x, y) ends under a panel-coloured plate, whatever glyphs stand in the slot.
    bool hiddenByPlates(int x, int y) {
        for (int p = 0; p < 6; ++p) {
            const int ix = x - (static_cast<int>(xs_[p]) - w_ / 2), iy = y - (static_cast<int>(ys_[p]) - h_ / 2);
            if (ix < 0 || iy < 0 || ix >= w_ || iy >= h_) continue;
            bool hidden = true;
            for (const int g : places_[p]) hidden = hidden && image(g).at(ix, iy).a == 255;
            if (hidden) return true;
        }
        return false;
    }

    // Captions are capitals: their inked rows must span the minimum height, in a colour that
    // contrasts enough with the panel.
    void checkCaption(const Image& frame, const std::string& what, int x0, int x1, int y0, int y1) {
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
                const Pixel& p = frame.at(x, y);
                // Where the panel does not reach, there is no caption to read.
                if (p.a != 255 || colourDistance(p, panel) <= 60) continue;
                box.add(x, y);
                ++colours[{p.r, p.g, p.b}];
            }
        if (box.empty()) {
            report_.fail(what + ": no caption");
            return;
        }
        if (box.bottom - box.top + 1 < geo::kCaptionMinHeight)
            report_.fail(what + ": caption is " + std::to_string(box.bottom - box.top + 1) + " px high");
        // The caption's own colour is the one its fully covered pixels share: the commonest.
        const double ratio = contrastRatio(commonest(colours), panel);
        if (ratio < geo::kCaptionMinContrast)
            report_.fail(what + ": caption contrast " + std::to_string(ratio).substr(0, 4) + ":1");
    }

    Report& report_;
    bool big_;
    std::string prefix_;
    const double *xs_, *ys_;
    int w_, h_;
    std::vector<std::vector<int>> places_;
    Box inkAll_;
};

}  // namespace

void checkReadout(Report& report) {
    ReadoutCheck(report, true).run();
    ReadoutCheck(report, false).run();
}

}  // namespace resgen::checks
