// The edge finder: the line segment detector proposes, the full-resolution picture decides.
#include "edges/EdgeFinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace edges {

namespace {

// The detector sees the part around the point reduced to at most this many pixels a side:
// enough to find edges, and fast on any picture; precision comes from the fit.
constexpr int kDetectSide = 320;
// Shorter segments (in reduced pixels) are texture, not edges.
constexpr double kMinSegment = 8.0;
// Across an edge, grey levels must change by this much between pixels two apart.
constexpr double kMinContrast = 6.0;
// Two edges meeting at a corner turn by at least this many degrees.
constexpr double kMinTurnDeg = 5.0;
// The detector keeps a segment going while its pixels turn by less than this.
constexpr double kSegmentTurnDeg = 10.0;
// How far across the line the second, fine fit looks for the edge, in pixels.
constexpr double kFineHalfWidth = 4.0;
// At most this many places along an edge are read across it.
constexpr int kMaxReads = 600;
using device::Cross;
using device::Dot;
using device::kPi;
using device::Length;
PointD Unit(PointD a)
{
    const double l = Length(a);
    return l > 0 ? PointD{a.x / l, a.y / l} : PointD{1, 0};
}

} // namespace

// The part of the picture around the point, grey, at full resolution, in OpenCV's pixel
// coordinates (whole numbers at pixel centres) from its own top-left corner.
struct PicturePart::Data {
    cv::Mat gray; // CV_32F
    int x0 = 0;
    int y0 = 0;
    PointD ToPart(PointD picture) const { return {picture.x - 0.5 - x0, picture.y - 0.5 - y0}; }
    PointD ToPicture(PointD part) const { return {part.x + 0.5 + x0, part.y + 0.5 + y0}; }
};

PicturePart::PicturePart() = default;
PicturePart::PicturePart(std::unique_ptr<Data> data) : m_pData(std::move(data)) {}
PicturePart::~PicturePart() = default;
PicturePart::PicturePart(PicturePart&&) noexcept = default;
PicturePart& PicturePart::operator=(PicturePart&&) noexcept = default;

namespace {

using Part = PicturePart::Data;

bool Cut(const device::PixelView& picture, Search search, Part& part)
{
    if (!picture.pixels || picture.width < 16 || picture.height < 16 || !(search.radius > 0) ||
        !std::isfinite(search.near.x) || !std::isfinite(search.near.y)) {
        return false;
    }
    const double r = std::min(search.radius, 1e6);
    const int x0 = static_cast<int>(std::clamp(std::floor(search.near.x - r), 0.0, double(picture.width)));
    const int y0 = static_cast<int>(std::clamp(std::floor(search.near.y - r), 0.0, double(picture.height)));
    const int x1 = static_cast<int>(std::clamp(std::ceil(search.near.x + r), 0.0, double(picture.width)));
    const int y1 = static_cast<int>(std::clamp(std::ceil(search.near.y + r), 0.0, double(picture.height)));
    if (x1 - x0 < 16 || y1 - y0 < 16) {
        return false;
    }
    part.x0 = x0;
    part.y0 = y0;
    part.gray.create(y1 - y0, x1 - x0, CV_32F);
    for (int y = y0; y < y1; y++) {
        const std::uint32_t* in = picture.Row(y) + x0;
        float* out = part.gray.ptr<float>(y - y0);
        for (int x = 0; x < x1 - x0; x++) {
            const std::uint32_t w = in[x];
            out[x] = 0.299f * float((w >> 16) & 255) + 0.587f * float((w >> 8) & 255) + 0.114f * float(w & 255);
        }
    }
    return true;
}

struct Segment {
    PointD a, b; // part pixels
    double Length() const { return edges::Length(b - a); }
};

// The detector's segments, in part pixels, and how many part pixels one reduced pixel spans.
std::vector<Segment> DetectSegments(const Part& part, double& scale)
{
    const int w = part.gray.cols, h = part.gray.rows;
    const double f = std::max(1.0, std::ceil(double(std::max(w, h)) / kDetectSide));
    const int sw = std::max(8, static_cast<int>(std::lround(w / f)));
    const int sh = std::max(8, static_cast<int>(std::lround(h / f)));
    cv::Mat small, small8;
    cv::resize(part.gray, small, cv::Size(sw, sh), 0, 0, cv::INTER_AREA);
    small.convertTo(small8, CV_8U);
    std::vector<cv::Vec4f> found;
    // Edges that turn by little at a corner must not be taken for one: a tighter angle tolerance
    // than the detector's own 22.5 degrees.
    cv::createLineSegmentDetector(cv::LSD_REFINE_STD, 0.8, 0.6, 2.0, kSegmentTurnDeg)->detect(small8, found);
    const double sx = double(w) / sw, sy = double(h) / sh;
    scale = std::max(sx, sy);
    std::vector<Segment> segments;
    for (const cv::Vec4f& v : found) {
        if (std::hypot(v[2] - v[0], v[3] - v[1]) < kMinSegment) {
            continue;
        }
        // A reduced pixel's centre lies in the middle of the part pixels it stands for.
        segments.push_back({{(v[0] + 0.5) * sx - 0.5, (v[1] + 0.5) * sy - 0.5},
                            {(v[2] + 0.5) * sx - 0.5, (v[3] + 0.5) * sy - 0.5}});
    }
    // The longest first; a picture full of texture keeps only its strongest few hundred.
    std::sort(segments.begin(), segments.end(), [](const Segment& l, const Segment& r) { return l.Length() > r.Length(); });
    if (segments.size() > 300) {
        segments.resize(300);
    }
    return segments;
}

bool Sample(const cv::Mat& g, double x, double y, double& v)
{
    if (!(x >= 0 && y >= 0 && x <= g.cols - 1 && y <= g.rows - 1)) {
        return false;
    }
    const int ix = std::min(static_cast<int>(x), g.cols - 2), iy = std::min(static_cast<int>(y), g.rows - 2);
    const double fx = x - ix, fy = y - iy;
    const float* r0 = g.ptr<float>(iy);
    const float* r1 = g.ptr<float>(iy + 1);
    v = (r0[ix] * (1 - fx) + r0[ix + 1] * fx) * (1 - fy) + (r1[ix] * (1 - fx) + r1[ix + 1] * fx) * fy;
    return true;
}

struct Line {
    PointD point;     // part pixels
    PointD direction; // unit
};

// Total least squares: the line nearest the points, perpendicular distance squared.
Line FitLine(const std::vector<PointD>& pts)
{
    PointD m{0, 0};
    for (const PointD& p : pts) {
        m = m + p;
    }
    m = (1.0 / pts.size()) * m;
    double sxx = 0, sxy = 0, syy = 0;
    for (const PointD& p : pts) {
        const PointD d = p - m;
        sxx += d.x * d.x;
        sxy += d.x * d.y;
        syy += d.y * d.y;
    }
    const double a = 0.5 * std::atan2(2 * sxy, sxx - syy);
    return {m, {std::cos(a), std::sin(a)}};
}

// Reads across the line p + t d for t in [t0, t1], finds the edge in each reading to a fraction
// of a pixel (the peak of the grey-level slope, by a parabola through its three highest
// values), and fits a line to those points, leaving out the few that lie off it.
std::optional<Line> FitAcross(const cv::Mat& g, PointD p, PointD d, double t0, double t1, double half)
{
    const PointD n{-d.y, d.x};
    const int k = std::max(3, static_cast<int>(std::ceil(half)));
    const int reads = static_cast<int>(std::clamp(t1 - t0, 0.0, double(kMaxReads)));
    if (reads < 8) {
        return std::nullopt;
    }
    std::vector<double> profile(2 * k + 1), slope(2 * k + 1);
    std::vector<PointD> pts;
    std::vector<int> signs;
    for (int i = 0; i < reads; i++) {
        const double t = t0 + (t1 - t0) * (i + 0.5) / reads;
        const PointD c = p + t * d;
        // A reading that runs off the picture keeps the part on it: an object that fills the
        // frame has its edges a few pixels from the picture's border.
        if (!Sample(g, c.x, c.y, profile[k])) {
            continue;
        }
        int lo = k, hi = k;
        while (lo > 0 && Sample(g, c.x + (lo - 1 - k) * n.x, c.y + (lo - 1 - k) * n.y, profile[lo - 1])) {
            lo--;
        }
        while (hi < 2 * k && Sample(g, c.x + (hi + 1 - k) * n.x, c.y + (hi + 1 - k) * n.y, profile[hi + 1])) {
            hi++;
        }
        if (hi - lo < 6) {
            continue;
        }
        int best = -1;
        for (int j = lo + 1; j < hi; j++) {
            slope[j] = profile[j + 1] - profile[j - 1];
            if (j >= lo + 2 && j <= hi - 2 && (best < 0 || std::abs(slope[j]) > std::abs(slope[best]))) {
                best = j;
            }
        }
        const double a = std::abs(slope[best - 1]), b = std::abs(slope[best]), cc = std::abs(slope[best + 1]);
        if (b < kMinContrast) {
            continue;
        }
        const double denom = a - 2 * b + cc;
        const double delta = denom < 0 ? std::clamp(0.5 * (a - cc) / denom, -0.5, 0.5) : 0.0;
        pts.push_back(c + (best - k + delta) * n);
        signs.push_back(slope[best] > 0 ? 1 : -1);
    }
    // One edge goes from dark to light one way only; readings the other way saw something else.
    int balance = 0;
    for (int s : signs) {
        balance += s;
    }
    std::vector<PointD> kept;
    for (size_t i = 0; i < pts.size(); i++) {
        if ((signs[i] > 0) == (balance > 0)) {
            kept.push_back(pts[i]);
        }
    }
    if (kept.size() < 8 || kept.size() < static_cast<size_t>(reads) * 2 / 5) {
        return std::nullopt;
    }
    Line line = FitLine(kept);
    for (int round = 0; round < 2; round++) {
        const PointD normal{-line.direction.y, line.direction.x};
        std::vector<double> off;
        for (const PointD& q : kept) {
            off.push_back(std::abs(Dot(q - line.point, normal)));
        }
        std::vector<double> sorted = off;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        const double limit = std::max(0.25, 3.0 * 1.4826 * sorted[sorted.size() / 2]);
        std::vector<PointD> inliers;
        for (size_t i = 0; i < kept.size(); i++) {
            if (off[i] <= limit) {
                inliers.push_back(kept[i]);
            }
        }
        if (inliers.size() < 8) {
            return std::nullopt;
        }
        kept.swap(inliers);
        line = FitLine(kept);
    }
    if (Dot(line.direction, d) < 0) {
        line.direction = -1.0 * line.direction;
    }
    return line;
}

bool Meet(const Line& l1, const Line& l2, PointD& at)
{
    const double c = Cross(l1.direction, l2.direction);
    if (std::abs(c) < 1e-9) {
        return false;
    }
    const double t = Cross(l2.point - l1.point, l2.direction) / c;
    at = l1.point + t * l1.direction;
    return true;
}

double DistanceToSegment(PointD q, const Segment& s)
{
    const PointD d = s.b - s.a;
    const double l2 = Dot(d, d);
    const double t = l2 > 0 ? std::clamp(Dot(q - s.a, d) / l2, 0.0, 1.0) : 0.0;
    return Length(q - (s.a + t * d));
}

struct Candidate {
    PointD vertex;
    PointD arm1, arm2; // unit
    double len1 = 0, len2 = 0;
    double score = 0;
};

// Fits both edges of a corner candidate, twice: first wide enough for the detector's reduced
// view, then close about the first fit, each time meeting again where the fitted lines cross.
std::optional<Corner> FitCorner(const Part& part, Candidate c, double coarseHalf)
{
    PointD vertex = c.vertex;
    PointD arm1 = c.arm1, arm2 = c.arm2;
    for (double half : {coarseHalf, kFineHalfWidth}) {
        const double sine = std::abs(Cross(arm1, arm2));
        // Near the vertex the other edge lies within the reading; start where it no longer does.
        const double skip = std::min((half + 4.0) / std::max(sine, 0.05) + 2.0, 0.5 * std::min(c.len1, c.len2));
        const auto l1 = FitAcross(part.gray, vertex, arm1, skip, c.len1 - 2, half);
        const auto l2 = FitAcross(part.gray, vertex, arm2, skip, c.len2 - 2, half);
        if (!l1 || !l2 || !Meet(*l1, *l2, vertex)) {
            return std::nullopt;
        }
        arm1 = l1->direction;
        arm2 = l2->direction;
    }
    if (Length(vertex - c.vertex) > coarseHalf + 2 ||
        std::abs(Cross(arm1, arm2)) < std::sin(kMinTurnDeg * kPi / 180.0)) {
        return std::nullopt;
    }
    return Corner{part.ToPicture(vertex), arm1, arm2};
}

} // namespace

PicturePart CutPart(const device::PixelView& picture, Search search)
{
    auto data = std::make_unique<Part>();
    if (!Cut(picture, search, *data)) {
        return {};
    }
    return PicturePart(std::move(data));
}

std::optional<Corner> FindCorner(const device::PixelView& picture, Search search)
{
    return FindCorner(CutPart(picture, search), search);
}

std::optional<Edge> FindEdgeThrough(const device::PixelView& picture, Search search, PointD through, double tolerance)
{
    return FindEdgeThrough(CutPart(picture, search), search, through, tolerance);
}

std::optional<Corner> FindCorner(const PicturePart& cut, Search search)
{
    if (cut.Empty()) {
        return std::nullopt;
    }
    const Part& part = *cut.Get();
    double f = 1;
    const std::vector<Segment> segments = DetectSegments(part, f);
    const PointD near = part.ToPart(search.near);
    const double minSine = std::sin(kMinTurnDeg * kPi / 180.0);
    std::vector<Candidate> candidates;
    for (size_t i = 0; i < segments.size(); i++) {
        for (size_t j = i + 1; j < segments.size(); j++) {
            const Segment& s1 = segments[i];
            const Segment& s2 = segments[j];
            const Line l1{s1.a, Unit(s1.b - s1.a)}, l2{s2.a, Unit(s2.b - s2.a)};
            if (std::abs(Cross(l1.direction, l2.direction)) < minSine) {
                continue;
            }
            Candidate c;
            if (!Meet(l1, l2, c.vertex)) {
                continue;
            }
            // Each segment must start at the meeting point (give or take a gap the detector
            // leaves at a corner) and run away from it.
            bool arms = true;
            PointD* arm[2] = {&c.arm1, &c.arm2};
            double* len[2] = {&c.len1, &c.len2};
            const Segment* seg[2] = {&s1, &s2};
            for (int k = 0; k < 2 && arms; k++) {
                const double da = Length(seg[k]->a - c.vertex), db = Length(seg[k]->b - c.vertex);
                const PointD farEnd = da < db ? seg[k]->b : seg[k]->a;
                const double gap = std::min(da, db);
                arms = gap <= std::max(4.0 * f, 0.3 * seg[k]->Length()) && Length(farEnd - c.vertex) >= kMinSegment * f;
                *arm[k] = Unit(farEnd - c.vertex);
                *len[k] = Length(farEnd - c.vertex);
            }
            c.score = Length(c.vertex - near);
            if (arms && c.score <= search.radius) {
                candidates.push_back(c);
            }
        }
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& l, const Candidate& r) { return l.score < r.score; });
    const double coarseHalf = 2.0 * f + 4.0;
    for (size_t i = 0; i < candidates.size() && i < 6; i++) {
        if (const auto corner = FitCorner(part, candidates[i], coarseHalf)) {
            return corner;
        }
    }
    return std::nullopt;
}

std::optional<Edge> FindEdgeThrough(const PicturePart& cut, Search search, PointD through, double tolerance)
{
    if (cut.Empty()) {
        return std::nullopt;
    }
    const Part& part = *cut.Get();
    double f = 1;
    std::vector<Segment> segments = DetectSegments(part, f);
    const PointD near = part.ToPart(search.near);
    const PointD hub = part.ToPart(through);
    const double coarseHalf = 2.0 * f + 4.0;
    std::vector<std::pair<double, Segment>> candidates;
    for (const Segment& s : segments) {
        const PointD d = Unit(s.b - s.a);
        const double off = std::abs(Cross(hub - s.a, d));
        const double distance = DistanceToSegment(near, s);
        if (off <= tolerance + coarseHalf && distance <= search.radius) {
            candidates.push_back({distance, s});
        }
    }
    std::sort(candidates.begin(), candidates.end(), [](const auto& l, const auto& r) { return l.first < r.first; });
    for (size_t i = 0; i < candidates.size() && i < 6; i++) {
        const Segment& s = candidates[i].second;
        Line line{s.a, Unit(s.b - s.a)};
        double t0 = 0, t1 = s.Length();
        bool fitted = true;
        for (double half : {coarseHalf, kFineHalfWidth}) {
            // The ends are left out: there the edge may turn into another one.
            const double margin = std::min(3.0 * half + 2.0, 0.25 * (t1 - t0));
            const auto l = FitAcross(part.gray, line.point, line.direction, t0 + margin, t1 - margin, half);
            if (!l) {
                fitted = false;
                break;
            }
            // Keep measuring along the same stretch, now on the fitted line.
            const double shift = Dot(line.point - l->point, l->direction);
            t0 += shift;
            t1 += shift;
            line = *l;
        }
        if (fitted && std::abs(Cross(hub - line.point, line.direction)) <= tolerance) {
            return Edge{part.ToPicture(line.point), line.direction};
        }
    }
    return std::nullopt;
}

} // namespace edges
