// Checks a folder of artwork against what the app relies on: sizes, pivots, clear edges, spacing.
// Also compares two folders with a small tolerance, to tell whether Res/ is out of date.
#include "Checks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

namespace resgen {

using checks::Box;
using checks::InkBox;
using checks::Luminance;

namespace checks {

Box InkBox(const Image& img, int minAlpha)
{
    Box b;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.At(x, y).a >= minAlpha) b.Add(x, y);
    return b;
}

double Luminance(const Pixel& p) { return 0.2126 * p.r + 0.7152 * p.g + 0.0722 * p.b; }

double ContrastRatio(const Pixel& a, const Pixel& b)
{
    auto linear = [](int c) {
        const double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    auto rel = [&](const Pixel& p) { return 0.2126 * linear(p.r) + 0.7152 * linear(p.g) + 0.0722 * linear(p.b); };
    const double la = rel(a), lb = rel(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace checks

namespace {

// Expected sizes, written out here rather than taken from the drawing code so a drawing slip shows.
const std::map<std::string, std::pair<int, int>>& ExpectedSizes()
{
    static const std::map<std::string, std::pair<int, int>> sizes = [] {
        std::map<std::string, std::pair<int, int>> s{
            {"velt.png", {708, 376}},
            {"velt3.png", {800, 480}},
            {"landscape_pin.png", {31, 646}},
            {"landscape_originPin.png", {31, 646}},
            {"portrait_pin.png", {21, 646}},
            {"portrait_originPin.png", {21, 646}},
            {"pin_up_ball.png", {42, 40}},
            {"pin_up_small_ball.png", {26, 26}},
            {"side_numberframe.png", {250, 60}},
            {"up_numberframe.png", {250, 60}},
            {"hold_off.png", {64, 66}},
            {"hold_on.png", {64, 66}},
            {"info_on.png", {50, 50}},
            {"info_off.png", {50, 50}},
            {"blank.png", {64, 66}},
            {"info_up.jpg", {480, 65}},
            {"info_back_1.png", {83, 48}},
            {"info_back_2.png", {83, 48}},
            {"info_contents.jpg", {480, 1020}},
        };
        for (int i = 0; i <= 11; ++i) {
            s["bigNum" + std::to_string(i) + ".png"] = {24, 32};
            s["smallNum" + std::to_string(i) + ".png"] = {14, 16};
        }
        return s;
    }();
    return sizes;
}

class Checker : public checks::Report {
public:
    explicit Checker(const std::filesystem::path& dir) : m_dir(dir) {}

    int Run()
    {
        if (AllAssets().size() != 43) Fail("resgen lists " + std::to_string(AllAssets().size()) + " files, not 43");
        for (const auto& [name, size] : ExpectedSizes()) {
            const Image* img = Load(name);
            if (img && (img->width != size.first || img->height != size.second))
                Fail(name + " is " + Dims(*img) + ", expected " + std::to_string(size.first) + "x" +
                     std::to_string(size.second));
        }
        if (m_problems > 0) return m_problems; // the finer checks assume the sizes are right
        checks::CheckNeedles(*this);
        checks::CheckHubs(*this);
        CheckDials();
        checks::CheckReadout(*this);
        CheckButtons();
        CheckHelpPage();
        return m_problems;
    }

private:
    void Fail(const std::string& msg) override
    {
        std::cerr << "  " << msg << "\n";
        ++m_problems;
    }

    static std::string Dims(const Image& i) { return std::to_string(i.width) + "x" + std::to_string(i.height); }

    const Image* Load(const std::string& name)
    {
        if (auto it = m_images.find(name); it != m_images.end()) return &it->second;
        try {
            return &m_images.emplace(name, LoadImage(m_dir / name)).first->second;
        } catch (const std::exception& e) {
            Fail(e.what());
            return nullptr;
        }
    }
    const Image& Get(const std::string& name) override { return m_images.at(name); }

    // A bright, solid pixel near (x, y): the scale is drawn there.
    bool ScaleAt(const Image& img, double x, double y)
    {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int px = static_cast<int>(std::floor(x)) + dx, py = static_cast<int>(std::floor(y)) + dy;
                if (px < 0 || py < 0 || px >= img.width || py >= img.height) continue;
                const Pixel& p = img.At(px, py);
                if (p.a > 200 && Luminance(p) > 200) return true;
            }
        return false;
    }

    // Amber paint along dial angle `deg` between radii r0 and r1, within a number's half-width.
    static bool SecondScaleAt(const Image& img, Pt c, double deg, double r0, double r1, bool portrait)
    {
        const double a = deg * std::acos(-1.0) / 180;
        const double ux = portrait ? -std::sin(a) : -std::cos(a), uy = portrait ? std::cos(a) : -std::sin(a);
        for (double r = r0; r <= r1; r += 0.5)
            for (double t = -4; t <= 4; t += 1) {
                const int x = static_cast<int>(std::floor(c.x + r * ux - t * uy));
                const int y = static_cast<int>(std::floor(c.y + r * uy + t * ux));
                if (x < 0 || y < 0 || x >= img.width || y >= img.height) continue;
                const Pixel& q = img.At(x, y);
                if (q.a > 200 && q.r > 200 && q.g > 150 && q.r - q.b > 60) return true;
            }
        return false;
    }

    // The dial is blended over every camera frame; partly clear pixels each cost a full blend,
    // so more than a fifth of them would make the frame too slow.
    static constexpr double kMaxPartlyClear = 0.20;

    // A solid pixel of the wanted needle colour within 1.5 px of radius r from c, along `deg`.
    static bool EdgeColourAt(const Image& img, Pt c, double r, double deg, bool portrait, bool origin)
    {
        const double a = deg * std::acos(-1.0) / 180;
        const double ux = portrait ? -std::sin(a) : -std::cos(a), uy = portrait ? std::cos(a) : -std::sin(a);
        for (double rr = r - 1.5; rr <= r + 1.5; rr += 0.25) {
            const int x = static_cast<int>(std::floor(c.x + rr * ux)), y = static_cast<int>(std::floor(c.y + rr * uy));
            if (x < 0 || y < 0 || x >= img.width || y >= img.height) continue;
            const Pixel& p = img.At(x, y);
            if (p.a < 200) continue;
            if (origin ? (p.b > 180 && p.b > 2 * p.r) : (p.r > 180 && p.r > 2 * p.b)) return true;
        }
        return false;
    }

    // Share of pixels with any paint in the ring r0..r1 about c: the picture must show through the zones.
    static double PaintedShare(const Image& img, Pt c, double r0, double r1)
    {
        std::size_t n = 0, painted = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                const double r = std::hypot(x + 0.5 - c.x, y + 0.5 - c.y);
                if (r < r0 || r > r1) continue;
                ++n;
                if (img.At(x, y).a > 0) ++painted;
            }
        return n ? static_cast<double>(painted) / n : 1.0;
    }

    void CheckZones(const std::string& name, Pt touch, double measureR, double originR0, bool portrait,
                    std::initializer_list<double> angles)
    {
        const Image& img = Get(name);
        for (const double d : angles) {
            if (!EdgeColourAt(img, touch, measureR, d, portrait, false))
                Fail(name + ": no red edge of the measuring zone at " + std::to_string(static_cast<int>(d)) +
                     " degrees");
            if (!EdgeColourAt(img, touch, originR0, d, portrait, true))
                Fail(name + ": no blue edge of the origin zone at " + std::to_string(static_cast<int>(d)) + " degrees");
        }
        // Only the base line may cross the zones' insides; a tint would fill them.
        if (PaintedShare(img, touch, 30, measureR - 10) > 0.10) Fail(name + ": the measuring zone is painted over");
        if (PaintedShare(img, touch, originR0 + 10, originR0 + 50) > 0.10)
            Fail(name + ": the origin zone is painted over");
    }

    void CheckDials()
    {
        for (const char* name : {"velt.png", "velt3.png"}) {
            const Image& img = Get(name);
            double alpha = 0;
            std::size_t partly = 0;
            for (const Pixel& p : img.px) {
                alpha += p.a;
                if (p.a != 0 && p.a != 255) ++partly;
            }
            if (alpha / img.px.size() > 0.25 * 255) Fail(std::string(name) + ": covers too much of the picture");
            const double share = static_cast<double>(partly) / img.px.size();
            std::ostringstream line;
            line << name << ": " << partly << " of " << img.px.size() << " pixels partly clear ("
                 << std::round(share * 1000) / 10 << "%)";
            std::cout << "  " << line.str() << "\n";
            if (share > kMaxPartlyClear)
                Fail(line.str() + ", more than " + std::to_string(int(kMaxPartlyClear * 100)) + "%");
        }
        // Straight up the zone edges round the touch point lie 11 px from circles round the pivot.
        CheckZones("velt.png", geo::kLandTouch, geo::kLandMeasureR, geo::kLandOriginR0, false, {10, 60, 90, 120, 170});
        CheckZones("velt3.png", geo::kPortTouch, geo::kPortMeasureR, geo::kPortOriginR0, true,
                   {0, 60, 90, 180, 270, 300});
        // Ticks must sit on circles round the pivot; 45 and 135 are minor ticks with nothing else near.
        const double pi = std::acos(-1.0);
        const Image& land = Get("velt.png");
        const Pt c = geo::kLandCentre;
        for (const double d : {5.0, 45.0, 90.0, 135.0, 175.0}) {
            const double a = d * pi / 180, r = 345;
            if (!ScaleAt(land, c.x - r * std::cos(a), c.y - r * std::sin(a)))
                Fail("velt.png: no scale tick at " + std::to_string(static_cast<int>(d)) + " degrees");
        }
        if (ScaleAt(land, c.x, c.y - 362)) Fail("velt.png: scale runs past its radius");
        const Image& port = Get("velt3.png");
        const Pt p = geo::kPortCentre;
        for (const double d : {0.0, 45.0, 135.0, 180.0, 225.0, 315.0}) {
            const double a = d * pi / 180, r = 231;
            if (!ScaleAt(port, p.x - r * std::sin(a), p.y + r * std::cos(a)))
                Fail("velt3.png: no scale tick at " + std::to_string(static_cast<int>(d)) + " degrees");
        }
        // The second scale, for the phone turned over: amber numbers inside the white ones at every
        // ten degrees.
        for (int d = 10; d <= 170; d += 10)
            if (!SecondScaleAt(land, c, d, 296, 318, false))
                Fail("velt.png: no second-scale number at " + std::to_string(d) + " degrees");
        for (int d = 0; d < 360; d += 10)
            if (!SecondScaleAt(port, p, d, 188, 207, true))
                Fail("velt3.png: no second-scale number at " + std::to_string(d) + " degrees");
    }

    double Difference(const Image& a, const Image& b)
    {
        double d = 0;
        for (std::size_t i = 0; i < a.px.size(); ++i)
            d += std::abs(a.px[i].r - b.px[i].r) + std::abs(a.px[i].g - b.px[i].g) + std::abs(a.px[i].b - b.px[i].b) +
                 std::abs(a.px[i].a - b.px[i].a);
        return d / (4.0 * a.px.size());
    }

    void CheckButtons()
    {
        for (const Pixel& p : Get("blank.png").px)
            if (p.a != 0) {
                Fail("blank.png: not fully transparent");
                break;
            }
        const std::pair<const char*, const char*> pairs[] = {
            {"hold_off.png", "hold_on.png"}, {"info_on.png", "info_off.png"}, {"info_back_1.png", "info_back_2.png"}};
        for (const auto& [a, b] : pairs)
            if (Difference(Get(a), Get(b)) < 25) Fail(std::string(a) + " and " + b + " are too alike to tell apart");
    }

    void CheckHelpPage()
    {
        // The back button lies on the title strip there: only the vertical shading may vary.
        const Image& title = Get("info_up.jpg");
        for (int y = 8; y <= 56; ++y) {
            const Pixel& first = title.At(360, y);
            for (int x = 360; x <= 443; ++x)
                if (std::abs(Luminance(title.At(x, y)) - Luminance(first)) > 6) {
                    Fail("info_up.jpg: something is drawn where the back button lies");
                    y = 57;
                    break;
                }
        }
        const Image& help = Get("info_contents.jpg");
        std::size_t dark = 0;
        for (const Pixel& p : help.px)
            if (Luminance(p) < 90) ++dark;
        if (Luminance(help.At(2, 2)) < 245 || Luminance(help.At(477, 1017)) < 245)
            Fail("info_contents.jpg: not on white");
        if (dark < help.px.size() / 100) Fail("info_contents.jpg: hardly any text");
    }

    std::filesystem::path m_dir;
    std::map<std::string, Image> m_images;
    int m_problems = 0;
};

} // namespace

int CheckArtwork(const std::filesystem::path& dir) { return Checker(dir).Run(); }

int CompareArtwork(const std::filesystem::path& a, const std::filesystem::path& b)
{
    int problems = 0;
    for (const auto& asset : AllAssets()) {
        try {
            const Image x = LoadImage(a / asset.name), y = LoadImage(b / asset.name);
            if (x.width != y.width || x.height != y.height) {
                std::cerr << "  " << asset.name << ": sizes differ\n";
                ++problems;
                continue;
            }
            // Premultiplied, so colour under near-zero alpha does not count.
            std::size_t differing = 0;
            for (std::size_t i = 0; i < x.px.size(); ++i) {
                const Pixel &p = x.px[i], &q = y.px[i];
                auto pm = [](int c, int al) { return c * al / 255; };
                const int d = std::max({std::abs(pm(p.r, p.a) - pm(q.r, q.a)), std::abs(pm(p.g, p.a) - pm(q.g, q.a)),
                                        std::abs(pm(p.b, p.a) - pm(q.b, q.a)), std::abs(p.a - q.a)});
                if (d > 40) ++differing;
            }
            if (differing > std::max<std::size_t>(2, x.px.size() / 200)) {
                std::cerr << "  " << asset.name << ": " << differing << " pixels differ\n";
                ++problems;
            }
        } catch (const std::exception& e) {
            std::cerr << "  " << e.what() << "\n";
            ++problems;
        }
    }
    return problems;
}

} // namespace resgen
