// `E`'s edge: the straight edge under the point whose line passes through the hub, fitted
// across at full resolution, read on past its stretch, or what spoiled it.
#include "instrument/CornerFit.h"
#include "instrument/EdgeFinder.h"
#include "instrument/LineFit.h"
#include "instrument/PictureData.h"
#include "instrument/Proposals.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace instrument {

namespace {

using Part = PicturePart::Data;
using device::Cross;
using device::Dot;
using device::Length;
using fit::kFineHalfWidth;
using fit::kMinArm;
using fit::Line;
using propose::DetectSegments;
using propose::DistanceToSegment;
using propose::Segment;
using propose::Unit;

} // namespace

std::optional<Edge> FindEdgeThrough(const device::PixelView& picture, Search search, PointD through, double tolerance)
{
    return FindEdgeThrough(CutPart(picture, search), search, through, tolerance);
}

std::optional<Edge> FindEdgeThrough(const PicturePart& cut, Search search, PointD through, double tolerance)
{
    return LookForEdgeThrough(cut, search, through, tolerance).edge;
}

namespace {

// How far an edge fitted along `line` turns where it is read on past its stretch, both ways
// (degrees): which stretch is the edge's the picture cannot say, and that turn is doubt, as for
// a corner's arms.
double ReadOn(const Part& part, const Line& line, const fit::Fit& fitted)
{
    double turn = 0;
    const double farther = std::max(part.gray.cols, part.gray.rows);
    for (int way : {1, -1}) {
        const PointD d = double(way) * line.direction;
        const PointD start = line.point + (way > 0 ? fitted.t0 : fitted.t1) * line.direction;
        const fit::Fit on =
            fit::FitAcross(part.gray, start, d, 0, farther, kFineHalfWidth, way * fitted.polarity, true, part.grain);
        if ((on.fault == fit::Fault::None || on.fault == fit::Fault::Bends) &&
            on.reached >= std::abs(fitted.t1 - fitted.t0) + kMinArm) {
            turn = std::hypot(turn, fit::Between(on.whole.direction, line.direction));
        }
    }
    return turn;
}

} // namespace

EdgeLook LookForEdgeThrough(const PicturePart& cut, Search search, PointD through, double tolerance)
{
    EdgeLook look;
    if (cut.Empty()) {
        return look;
    }
    const Part& part = *cut.Get();
    double f = 1;
    std::vector<Segment> segments = DetectSegments(part.gray, f);
    const PointD near = part.ToPart(search.near);
    const PointD hub = part.ToPart(through);
    const double within = search.within > 0 ? search.within : search.radius;
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
    // The edge along a line found first `coarse` pixels either side of it, when it passes through
    // the hub.
    const auto judge = [&](const Segment& s, double coarse) -> std::optional<EdgeLook> {
        EdgeLook told;
        Line line{s.a, Unit(s.b - s.a)};
        double t0 = 0, t1 = s.Length();
        fit::Fit fitted;
        for (double half : {coarse, kFineHalfWidth}) {
            // The ends are left out: there the edge may turn into another one.
            const double margin = std::min(3.0 * half + 2.0, 0.25 * (t1 - t0));
            fitted = fit::FitAcross(part.gray, line.point, line.direction, t0 + margin, t1 - margin, half, 0, false,
                                    part.grain);
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
            return std::nullopt;
        }
        // The nearest edge through the hub is the one meant: if it is not under the point, bends,
        // or is too short or unclear to fix its angle, that is told, not a farther edge read.
        const double away =
            DistanceToSegment(near, {line.point + fitted.t0 * line.direction, line.point + fitted.t1 * line.direction});
        if (away > within) {
            told.why = Why::Away;
            told.away = away;
        } else if (fitted.fault == fit::Fault::Bends) {
            told.why = Why::Bends;
            told.bend = fitted.bend;
        } else if (std::abs(fitted.t1 - fitted.t0) < kMinArm || fitted.u95 > kMostDoubtDeg) {
            told.why = Why::Short;
        } else if (const double turn = ReadOn(part, line, fitted), u = std::hypot(fitted.u95, turn);
                   u > kMostDoubtDeg) {
            // Read on, the edge turns too far to fix its angle.
            told.why = turn > 0.5 * kMostDoubtDeg ? Why::Bends : Why::Short;
            told.bend = turn;
        } else {
            told.why = Why::Found;
            told.edge = Edge{part.ToPicture(line.point), line.direction, u,
                             part.ToPicture(line.point + fitted.t0 * line.direction),
                             part.ToPicture(line.point + fitted.t1 * line.direction)};
        }
        return told;
    };
    for (size_t i = 0; i < candidates.size() && i < 6; i++) {
        if (std::optional<EdgeLook> seen = judge(candidates[i].second, coarseHalf)) {
            look = *seen;
            break;
        }
    }
    // The edge under the point runs through the hub: where no segment of it was detected (too
    // short, or broken by texture), or the nearest found lies away from the point, it is looked
    // for along the line from the hub through the point.
    const double reach = Length(near - hub);
    if ((look.why == Why::Nothing || look.why == Why::Away) && reach > within) {
        const PointD u = Unit(near - hub);
        // As far towards the hub as the part was cut around the point.
        const double back = std::min(reach, 0.5 * std::max(part.gray.cols, part.gray.rows));
        if (std::optional<EdgeLook> seen =
                judge({near - back * u, near + 0.25 * back * u}, std::max(coarseHalf, within + 2.0));
            seen && seen->why == Why::Found) {
            look = *seen;
        }
    }
    return look;
}

} // namespace instrument
