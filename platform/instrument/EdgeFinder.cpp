// The edge finder: the line segment detector proposes, the full-resolution picture decides.
#include "instrument/EdgeFinder.h"
#include "instrument/LineFit.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace instrument {

namespace {

// The detector sees the part around the point reduced to at most this many pixels a side:
// enough to find edges, and fast on any picture; precision comes from the fit.
constexpr int kDetectSide = 320;
// Shorter segments (in reduced pixels) are texture, not edges.
constexpr double kMinSegment = 8.0;
// Two edges meeting at a corner turn by at least this many degrees.
constexpr double kMinTurnDeg = 5.0;
// The detector keeps a segment going while its pixels turn by less than this.
constexpr double kSegmentTurnDeg = 10.0;
// How far across the line the second, fine fit looks for the edge, in pixels.
constexpr double kFineHalfWidth = 4.0;
// An arm fitted over fewer pixels than this, or whose angle is known no better than this many
// degrees, cannot fix the corner's angle.
constexpr double kMinArm = 10.0;
constexpr double kMaxUncertaintyDeg = 2.0;
// How many of the nearest candidates are fitted.
constexpr int kTries = 8;
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
    double Length() const { return instrument::Length(b - a); }
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
        segments.push_back(
            {{(v[0] + 0.5) * sx - 0.5, (v[1] + 0.5) * sy - 0.5}, {(v[2] + 0.5) * sx - 0.5, (v[3] + 0.5) * sy - 0.5}});
    }
    // The longest first; a picture full of texture keeps only its strongest few hundred.
    std::sort(segments.begin(), segments.end(),
              [](const Segment& l, const Segment& r) { return l.Length() > r.Length(); });
    if (segments.size() > 300) {
        segments.resize(300);
    }
    return segments;
}

using fit::Line;

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

struct Fitted {
    Why why = Why::Found;
    double bend = 0;
    Corner corner; // part pixels
};

// Fits both edges of a corner candidate, twice: first wide enough for the detector's reduced
// view, then close about the first fit, each time meeting again where the fitted lines cross.
// Each arm must run straight over its whole fitted stretch and be long and clear enough.
Fitted FitCorner(const Part& part, Candidate c, double coarseHalf)
{
    Fitted out;
    PointD vertex = c.vertex;
    PointD arm1 = c.arm1, arm2 = c.arm2;
    fit::Fit f[2];
    // Which side of each edge the corner's inside lies on, and whether it is lighter there.
    const auto side = [](const fit::Fit& a, PointD other) {
        const PointD n{-a.line.direction.y, a.line.direction.x};
        return Dot(n, other) > 0 ? 1 : -1;
    };
    int lighterInside = 0;
    for (double half : {coarseHalf, kFineHalfWidth}) {
        const double sine = std::abs(Cross(arm1, arm2));
        // Near the vertex the other edge lies within the reading; start where it no longer does.
        const double skip = std::min((half + 4.0) / std::max(sine, 0.05) + 2.0, 0.5 * std::min(c.len1, c.len2));
        // Close about the first fit, both arms follow the same side of a thick line: the one
        // whose inside the longer arm saw lighter or darker.
        const auto want = [&](PointD arm, PointD other) {
            const PointD n{-arm.y, arm.x};
            return lighterInside * (Dot(n, other) > 0 ? 1 : -1);
        };
        f[0] = fit::FitAcross(part.gray, vertex, arm1, skip, c.len1 - 2, half, want(arm1, arm2));
        f[1] = fit::FitAcross(part.gray, vertex, arm2, skip, c.len2 - 2, half, want(arm2, arm1));
        for (const fit::Fit& a : f) {
            if (a.fault == fit::Fault::Short || a.fault == fit::Fault::Faint) {
                out.why = a.fault == fit::Fault::Short ? Why::Short : Why::Faint;
                return out;
            }
        }
        if (!Meet(f[0].line, f[1].line, vertex)) {
            out.why = Why::Nothing;
            return out;
        }
        const int longer = f[0].points >= f[1].points ? 0 : 1;
        lighterInside = f[longer].polarity * side(f[longer], longer == 0 ? f[1].line.direction : f[0].line.direction);
        arm1 = f[0].line.direction;
        arm2 = f[1].line.direction;
    }
    if (Length(vertex - c.vertex) > coarseHalf + 2 ||
        std::abs(Cross(arm1, arm2)) < std::sin(kMinTurnDeg * kPi / 180.0)) {
        out.why = Why::Nothing;
        return out;
    }
    // Both arms bound one region, lighter or darker than what lies outside the corner: an arm
    // that could only be fitted to another object's edge makes no corner.
    if (f[0].polarity * side(f[0], arm2) != f[1].polarity * side(f[1], arm1)) {
        out.why = Why::Nothing;
        return out;
    }
    for (const fit::Fit& a : f) {
        if (a.fault == fit::Fault::Bends) {
            out.why = Why::Bends;
            out.bend = std::max(out.bend, a.bend);
        }
    }
    if (out.why == Why::Bends) {
        return out;
    }
    Corner& k = out.corner;
    k.vertex = vertex;
    k.arm1 = arm1;
    k.arm2 = arm2;
    k.uncertainty = std::hypot(f[0].u95, f[1].u95);
    PointD* ends[2][2] = {{&k.from1, &k.to1}, {&k.from2, &k.to2}};
    for (int i = 0; i < 2; i++) {
        const Line& l = f[i].line;
        // The arm's direction points away from the vertex: the nearer end first.
        const double near = std::min(f[i].t0, f[i].t1), far = std::max(f[i].t0, f[i].t1);
        *ends[i][0] = part.ToPicture(l.point + near * l.direction);
        *ends[i][1] = part.ToPicture(l.point + far * l.direction);
        if (far - near < kMinArm) {
            out.why = Why::Short;
        }
    }
    if (k.uncertainty > kMaxUncertaintyDeg) {
        out.why = Why::Short;
    }
    return out;
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

std::optional<Corner> FindCorner(const PicturePart& cut, Search search) { return LookForCorner(cut, search).corner; }

CornerLook LookForCorner(const PicturePart& cut, Search search)
{
    CornerLook look;
    if (cut.Empty()) {
        return look;
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
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& l, const Candidate& r) { return l.score < r.score; });
    const double coarseHalf = 2.0 * f + 4.0;
    const double within = search.within > 0 ? search.within : search.radius;
    // The corner under the point, or none: of the corners fitted, the one whose meeting point
    // lies nearest the point, if within reach; one fitted farther away is only told of, and what
    // spoiled the nearest candidate within reach is told rather than a farther corner read.
    bool faulted = false;
    double nearest = -1, faultAt = 0;
    Look fault;
    for (size_t i = 0; i < candidates.size() && i < kTries; i++) {
        // Beyond reach only the nearest corner that fits is wanted, to say how far it is.
        if (candidates[i].score > within + coarseHalf + 2 && (look.corner || nearest >= 0)) {
            break;
        }
        const Fitted fitted = FitCorner(part, candidates[i], coarseHalf);
        const double away = Length(fitted.corner.vertex - near);
        if (fitted.why == Why::Found) {
            if (away <= within && (!look.corner || away < nearest)) {
                look.why = Why::Found;
                look.corner = fitted.corner;
                look.corner->vertex = part.ToPicture(fitted.corner.vertex);
            }
            nearest = nearest < 0 ? away : std::min(nearest, away);
        } else if (candidates[i].score <= within && !faulted && fitted.why != Why::Nothing) {
            faulted = true;
            faultAt = candidates[i].score;
            fault.why = fitted.why;
            fault.bend = fitted.bend;
        }
    }
    // A corner read farther from the point than one that could not be read is another corner.
    if (look.corner && (!faulted || Length(part.ToPart(look.corner->vertex) - near) <= faultAt + coarseHalf)) {
        look.why = Why::Found;
        return look;
    }
    look.corner.reset();
    look.why = Why::Nothing;
    if (faulted) {
        look.why = fault.why;
        look.bend = fault.bend;
    } else if (nearest >= 0) {
        look.why = Why::Away;
        look.away = nearest;
    }
    return look;
}

std::optional<Edge> FindEdgeThrough(const PicturePart& cut, Search search, PointD through, double tolerance)
{
    return LookForEdgeThrough(cut, search, through, tolerance).edge;
}

EdgeLook LookForEdgeThrough(const PicturePart& cut, Search search, PointD through, double tolerance)
{
    EdgeLook look;
    if (cut.Empty()) {
        return look;
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
        fit::Fit fitted;
        for (double half : {coarseHalf, kFineHalfWidth}) {
            // The ends are left out: there the edge may turn into another one.
            const double margin = std::min(3.0 * half + 2.0, 0.25 * (t1 - t0));
            fitted = fit::FitAcross(part.gray, line.point, line.direction, t0 + margin, t1 - margin, half);
            if (fitted.fault == fit::Fault::Faint || fitted.fault == fit::Fault::Short) {
                break;
            }
            // Keep measuring along the same stretch, now on the fitted line.
            const double shift = Dot(line.point - fitted.line.point, fitted.line.direction);
            t0 += shift;
            t1 += shift;
            line = fitted.line;
        }
        if (fitted.fault == fit::Fault::Faint || fitted.fault == fit::Fault::Short ||
            std::abs(Cross(hub - line.point, line.direction)) > tolerance) {
            continue;
        }
        // The nearest edge through the hub is the one meant: if it bends, or is too short or
        // unclear to fix its angle, that is told, not a farther edge read.
        if (fitted.fault == fit::Fault::Bends) {
            look.why = Why::Bends;
            look.bend = fitted.bend;
            return look;
        }
        if (std::abs(fitted.t1 - fitted.t0) < kMinArm || fitted.u95 > kMaxUncertaintyDeg) {
            look.why = Why::Short;
            return look;
        }
        look.why = Why::Found;
        look.edge = Edge{part.ToPicture(line.point), line.direction, fitted.u95,
                         part.ToPicture(line.point + fitted.t0 * line.direction),
                         part.ToPicture(line.point + fitted.t1 * line.direction)};
        return look;
    }
    return look;
}

} // namespace instrument
