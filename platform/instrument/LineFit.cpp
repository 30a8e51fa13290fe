// The edge fit: the peak of the grey-level slope read across the line (a parabola through its
// three highest values), a total least squares line leaving out the points off it, and the
// angle's uncertainty from the residuals, their likeness along the edge and the stretch's length.
#include "instrument/LineFit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace instrument::fit {

namespace {

// Across an edge, grey levels must change by this much between pixels two apart.
constexpr double kMinContrast = 6.0;
// ...and stand this many of the grain's standard deviations out of it.
constexpr double kGrainSigmas = 3.0;
// At most this many places along an edge are read across it.
constexpr int kMaxReads = 600;
// Whatever the points say, a line's angle is not known better than this (degrees): the
// sub-pixel peak leans a little with the edge's profile.
constexpr double kFloorDeg = 0.01;
// Halves of an edge may turn apart by their own uncertainty and this much more (degrees) before
// the edge is said to bend.
constexpr double kBendSlackDeg = 0.4;
// An arm read from a corner ends at the first gap this long (pixels) without an edge point on
// the line so far: where its object's edge ends, before it runs on into another object's.
constexpr double kArmGap = 5.0;
// An arm's edge starts within this many pixels of where it is looked for: past that gap, what
// lies between may be a bar crossing it, and the edge beyond another object's.
constexpr double kArmStart = 4.0;
// Along an arm its edge keeps to between this share and this many times its steepness over its
// first few points: an edge in line with it but much steeper (a clamp over a cable) or much
// fainter is another object's.
constexpr double kLeastSteep = 0.4;
constexpr double kMostSteep = 4.0;
constexpr size_t kStartPoints = 6;
// A point farther than this from the line so far (pixels, or three times the points' own
// spread) leaves the edge: a gap, not a turn of the line.
constexpr double kArmDrift = 1.5;
// An arm that bends by no more than this many degrees is read again over its nearer half,
// while that holds this many points (else over all of it); one that bends more is told.
constexpr double kMostBendReadDeg = 1.5;
constexpr size_t kMinBendPoints = 12;
// An arm's first this many points, by its corner, are fitted on their own as well; they may turn
// from the whole line by this many times their own doubt (the other edge's blur leans the first
// of them a little, however straight the edge).
constexpr size_t kNearPoints = 20;
constexpr double kNearSlack = 2.0;
// Of the bend of an arm read again over its nearer half, this share stays in its doubt.
constexpr double kKeptBendShare = 0.5;
using device::Dot;
using device::kPi;

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

// The points of an arm from its start while the edge goes on (see kArmGap); `at` is how far
// along the stretch each point was read. None when the edge does not start near the start.
// `turn` gets the points after the run where the edge goes on but leaves its line: an edge that
// turns, not one that ends.
std::vector<PointD> Run(const std::vector<PointD>& pts, const std::vector<double>& at, const std::vector<double>& step,
                        std::vector<PointD>& turn)
{
    std::vector<PointD> run;
    turn.clear();
    if (pts.empty() || at.front() > kArmStart) {
        return run;
    }
    // How steep the edge is where the arm starts.
    std::vector<double> first(step.begin(), step.begin() + std::min<size_t>(step.size(), kStartPoints));
    std::nth_element(first.begin(), first.begin() + first.size() / 2, first.end());
    const double steep = first[first.size() / 2];
    // Running sums for the total least squares line through the points so far.
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0, last = at.front();
    size_t i = 0, steepRun = 0;
    double steepAt = at.front();
    for (; i < pts.size() && at[i] - last <= kArmGap; i++) {
        const PointD q = pts[i];
        if (n >= 10) {
            const double mx = sx / n, my = sy / n;
            const double cxx = sxx / n - mx * mx, cxy = sxy / n - mx * my, cyy = syy / n - my * my;
            const double a = 0.5 * std::atan2(2 * cxy, cxx - cyy);
            const PointD normal{-std::sin(a), std::cos(a)};
            if (std::abs(Dot(q - PointD{mx, my}, normal)) > kArmDrift) {
                continue;
            }
        }
        if (step[i] > kMostSteep * steep) {
            continue;
        }
        // An arm whose edge grows much fainter for longer than a gap has ended: what goes on in
        // line with it is another object's edge (the lit box's side ends, a dim rail goes on).
        if (step[i] >= kLeastSteep * steep) {
            steepAt = at[i];
            steepRun = run.size() + 1;
        } else if (at[i] - steepAt > kArmGap) {
            run.resize(steepRun);
            last = steepAt;
            break;
        }
        run.push_back(q);
        last = at[i];
        n++;
        sx += q.x;
        sy += q.y;
        sxx += q.x * q.x;
        sxy += q.x * q.y;
        syy += q.y * q.y;
    }
    // Past the run's end: points read without a gap are the same edge, turned.
    double prev = last;
    for (size_t j = 0; j < pts.size(); j++) {
        if (at[j] <= last) {
            continue;
        }
        if (at[j] - prev > kArmGap || at[j] - last > 0.5 * (last - at.front())) {
            break;
        }
        turn.push_back(pts[j]);
        prev = at[j];
    }
    if (turn.size() < kMinBendPoints / 2 || prev - last < 2 * kArmGap) {
        turn.clear();
    }
    return run;
}

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

// About a 95 % interval of the angle (degrees) of the line through points ordered along it:
// the slope's standard error, widened as far as neighbouring residuals are alike (blur,
// texture, compression), since alike points tell less than as many independent ones.
double Uncertainty(const Line& line, const std::vector<PointD>& pts)
{
    const PointD n{-line.direction.y, line.direction.x};
    const size_t k = pts.size();
    if (k < 4) {
        return 90.0;
    }
    std::vector<double> r(k), t(k);
    double tm = 0;
    for (size_t i = 0; i < k; i++) {
        r[i] = Dot(pts[i] - line.point, n);
        t[i] = Dot(pts[i] - line.point, line.direction);
        tm += t[i];
    }
    tm /= double(k);
    double ss = 0, stt = 0, lag = 0;
    for (size_t i = 0; i < k; i++) {
        ss += r[i] * r[i];
        stt += (t[i] - tm) * (t[i] - tm);
        if (i > 0) {
            lag += r[i] * r[i - 1];
        }
    }
    if (!(stt > 0)) {
        return 90.0;
    }
    const double rho = ss > 0 ? std::clamp(lag / ss, 0.0, 0.95) : 0.0;
    const double inflate = (1 + rho) / (1 - rho);
    const double sigma = std::sqrt(ss / double(k - 2) * inflate / stt);
    return std::max(kFloorDeg, 1.96 * sigma * 180.0 / kPi);
}

// The median change of grey level across the fitted line, two pixels either side of it.
double Contrast(const cv::Mat& g, const Fit& fit)
{
    const PointD n{-fit.line.direction.y, fit.line.direction.x};
    std::vector<double> across;
    for (int i = 0; i < 16; i++) {
        const PointD c = fit.line.point + (fit.t0 + (fit.t1 - fit.t0) * (i + 0.5) / 16) * fit.line.direction;
        double a = 0, b = 0;
        if (Sample(g, c.x - 2 * n.x, c.y - 2 * n.y, a) && Sample(g, c.x + 2 * n.x, c.y + 2 * n.y, b)) {
            across.push_back(std::abs(b - a));
        }
    }
    if (across.empty()) {
        return 0;
    }
    std::nth_element(across.begin(), across.begin() + across.size() / 2, across.end());
    return across[across.size() / 2];
}

// Leaves out of `pts` the points far off `line` (fitted through them), and fits it again through
// the rest. False, changing nothing, when too few would be left.
bool Trim(std::vector<PointD>& pts, Line& line)
{
    const PointD normal{-line.direction.y, line.direction.x};
    std::vector<double> off;
    for (const PointD& q : pts) {
        off.push_back(std::abs(Dot(q - line.point, normal)));
    }
    std::vector<double> sorted = off;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double limit = std::max(0.25, 3.0 * 1.4826 * sorted[sorted.size() / 2]);
    std::vector<PointD> inliers;
    for (size_t i = 0; i < pts.size(); i++) {
        if (off[i] <= limit) {
            inliers.push_back(pts[i]);
        }
    }
    if (inliers.size() < 8) {
        return false;
    }
    pts.swap(inliers);
    line = FitLine(pts);
    return true;
}

} // namespace

double Between(PointD a, PointD b) { return std::acos(std::clamp(std::abs(Dot(a, b)), 0.0, 1.0)) * 180.0 / kPi; }

// The line through edge points ordered along it, leaving out those off it; whether its halves
// agree. False when too few points are left (`fit` Faint).
bool Straight(std::vector<PointD>& kept, PointD d, Fit& fit)
{
    fit.fault = Fault::Faint;
    Line line = FitLine(kept);
    for (int round = 0; round < 2; round++) {
        if (!Trim(kept, line)) {
            return false;
        }
    }
    if (Dot(line.direction, d) < 0) {
        line.direction = -1.0 * line.direction;
    }
    fit.fault = Fault::None;
    fit.line = line;
    fit.points = static_cast<int>(kept.size());
    fit.t0 = Dot(kept.front() - line.point, line.direction);
    fit.t1 = Dot(kept.back() - line.point, line.direction);
    // The near and far halves, each on its own: an edge that bends turns between them.
    const size_t mid = kept.size() / 2;
    const std::vector<PointD> nearHalf(kept.begin(), kept.begin() + mid), farHalf(kept.begin() + mid, kept.end());
    const Line ln = FitLine(nearHalf), lf = FitLine(farHalf);
    fit.bend = Between(ln.direction, lf.direction);
    const double halves = std::hypot(Uncertainty(ln, nearHalf), Uncertainty(lf, farHalf));
    // What the halves disagree by beyond chance is doubt about the whole line's angle too.
    fit.u95 = std::hypot(Uncertainty(line, kept), 0.5 * std::max(0.0, fit.bend - 0.5 * halves));
    if (fit.bend > halves + kBendSlackDeg) {
        fit.fault = Fault::Bends;
    }
    return true;
}

Fit FitAcross(const cv::Mat& g, PointD p, PointD d, double t0, double t1, double half, int want, bool arm, double grain)
{
    // The slope between pixels two apart, of pure grain, has sqrt(2) times its deviation; the
    // steepest of a reading's few must stand well out of that.
    const double least = std::max(kMinContrast, kGrainSigmas * std::sqrt(2.0) * grain);
    Fit fit;
    fit.fault = Fault::Faint;
    const PointD n{-d.y, d.x};
    const int k = std::max(3, static_cast<int>(std::ceil(half)));
    const int reads = static_cast<int>(std::clamp(t1 - t0, 0.0, double(kMaxReads)));
    if (reads < 8) {
        fit.fault = Fault::Short;
        return fit;
    }
    std::vector<double> profile(2 * k + 1), slope(2 * k + 1);
    std::vector<PointD> pts;
    std::vector<double> along;
    std::vector<int> signs;
    std::vector<double> steps;
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
            const bool fits = want == 0 || (slope[j] > 0) == (want > 0);
            if (j >= lo + 2 && j <= hi - 2 && fits && (best < 0 || std::abs(slope[j]) > std::abs(slope[best]))) {
                best = j;
            }
        }
        if (best < 0) {
            continue;
        }
        const double a = std::abs(slope[best - 1]), b = std::abs(slope[best]), cc = std::abs(slope[best + 1]);
        if (b < least) {
            continue;
        }
        const double denom = a - 2 * b + cc;
        const double delta = denom < 0 ? std::clamp(0.5 * (a - cc) / denom, -0.5, 0.5) : 0.0;
        pts.push_back(c + (best - k + delta) * n);
        along.push_back(t - t0);
        signs.push_back(slope[best] > 0 ? 1 : -1);
        steps.push_back(b);
    }
    // One edge goes from dark to light one way only; readings the other way saw something else.
    // An arm's way is the one its start shows.
    int balance = 0;
    for (size_t i = 0; i < signs.size(); i++) {
        balance += !arm || along[i] <= std::max(4 * kArmGap, 0.25 * (t1 - t0)) ? signs[i] : 0;
    }
    if (want != 0) {
        balance = want;
    }
    std::vector<PointD> kept;
    std::vector<double> keptAlong, keptSteps;
    for (size_t i = 0; i < pts.size(); i++) {
        if ((signs[i] > 0) == (balance > 0)) {
            kept.push_back(pts[i]);
            keptAlong.push_back(along[i]);
            keptSteps.push_back(steps[i]);
        }
    }
    double span = t1 - t0;
    // The line through the whole edge, where it goes on past the arm's straight run.
    Fit all;
    bool goesOn = false;
    if (arm) {
        std::vector<PointD> turn;
        kept = Run(kept, keptAlong, keptSteps, turn);
        if (kept.size() >= 8 && !turn.empty()) {
            std::vector<PointD> whole = kept;
            whole.insert(whole.end(), turn.begin(), turn.end());
            goesOn = Straight(whole, d, all);
        }
        if (kept.size() < 4) {
            fit.fault = Fault::Missing;
            return fit;
        }
        span = Dot(kept.back() - kept.front(), d);
    }
    if (kept.size() < 8 || double(kept.size()) < 0.4 * span * reads / (t1 - t0)) {
        return fit;
    }
    // An arm's points by its corner, before the line leaves any out (read again below).
    const std::vector<PointD> run = arm ? kept : std::vector<PointD>{};
    // An arm that bends a little is read again over its nearer half, as long as that is long
    // enough to tell: a rough or slightly curved edge is straight near the corner.
    Straight(kept, d, fit);
    const double wholeBend = fit.fault == Fault::Bends ? fit.bend : 0.0;
    const Line whole = fit.line;
    const double reached = kept.empty() ? 0.0 : Dot(kept.back() - p, d);
    while (arm && fit.fault == Fault::Bends && fit.bend <= kMostBendReadDeg && kept.size() >= 2 * kMinBendPoints) {
        kept.resize(kept.size() / 2);
        Fit nearer;
        if (!Straight(kept, d, nearer)) {
            break;
        }
        fit = nearer;
    }
    // An arm that bends a little but is too short to be read again over its nearer half is read
    // over all of it, and the whole bend is doubt about its angle: which stretch is the corner's
    // edge, the picture cannot say.
    if (arm && fit.fault == Fault::Bends && fit.bend <= kMostBendReadDeg) {
        fit.fault = Fault::None;
        fit.u95 = std::hypot(fit.u95, fit.bend);
    }
    if (fit.fault != Fault::Faint) {
        // The nearer half is the corner's, but the edge is not straight: how far its angle
        // depends on the stretch read stays in the doubt. So does the turn of an edge that goes
        // on past the run: the run ends there, but whether the corner's edge is the run or all
        // of it, the picture cannot say.
        if (fit.bend < wholeBend) {
            fit.u95 = std::hypot(fit.u95, kKeptBendShare * wholeBend);
        }
        if (goesOn) {
            fit.turn = Between(all.line.direction, fit.line.direction);
            fit.u95 = std::hypot(fit.u95, fit.turn);
        }
        // By the corner, the arm's first points fitted alone (those the whole line left out as
        // off it too) lie along the line within twice their own doubt, or the edge turns near
        // its corner: how far beyond that is doubt about the corner's angle.
        if (arm && run.size() >= 2 * kNearPoints) {
            std::vector<PointD> start(run.begin(), run.begin() + kNearPoints);
            Line near = FitLine(start);
            Trim(start, near);
            const double over = Between(near.direction, fit.line.direction) - kNearSlack * Uncertainty(near, start);
            if (over > 0) {
                fit.u95 = std::hypot(fit.u95, over);
            }
        }
        fit.whole = whole;
        fit.reached = reached;
        // The slope was read along +(-d.y, d.x); the fitted line keeps d's sense.
        fit.polarity = balance > 0 ? 1 : -1;
        fit.contrast = Contrast(g, fit);
    }
    return fit;
}

} // namespace instrument::fit
