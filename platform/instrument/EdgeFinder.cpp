// The edge finder: the proposals are fitted on the full-resolution picture, which decides, and
// the corner under the point is chosen among those that fit.
#include "instrument/EdgeFinder.h"
#include "instrument/CornerFit.h"
#include "instrument/LineFit.h"
#include "instrument/PictureData.h"
#include "instrument/Proposals.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace instrument {

namespace {

// Two corners that fit the point within this share of the distance it may lie from them of each
// other are both meant.
constexpr double kTie = 0.25;
// A point this share of that distance from an edge, or this many pixels (an edge's blur), is on it.
constexpr double kOnEdge = 0.1;
constexpr double kOnEdgePx = 1.0;
// A point this far outside a corner (pixels) lies outside it, not on its edge.
constexpr double kOutsidePx = 0.5;
// Of the fits of one corner (along either side of a thick line, say) that fit the point within
// this share of that distance of the best, the surest is read.
constexpr double kSame = 0.5;
// A corner whose fainter edge changes by less than this share of another's is not its rival.
constexpr double kFainter = 0.5;
// An edge that bends by more than this many degrees between its halves is two edges.
constexpr double kPlainBendDeg = 8.0;
// How many of the nearest candidates are fitted.
constexpr int kTries = 32;
using device::Cross;
using device::Dot;
using device::kPi;
using device::Length;

// How far `q` (from the vertex) lies outside the opening between two unit arms.
double Outside(PointD q, PointD a1, PointD a2)
{
    const double c = Cross(a1, a2);
    if (c * Cross(a1, q) >= 0 && c * Cross(q, a2) >= 0) {
        return 0;
    }
    const auto off = [&](PointD a) { return Length(q - std::max(0.0, Dot(q, a)) * a); };
    return std::min(off(a1), off(a2));
}

} // namespace

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
    part.grain = fit::Grain(part.gray);
    return true;
}

using fit::FitCorner;
using fit::Fitted;
using fit::kFineHalfWidth;
using fit::kMinArm;
using fit::Line;
using propose::Candidate;
using propose::DetectSegments;
using propose::DistanceToSegment;
using propose::Meet;
using propose::Segment;
using propose::Unit;

// Whether a corner fits the point: its meeting point within reach, and the point on the corner or
// inside it, or a little outside as a finger falls; `key` says how well (lower is better).
bool Fits(PointD near, PointD vertex, PointD arm1, PointD arm2, double within, double share, double& key,
          double& outside)
{
    const double away = Length(vertex - near);
    outside = Outside(near - vertex, arm1, arm2);
    key = away + 2 * outside;
    return away <= within && outside <= share * within;
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

std::optional<Corner> FindCorner(const PicturePart& cut, Search search) { return LookForCorner(cut, search).corner; }

namespace {

// The corner under the point among these proposals, or why there is none.
CornerLook Choose(const Part& part, const std::vector<Candidate>& candidates, Search search, double f, double& fit)
{
    CornerLook look;
    const PointD near = part.ToPart(search.near);
    const double within = search.within > 0 ? search.within : search.radius;
    const double coarseHalf = 2.0 * f + 4.0;
    // The corner under the point, or none. Each proposal near the point is fitted; of those that
    // fit it (see Fits) the best is read, unless another corner fits it about as well (both are
    // meant: say so) or one that could not be read fits it clearly better (say what spoiled it).
    // A corner fitted beyond reach is only told of.
    struct Tried {
        double key, outside;
        PointD arm1, arm2;
        Fitted fitted;
    };
    std::vector<Tried> tried;
    double nearest = -1;
    for (size_t i = 0; i < candidates.size() && i < kTries; i++) {
        const Candidate& c = candidates[i];
        // Beyond reach only the nearest corner that fits is wanted, to say how far it is.
        if (c.score > within + coarseHalf + 2 && nearest >= 0) {
            break;
        }
        // Which side of a thick line is the corner's is not known: both are fitted, and the
        // clearer one is the corner.
        Fitted fitted = FitCorner(part, c, coarseHalf, search.radius, within, c.inside ? c.inside : 1);
        if (!c.inside) {
            const Fitted other = FitCorner(part, c, coarseHalf, search.radius, within, -1);
            if (Better(other, fitted, c.vertex)) {
                fitted = other;
            }
        }
        if (fitted.why == Why::Nothing) {
            continue;
        }
        const bool found = fitted.why == Why::Found;
        const Corner& k = fitted.corner;
        if (found) {
            const double away = Length(k.vertex - near);
            nearest = nearest < 0 ? away : std::min(nearest, away);
        }
        Tried t{0, 0, fitted.fitted ? k.arm1 : c.arm1, fitted.fitted ? k.arm2 : c.arm2, fitted};
        if (Fits(near, fitted.fitted ? k.vertex : c.vertex, t.arm1, t.arm2, within, search.outside, t.key, t.outside)) {
            tried.push_back(t);
        }
    }
    // Another corner, not the same one fitted again from another proposal.
    const auto distinct = [](const Tried& l, const Tried& r) {
        const auto along = [](PointD a, PointD b) { return Dot(a, b) > std::cos(8 * kPi / 180); };
        return !((along(l.arm1, r.arm1) && along(l.arm2, r.arm2)) || (along(l.arm1, r.arm2) && along(l.arm2, r.arm1)));
    };
    const Tried* read = nullptr;
    for (const Tried& t : tried) {
        if (t.fitted.why == Why::Found && (!read || t.key < read->key)) {
            read = &t;
        }
    }
    // A faint fit of a corner that is fitted much clearer too (along the other side of a thick
    // line) is that corner. Else, of corners that fit the point about as well, one much clearer
    // than the best fitting is meant: a faint corner beside it (a shadow's, the grain's) is not;
    // one far clearer still is meant if it fits the point less well, within the same margin that
    // tells fits of one corner apart.
    const auto clearerMeant = [&](const Tried& r, const Tried& t) {
        const double c = r.fitted.corner.clarity, ct = t.fitted.corner.clarity;
        return (t.key <= r.key + kTie * within && c < kFainter * ct) ||
               (t.key <= r.key + kSame * within && c < kFainter * kFainter * ct);
    };
    if (read) {
        const Tried* clearer = nullptr;
        for (int same = 1; same >= 0 && !clearer; same--) {
            for (const Tried& t : tried) {
                if (t.fitted.why == Why::Found && distinct(t, *read) != bool(same) &&
                    (same ? read->fitted.corner.clarity < kFainter * t.fitted.corner.clarity
                          : clearerMeant(*read, t)) &&
                    (!clearer || t.fitted.corner.clarity > clearer->fitted.corner.clarity)) {
                    clearer = &t;
                }
            }
        }
        read = clearer ? clearer : read;
    }
    // The same corner fitted from several proposals (or along the other side of a thin outline):
    // the surest fit of it. Whether another corner fits the point about as well is judged
    // against the best fit of the point, not the sure fit's meeting point a few pixels off.
    const double fitsBest = read ? read->key : 0;
    for (const Tried& t : tried) {
        if (read && t.fitted.why == Why::Found && !distinct(t, *read) && t.key <= read->key + kSame * within &&
            t.fitted.corner.uncertainty < read->fitted.corner.uncertainty) {
            read = &t;
        }
    }
    // Where one edge runs on through the meeting point and another stops on it (a T), the
    // corners either side of the stop are both there: a point on the edge that runs on means
    // neither more than the other.
    const auto onTheBar = [&](const Tried& r, const Tried& t) {
        const double close = std::cos(8 * kPi / 180);
        const PointD ra[2] = {r.arm1, r.arm2}, ta[2] = {t.arm1, t.arm2};
        const PointD q = near - r.fitted.corner.vertex;
        for (int i = 0; i < 2; i++) {
            for (int j = 0; j < 2; j++) {
                // On the edge that runs on: near it, and nearer it than the one that stops (a
                // point inside a narrow corner is near both).
                const double bar = std::abs(Cross(q, ra[i])), stem = std::abs(Cross(q, ra[1 - i]));
                if (Dot(ra[i], ta[j]) < -close && Dot(ra[1 - i], ta[1 - j]) > close &&
                    Length(r.fitted.corner.vertex - t.fitted.corner.vertex) <= kTie * within + 1 &&
                    bar <= std::max(kOnEdgePx, kOnEdge * within) && 2 * bar < stem) {
                    return true;
                }
            }
        }
        return false;
    };
    const Tried* spoiled = nullptr;
    bool two = false;
    // Only a corner whose arms were both fitted, clear, and bending by no more than an edge that
    // is one edge does, stands against one read.
    const auto plain = [](const Tried& t) {
        return t.fitted.fitted && t.fitted.why != Why::Faint &&
               (t.fitted.why != Why::Bends || t.fitted.bend <= kPlainBendDeg);
    };
    for (const Tried& t : tried) {
        // What spoiled a corner that fits the point clearly better than the one read is told; so
        // is what spoiled one that a clearer corner would be read for (above): its faint
        // neighbour is not read in its stead (a clamp's short corner where a cable meets a strut).
        if (t.fitted.why != Why::Found && (!spoiled || t.key < spoiled->key) &&
            (!read ||
             (plain(t) && distinct(t, *read) && (t.key < read->key - kTie * within || clearerMeant(*read, t))))) {
            spoiled = &t;
        }
        // A corner much fainter than the one read (grain, a shadow meeting its edge) is not meant.
        two = two || (read && t.fitted.why == Why::Found && distinct(t, *read) &&
                      t.key <= std::min(read->key, fitsBest) + kTie * within &&
                      t.fitted.corner.clarity >= kFainter * read->fitted.corner.clarity);
        two = two || (read && plain(t) && onTheBar(*read, t));
        // A point outside the corner read, fitted better by another as clear whose edges bend a
        // little (a thin bar's far side, say), may mean either.
        two = two || (read && plain(t) && t.fitted.why == Why::Bends && distinct(t, *read) && t.key < read->key &&
                      read->outside > kOutsidePx && t.fitted.corner.clarity >= kFainter * read->fitted.corner.clarity);
    }
    // The same where the other corner of the T could not be fitted: the edge under the point is
    // read on past the meeting point.
    if (read && !two) {
        const Corner& k = read->fitted.corner;
        const PointD arms[2] = {k.arm1, k.arm2}, q = near - k.vertex;
        for (int i = 0; i < 2 && !two; i++) {
            const double bar = std::abs(Cross(q, arms[i])), stem = std::abs(Cross(q, arms[1 - i]));
            two = bar <= std::max(kOnEdgePx, kOnEdge * within) && 2 * bar < stem &&
                  fit::RunsOn(part, k, arms[i], arms[1 - i]);
        }
    }
    if (read && !spoiled && !two) {
        Fitted further = read->fitted;
        const double turn =
            fit::LookFurther(part, further, std::max(search.radius, double(std::max(part.gray.cols, part.gray.rows))));
        if (further.corner.uncertainty > kMostDoubtDeg) {
            // Read on, the corner's edges turn too far to fix its angle.
            look.why = turn > 0.5 * kMostDoubtDeg ? Why::Bends : Why::Short;
            look.bend = turn;
            return look;
        }
        fit = read->key;
        look.why = Why::Found;
        look.corner = further.corner;
        look.corner->vertex = part.ToPicture(look.corner->vertex);
        return look;
    }
    look.why = Why::Nothing;
    if (read && two && !spoiled) {
        look.why = Why::Two;
    } else if (spoiled && (spoiled->fitted.why != Why::Bends || spoiled->fitted.bend <= kPlainBendDeg)) {
        // An "edge" whose halves turn apart by tens of degrees is two edges, not one that bends:
        // that is no corner, not a bent one.
        look.why = spoiled->fitted.why;
        look.bend = spoiled->fitted.bend;
    } else if (nearest >= 0) {
        look.why = Why::Away;
        look.away = nearest;
    }
    return look;
}

} // namespace

CornerLook LookForCorner(const PicturePart& cut, Search search)
{
    if (cut.Empty()) {
        return {};
    }
    const Part& part = *cut.Get();
    double f = 1;
    const std::vector<Segment> segments = DetectSegments(part.gray, f);
    const PointD near = part.ToPart(search.near);
    const double within = search.within > 0 ? search.within : search.radius;
    // The detector's segments make whole edges; the lines the gradient votes for near the point
    // find the short and broken ones. All are fitted, and the corner under the point chosen.
    std::vector<Candidate> candidates = propose::SegmentCandidates(segments, f, near, search.radius);
    const std::vector<Candidate> voted = propose::VotedCandidates(part.gray, f, near, search.radius, within);
    candidates.insert(candidates.end(), voted.begin(), voted.end());
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& l, const Candidate& r) { return l.score < r.score; });
    double fit = 0;
    return Choose(part, candidates, search, f, fit);
}

} // namespace instrument
