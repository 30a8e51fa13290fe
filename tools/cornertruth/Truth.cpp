// The corner truth: sub-pixel edge points from the peak of the grey-level slope across each arm,
// a Tukey-weighted line through them, and the angle's spread over block-bootstrap resamples.
#include "Truth.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace cornertruth {

namespace {

constexpr double kPi = std::numbers::pi;
// Neighbouring edge points share blur and compression blocks; resampling them in runs of this
// many keeps their likeness, which single points would hide (and the interval would shrink).
constexpr int kBlock = 8;
constexpr int kResamples = 500;

double Deg(double rad) { return rad * 180.0 / kPi; }

bool At(const Gray& g, double x, double y, double& out)
{
    // Continuous pixels to pixel centres.
    x -= 0.5;
    y -= 0.5;
    if (!(x >= 0 && y >= 0 && x <= g.width - 1 && y <= g.height - 1)) {
        return false;
    }
    const int ix = std::min(int(x), g.width - 2), iy = std::min(int(y), g.height - 2);
    const double fx = x - ix, fy = y - iy;
    const float* r0 = &g.v[std::size_t(iy) * g.width];
    const float* r1 = r0 + g.width;
    out = (r0[ix] * (1 - fx) + r0[ix + 1] * fx) * (1 - fy) + (r1[ix] * (1 - fx) + r1[ix + 1] * fx) * fy;
    return true;
}

struct Sample {
    double t; // along the stretch
    Point p; // the edge point
};

struct Line {
    Point point;
    Point dir;
};

// The weighted line nearest the points, perpendicular distances squared.
Line WeightedLine(const std::vector<Sample>& s, const std::vector<double>& w)
{
    double sw = 0, mx = 0, my = 0;
    for (size_t i = 0; i < s.size(); i++) {
        sw += w[i];
        mx += w[i] * s[i].p.x;
        my += w[i] * s[i].p.y;
    }
    mx /= sw;
    my /= sw;
    double xx = 0, xy = 0, yy = 0;
    for (size_t i = 0; i < s.size(); i++) {
        const double dx = s[i].p.x - mx, dy = s[i].p.y - my;
        xx += w[i] * dx * dx;
        xy += w[i] * dx * dy;
        yy += w[i] * dy * dy;
    }
    const double a = 0.5 * std::atan2(2 * xy, xx - yy);
    return {{mx, my}, {std::cos(a), std::sin(a)}};
}

double Off(const Line& l, Point p) { return (p.x - l.point.x) * -l.dir.y + (p.y - l.point.y) * l.dir.x; }

// Tukey's biweight, scale from the median absolute residual, ten rounds.
Line Robust(const std::vector<Sample>& s, double* rms = nullptr)
{
    // Three buffers for all ten rounds: the bootstrap fits thousands of lines.
    std::vector<double> w(s.size(), 1.0), r(s.size()), sorted(s.size());
    Line l = WeightedLine(s, w);
    for (int round = 0; round < 10; round++) {
        for (size_t i = 0; i < s.size(); i++) {
            r[i] = std::abs(Off(l, s[i].p));
        }
        sorted = r;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        const double c = 4.685 * std::max(0.02, 1.4826 * sorted[sorted.size() / 2]);
        for (size_t i = 0; i < s.size(); i++) {
            const double u = r[i] / c;
            w[i] = u < 1 ? (1 - u * u) * (1 - u * u) : 0.0;
        }
        l = WeightedLine(s, w);
    }
    if (rms) {
        double sum = 0, sw = 0;
        for (size_t i = 0; i < s.size(); i++) {
            const double o = Off(l, s[i].p);
            sum += w[i] * o * o;
            sw += w[i];
        }
        *rms = std::sqrt(sum / sw);
    }
    return l;
}

double Angle(Point a, Point b) { return Deg(std::acos(std::clamp(a.x * b.x + a.y * b.y, -1.0, 1.0))); }

} // namespace

Gray Gray::FromArgb(const std::uint32_t* pixels, int width, int height)
{
    Gray g;
    g.width = width;
    g.height = height;
    g.v.resize(std::size_t(width) * height);
    for (std::size_t i = 0; i < g.v.size(); i++) {
        const std::uint32_t p = pixels[i];
        g.v[i] = float(0.299 * ((p >> 16) & 255) + 0.587 * ((p >> 8) & 255) + 0.114 * (p & 255));
    }
    return g;
}

ArmFit FitArm(const Gray& g, Point from, Point to, double across)
{
    ArmFit fit;
    const double len = std::hypot(to.x - from.x, to.y - from.y);
    if (len < 6) {
        fit.why = "stretch shorter than 6 px";
        return fit;
    }
    const Point d{(to.x - from.x) / len, (to.y - from.y) / len};
    const Point n{-d.y, d.x};
    const int k = std::max(2, int(std::ceil(across))) + 1;
    // The slope's sign that most of the stretch shows: one edge, dark to light one way.
    std::vector<double> prof(2 * k + 1);
    std::vector<Sample> raw;
    std::vector<int> sign;
    std::vector<double> strength;
    for (double t = 0; t <= len; t += 1.0) {
        const Point c{from.x + t * d.x, from.y + t * d.y};
        bool inside = true;
        for (int j = 0; j <= 2 * k && inside; j++) {
            inside = At(g, c.x + (j - k) * n.x, c.y + (j - k) * n.y, prof[j]);
        }
        if (!inside) {
            continue;
        }
        int best = -1;
        double bestSlope = 0;
        for (int j = 2; j <= 2 * k - 2; j++) {
            const double s = 0.5 * (prof[j + 1] - prof[j - 1]);
            if (best < 0 || std::abs(s) > std::abs(bestSlope)) {
                best = j;
                bestSlope = s;
            }
        }
        const double a = std::abs(0.5 * (prof[best] - prof[best - 2]));
        const double b = std::abs(bestSlope);
        const double c2 = std::abs(0.5 * (prof[best + 2] - prof[best]));
        const double den = a - 2 * b + c2;
        const double delta = den < 0 ? std::clamp(0.5 * (a - c2) / den, -0.5, 0.5) : 0.0;
        const double o = best - k + delta;
        raw.push_back({t, {c.x + o * n.x, c.y + o * n.y}});
        sign.push_back(bestSlope > 0 ? 1 : -1);
        strength.push_back(b);
    }
    int balance = 0;
    for (int s : sign) {
        balance += s;
    }
    std::vector<double> sorted = strength;
    std::sort(sorted.begin(), sorted.end());
    const double floor = sorted.empty() ? 0 : 0.3 * sorted[sorted.size() / 2];
    std::vector<Sample> s;
    for (size_t i = 0; i < raw.size(); i++) {
        if ((sign[i] > 0) == (balance > 0) && strength[i] >= floor && strength[i] >= 2.0) {
            s.push_back(raw[i]);
        }
    }
    if (s.size() < 12) {
        fit.why = "fewer than 12 edge points";
        return fit;
    }
    const Line l = Robust(s, &fit.rms);
    fit.ok = true;
    fit.points = int(s.size());
    fit.point = l.point;
    fit.direction = l.dir.x * d.x + l.dir.y * d.y >= 0 ? l.dir : Point{-l.dir.x, -l.dir.y};
    // Near and far halves on their own.
    const std::vector<Sample> nearHalf(s.begin(), s.begin() + s.size() / 2), farHalf(s.begin() + s.size() / 2, s.end());
    fit.bend = Angle(Robust(nearHalf).dir, Robust(farHalf).dir);
    fit.bend = std::min(fit.bend, 180 - fit.bend);
    // Block bootstrap of the direction.
    std::mt19937 rng(12345);
    const int blocks = int(s.size()) / kBlock + 1;
    std::uniform_int_distribution<int> pick(0, std::max(0, int(s.size()) - kBlock));
    std::vector<double> angles;
    std::vector<Sample> b;
    b.reserve(std::size_t(blocks) * kBlock);
    for (int r = 0; r < kResamples; r++) {
        b.clear();
        for (int i = 0; i < blocks; i++) {
            const int at = pick(rng);
            for (int j = at; j < at + kBlock && j < int(s.size()); j++) {
                b.push_back(s[j]);
            }
        }
        const Line bl = Robust(b);
        const double a = Angle(bl.dir, l.dir);
        angles.push_back(std::min(a, 180 - a));
    }
    std::sort(angles.begin(), angles.end());
    const double boot = angles[std::size_t(0.95 * (angles.size() - 1))];
    // A bent edge has no one angle: half the halves' disagreement is part of the doubt.
    fit.halfWidth95 = std::hypot(boot, 0.5 * fit.bend);
    return fit;
}

CornerTruth Measure(const Gray& g, Point from1, Point to1, Point from2, Point to2, double across)
{
    CornerTruth c;
    c.arms[0] = FitArm(g, from1, to1, across);
    c.arms[1] = FitArm(g, from2, to2, across);
    for (const ArmFit& a : c.arms) {
        if (!a.ok) {
            c.why = a.why;
            return c;
        }
    }
    const Point d1 = c.arms[0].direction, d2 = c.arms[1].direction;
    const double cross = d1.x * d2.y - d1.y * d2.x;
    if (std::abs(cross) < 1e-6) {
        c.why = "the arms are parallel";
        return c;
    }
    const Point p1 = c.arms[0].point, p2 = c.arms[1].point;
    const double t = ((p2.x - p1.x) * d2.y - (p2.y - p1.y) * d2.x) / cross;
    c.vertex = {p1.x + t * d1.x, p1.y + t * d1.y};
    c.opening = Angle(d1, d2);
    c.halfWidth95 = std::hypot(c.arms[0].halfWidth95, c.arms[1].halfWidth95);
    c.ok = true;
    return c;
}

} // namespace cornertruth
