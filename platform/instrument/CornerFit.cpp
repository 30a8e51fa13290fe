// One corner proposal fitted on the full-resolution picture: both arms read across their edges
// from the corner outward, where they meet, and what spoils the corner if anything does.
#include "instrument/CornerFit.h"
#include "instrument/LineFit.h"

#include <algorithm>
#include <cmath>

namespace instrument::fit {

namespace {

// Two edges meeting at a corner turn by at least this many degrees.
constexpr double kMinTurnDeg = 5.0;
// How far an edge's blur reaches either side of it, in pixels.
constexpr double kBlur = 3.0;
// Across an edge, grey levels four pixels apart differ (the median along it) by at least this
// much, and this many of the grain's standard deviations.
constexpr double kLeastClarity = 8.0;
constexpr double kClarityGrains = 4.0;
// A corner whose angle is known this well (degrees, about 95 %) needs its edges to stand only
// this many of the grain's deviations out of it: a textured board, not a faint edge.
constexpr double kTightDeg = 0.5;
constexpr double kTightClarityGrains = 2.0;
// An edge past a corner's vertex is its arm's edge running on when it keeps to the arm's line
// within this many degrees and pixels.
constexpr double kRunsOnDeg = 3.0;
constexpr double kRunsOnPx = 1.0;
// Each arm is at least this share of how far the corner may lie from the point.
constexpr double kArmWithinShare = 0.5;
using device::Cross;
using device::Dot;
using device::kPi;
using device::Length;
using propose::Meet;

// Near the vertex the other edge lies within a reading `half` pixels across (and its blur a few
// pixels beyond): an arm is read from where it no longer does, as a corner's arms start there.
double Skip(PointD arm, PointD other, double half)
{
    const double sine = std::abs(Cross(arm, other)), cosine = std::abs(Dot(arm, other));
    return (kBlur + half * cosine) / std::max(sine, 0.05) + 1.0;
}

// The polarity an arm's edge must have for the corner's inside, towards `other`, to be lighter
// (`inside` +1) or darker (-1) than its outside.
int Want(PointD arm, PointD other, int inside)
{
    const PointD n{-arm.y, arm.x};
    return inside * (Dot(n, other) > 0 ? 1 : -1);
}

} // namespace

// The picture's grain (noise, fine texture): the median difference between neighbouring pixels,
// as a standard deviation. Edges are too few to move the median.
double Grain(const cv::Mat& gray)
{
    // Some forty thousand pairs, spread over the part, tell it as well as all of them.
    const int step = std::max(2, static_cast<int>(std::sqrt(double(gray.rows) * gray.cols / 40000.0)));
    std::vector<float> d;
    d.reserve(size_t(gray.rows / step + 1) * (gray.cols / step + 1));
    for (int y = 0; y < gray.rows; y += step) {
        const float* r = gray.ptr<float>(y);
        for (int x = 0; x + 1 < gray.cols; x += step) {
            d.push_back(std::abs(r[x + 1] - r[x]));
        }
    }
    if (d.empty()) {
        return 0;
    }
    std::nth_element(d.begin(), d.begin() + d.size() / 2, d.end());
    // The median of |a - b| for two normal samples is 0.954 of their own standard deviation.
    return d[d.size() / 2] / 0.954;
}

// Fits both edges of a corner candidate, twice: first wide enough for the detector's reduced
// view, then close about the first fit, each time meeting again where the fitted lines cross.
// Each arm must run straight over its whole fitted stretch and be long and clear enough.
// `inside` says whether the corner's inside is lighter (+1) or darker (-1) than its outside:
// across a thick line, both arms follow the same side of it.
Fitted FitCorner(const PicturePart::Data& part, const propose::Candidate& c, double coarseHalf, double reach,
                 double within, int inside)
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
    for (double half : {coarseHalf, kFineHalfWidth}) {
        const double skip = std::min(Skip(arm1, arm2, half), 0.5 * std::min(c.len1, c.len2));
        // Close about the first fit each arm reads on as far as its edge goes.
        const double len1 = half == coarseHalf ? c.len1 - 2 : std::max(c.len1 - 2, reach);
        const double len2 = half == coarseHalf ? c.len2 - 2 : std::max(c.len2 - 2, reach);
        f[0] = fit::FitAcross(part.gray, vertex, arm1, skip, len1, half, Want(arm1, arm2, inside), true, part.grain);
        f[1] = fit::FitAcross(part.gray, vertex, arm2, skip, len2, half, Want(arm2, arm1, inside), true, part.grain);
        for (const fit::Fit& a : f) {
            if (a.fault == fit::Fault::Missing) {
                out.why = Why::Nothing;
                return out;
            }
            if (a.fault == fit::Fault::Short || a.fault == fit::Fault::Faint) {
                out.why = a.fault == fit::Fault::Short ? Why::Short : Why::Faint;
                return out;
            }
        }
        if (!Meet(f[0].line, f[1].line, vertex)) {
            out.why = Why::Nothing;
            return out;
        }
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
    Corner& k = out.corner;
    k.vertex = vertex;
    k.arm1 = arm1;
    k.arm2 = arm2;
    k.uncertainty = std::hypot(f[0].u95, f[1].u95);
    k.clarity = std::min(f[0].contrast, f[1].contrast);
    // An edge must stand out of the picture's grain along its length, not at a few points only;
    // a little less where both arms' lines are fitted tight, as grain never lines up.
    const double grains = k.uncertainty <= kTightDeg ? kTightClarityGrains : kClarityGrains;
    if (k.clarity < std::max(kLeastClarity, grains * part.grain)) {
        out.why = Why::Faint;
    }
    PointD* ends[2][2] = {{&k.from1, &k.to1}, {&k.from2, &k.to2}};
    for (int i = 0; i < 2; i++) {
        const Line& l = f[i].line;
        // The arm's direction points away from the vertex: the nearer end first.
        const double near = std::min(f[i].t0, f[i].t1), far = std::max(f[i].t0, f[i].t1);
        *ends[i][0] = part.ToPicture(l.point + near * l.direction);
        *ends[i][1] = part.ToPicture(l.point + far * l.direction);
        // Where the corner may lie far from the point (a corner followed), one with arms much
        // shorter than that distance is likelier some small thing's than the one meant.
        if (far - near < std::max(kMinArm, within < reach ? kArmWithinShare * within : 0.0)) {
            out.why = Why::Short;
        }
    }
    if (k.uncertainty > kMostDoubtDeg) {
        // Doubt that comes of an edge turning away past its run is told as the bend it is.
        const double turn = std::max(f[0].turn, f[1].turn);
        out.why = turn > 0.5 * kMostDoubtDeg ? Why::Bends : Why::Short;
        out.bend = turn;
    }
    for (const fit::Fit& a : f) {
        if (a.fault == fit::Fault::Bends) {
            out.why = Why::Bends;
            out.bend = std::max(out.bend, a.bend);
        }
    }
    out.fitted = true;
    out.inside = inside;
    return out;
}

// Reads each arm of a corner on as far as `farther` along its edge: where the edge goes on but
// turns a little, the angle depends on how much of it is read, and that is doubt about it too.
double LookFurther(const PicturePart::Data& part, Fitted& fitted, double farther)
{
    Corner& k = fitted.corner;
    const PointD arms[2] = {k.arm1, k.arm2};
    const PointD* ends[2] = {&k.to1, &k.to2};
    double extra = 0, most = 0;
    for (int i = 0; i < 2; i++) {
        const PointD a = arms[i], other = arms[1 - i];
        const double reached = Length(part.ToPart(*ends[i]) - k.vertex);
        if (reached + kMinArm > farther) {
            continue;
        }
        const fit::Fit on = fit::FitAcross(part.gray, k.vertex, a, Skip(a, other, kFineHalfWidth), farther,
                                           kFineHalfWidth, Want(a, other, fitted.inside), true, part.grain);
        if (on.fault != fit::Fault::None && on.fault != fit::Fault::Bends) {
            continue;
        }
        if (on.reached < reached + kMinArm) {
            continue;
        }
        const double turn = fit::Between(on.whole.direction, a);
        extra = std::hypot(extra, turn);
        most = std::max(most, turn);
    }
    k.uncertainty = std::hypot(k.uncertainty, extra);
    return most;
}

// Whether the edge along `arm` runs on past the vertex, the other way, as the same line: the
// corner is then one side of a T (or an X) and the edge does not end there.
bool RunsOn(const PicturePart::Data& part, const Corner& k, PointD arm, PointD other)
{
    const PointD back = -1.0 * arm;
    const double skip = Skip(back, other, kFineHalfWidth);
    const fit::Fit on =
        fit::FitAcross(part.gray, k.vertex, back, skip, skip + 2 * kMinArm, kFineHalfWidth, 0, true, part.grain);
    if (on.fault != fit::Fault::None && on.fault != fit::Fault::Bends) {
        return false;
    }
    const PointD n{-arm.y, arm.x};
    return on.reached >= skip + kMinArm && fit::Between(on.line.direction, arm) <= kRunsOnDeg &&
           std::abs(Dot(on.line.point - k.vertex, n)) <= kRunsOnPx;
}

// Of two fits of one candidate: one that found a corner, else one that says most of what spoiled
// it; of two corners, the one that stayed where the candidate was (the other followed the far
// side of a thick line), else the surer one.
bool Better(const Fitted& l, const Fitted& r, PointD proposed)
{
    const auto rank = [](Why w) { return w == Why::Found ? 3 : w == Why::Nothing ? 0 : w == Why::Faint ? 1 : 2; };
    if (rank(l.why) != rank(r.why)) {
        return rank(l.why) > rank(r.why);
    }
    if (l.why != Why::Found) {
        return false;
    }
    const double dl = Length(l.corner.vertex - proposed), dr = Length(r.corner.vertex - proposed);
    if (std::abs(dl - dr) > 1.5) {
        return dl < dr;
    }
    return l.corner.uncertainty < r.corner.uncertainty;
}

} // namespace instrument::fit
