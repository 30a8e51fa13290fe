// Checks of the needles and hubs: pivots on their axes, the clear line through each needle,
// the hub's see-through window with its crosshair, and a ring that shows on any picture.
#include "Checks.h"

#include <cmath>
#include <string>

namespace resgen::checks {

namespace {

struct NeedleSpec {
    const char* name;
    int axis;
    bool origin;
    double windowR, outerR; // of the hub that covers this needle's pivot
};

void CheckNeedle(Report& report, const NeedleSpec& n)
{
    const std::string name = n.name;
    const Image& img = report.Get(name);
    auto fail = [&](const std::string& what) { report.Fail(name + ": " + what); };
    for (int y = 0; y < img.height; ++y)
        if (img.At(0, y).a || img.At(img.width - 1, y).a) {
            fail("paint touches the side edge at row " + std::to_string(y));
            break;
        }
    const Box b = InkBox(img, 1);
    if (b.top > 10) fail("needle stops " + std::to_string(b.top) + " px short of the top");

    // The lines must run on under the hub's ring, or a gap would show between needle and hub,
    // and must keep out of its window, where only the picture and the crosshair belong.
    const double px = n.axis + 0.5, py = geo::kPinPivotY + 0.5;
    if (b.bottom + 1 < py - n.outerR + 1.5) fail("needle stops short of the hub's ring");
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.At(x, y).a && std::hypot(x + 0.5 - px, y + 0.5 - py) < n.windowR) {
                fail("paints inside the hub's window at (" + std::to_string(x) + "," + std::to_string(y) + ")");
                y = img.height;
                break;
            }

    // The clear line: the axis column is untouched from tip to hub, with a solid coloured line on
    // either side and a dark halo beyond, so it shows on light and dark pictures alike.
    for (int y = 0; y < img.height; ++y)
        if (img.At(n.axis, y).a != 0) {
            fail("the line through the needle is not clear at row " + std::to_string(y));
            break;
        }
    const int lastRow = static_cast<int>(py - n.outerR);
    for (int y = 12; y <= lastRow; ++y) {
        for (const int side : {-1, 1}) {
            const Pixel& line = img.At(n.axis + side, y);
            const Pixel& halo = img.At(n.axis + 2 * side, y);
            auto hue = [&](const Pixel& p) { return n.origin ? p.b > 2 * p.r : p.r > 2 * p.b; };
            // Where the grip crosses, the halo gives way to the grip's own colour.
            if (line.a != 255 || !hue(line) || halo.a < 120 || (Luminance(halo) > 60 && !hue(halo))) {
                fail("no coloured line with a dark halo beside the clear line at row " + std::to_string(y));
                y = lastRow + 1;
                break;
            }
        }
    }

    // Rotation keeps the needle on the dial only if its axis is exactly the pivot column.
    for (int y = 0; y < img.height; ++y) {
        double sum = 0, weighted = 0;
        for (int x = 0; x < img.width; ++x) {
            sum += img.At(x, y).a;
            weighted += img.At(x, y).a * (x + 0.5);
        }
        if (sum > 0 && std::abs(weighted / sum - px) > 0.05) {
            fail("row " + std::to_string(y) + " is not centred on the axis");
            break;
        }
    }
    double red = 0, blue = 0;
    for (const Pixel& p : img.px)
        if (p.a == 255) {
            red += p.r;
            blue += p.b;
        }
    if (n.origin ? blue <= red * 1.5 : red <= blue * 1.5)
        fail(std::string("not clearly ") + (n.origin ? "blue" : "red"));
}

} // namespace

void CheckNeedles(Report& report)
{
    const double bigW = geo::kHubWindowR, bigO = geo::kHubOuterR;
    const double smallW = geo::kSmallHubWindowR, smallO = geo::kSmallHubOuterR;
    for (const NeedleSpec& n : {NeedleSpec{"landscape_pin.png", geo::kLandPinAxis, false, bigW, bigO},
                                NeedleSpec{"landscape_originPin.png", geo::kLandPinAxis, true, bigW, bigO},
                                NeedleSpec{"portrait_pin.png", geo::kPortPinAxis, false, smallW, smallO},
                                NeedleSpec{"portrait_originPin.png", geo::kPortPinAxis, true, smallW, smallO}})
        CheckNeedle(report, n);
}

void CheckHubs(Report& report)
{
    struct H {
        const char* name;
        int cx, cy;
        double windowR, outerR;
    };
    for (const H& h :
         {H{"pin_up_ball.png", geo::kHubCx, geo::kHubCy, geo::kHubWindowR, geo::kHubOuterR},
          H{"pin_up_small_ball.png", geo::kSmallHubC, geo::kSmallHubC, geo::kSmallHubWindowR, geo::kSmallHubOuterR}}) {
        const std::string name = h.name;
        const Image& img = report.Get(name);
        auto fail = [&](const std::string& what) { report.Fail(name + ": " + what); };
        const double pcx = h.cx + 0.5, pcy = h.cy + 0.5;
        double n = 0, sx = 0, sy = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x)
                if (img.At(x, y).a >= 250) {
                    n += 1;
                    sx += x + 0.5;
                    sy += y + 0.5;
                }
        if (n == 0 || std::hypot(sx / n - pcx, sy / n - pcy) > 0.35) fail("ring is not centred on the pivot");

        // The window: clear round the pivot and between the crosshair's arms.
        int clear = 0, inWindow = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                const double dx = x + 0.5 - pcx, dy = y + 0.5 - pcy, r = std::hypot(dx, dy);
                if (r < geo::kCrosshairGapR - 0.5 && img.At(x, y).a != 0) {
                    fail("the aimed point under the pivot is covered");
                    y = img.height;
                    break;
                }
                if (r >= h.windowR - 1 || std::abs(dx) < 2 || std::abs(dy) < 2) continue;
                ++inWindow;
                if (img.At(x, y).a == 0) ++clear;
            }
        if (inWindow == 0 || clear < inWindow) fail("the window round the pivot is not see-through");

        // The crosshair: a bright arm on the pivot's row and column, each side.
        for (const auto& [ux, uy] : {std::pair{1, 0}, std::pair{-1, 0}, std::pair{0, 1}, std::pair{0, -1}}) {
            bool bright = false;
            for (int r = static_cast<int>(geo::kCrosshairGapR) + 1; r < h.windowR - 1; ++r) {
                const Pixel& p = img.At(h.cx + ux * r, h.cy + uy * r);
                if (p.a > 200 && Luminance(p) > 200) bright = true;
            }
            if (!bright) fail("no crosshair arm towards (" + std::to_string(ux) + "," + std::to_string(uy) + ")");
        }

        // The ring: solid, with dark and light on every radius.
        for (int step = 0; step < 16; ++step) {
            const double a = step * std::acos(-1.0) / 8;
            bool dark = false, light = false, solid = true;
            for (double r = h.windowR; r <= h.outerR; r += 0.25) {
                const Pixel& p = img.At(static_cast<int>(std::floor(pcx + r * std::cos(a))),
                                        static_cast<int>(std::floor(pcy + r * std::sin(a))));
                if (r >= h.windowR + 1 && r <= h.outerR - 1) solid = solid && p.a >= 250;
                dark = dark || (p.a >= 200 && Luminance(p) < 60);
                light = light || (p.a >= 200 && Luminance(p) > 110);
            }
            if (!solid || !dark || !light) {
                fail("the ring is not solid light and dark at " + std::to_string(step * 45 / 2) + " degrees");
                break;
            }
        }
    }
}

} // namespace resgen::checks
