// Edge and corner proposals: the line segment detector's segments, and lines voted for by the
// gradient near the point, where texture breaks an edge into pieces too short for the detector.
#include "instrument/Proposals.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace instrument::propose {

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
// A pixel votes when its grey level changes across it by at least this much (a 3 x 3 Sobel
// response: four times the change between the pixels either side).
constexpr float kMinVoteSlope = 24.0f;
// Votes are counted in bins of this many degrees of the gradient's way (all round, so the two
// sides of a thick line are two lines) and one reduced pixel of the line's offset.
constexpr int kVoteBinDeg = 2;
// A line needs this many votes (about as many reduced pixels of edge), and at most this many of
// the best are kept.
constexpr float kMinVotes = 7.0f;
constexpr int kMaxVotedLines = 16;
using device::Cross;
using device::Dot;
using device::kPi;

} // namespace

double Segment::Length() const { return device::Length(b - a); }

PointD Unit(PointD a)
{
    const double l = device::Length(a);
    return l > 0 ? PointD{a.x / l, a.y / l} : PointD{1, 0};
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
    return device::Length(q - (s.a + t * d));
}

namespace {

cv::Mat Reduce(const cv::Mat& gray, double& sx, double& sy)
{
    const int w = gray.cols, h = gray.rows;
    const double f = std::max(1.0, std::ceil(double(std::max(w, h)) / kDetectSide));
    const int sw = std::max(8, static_cast<int>(std::lround(w / f)));
    const int sh = std::max(8, static_cast<int>(std::lround(h / f)));
    cv::Mat small;
    cv::resize(gray, small, cv::Size(sw, sh), 0, 0, cv::INTER_AREA);
    sx = double(w) / sw;
    sy = double(h) / sh;
    return small;
}

// A reduced pixel's centre lies in the middle of the part pixels it stands for.
PointD ToPart(PointD r, double sx, double sy) { return {(r.x + 0.5) * sx - 0.5, (r.y + 0.5) * sy - 0.5}; }

struct Voted {
    Line line; // part pixels
    PointD lighter; // unit, across the line towards its lighter side
};

// The lines the gradient within `reach` of `near` (reduced pixels) votes for that pass within
// `pass` of it, most votes first.
std::vector<Voted> VotedLines(const cv::Mat& small, PointD near, double reach, double pass, double sx, double sy)
{
    std::vector<Voted> lines;
    const int x0 = std::max(1, static_cast<int>(near.x - reach)),
              x1 = std::min(small.cols - 1, int(near.x + reach) + 1);
    const int y0 = std::max(1, static_cast<int>(near.y - reach)),
              y1 = std::min(small.rows - 1, int(near.y + reach) + 1);
    if (x1 - x0 < 4 || y1 - y0 < 4) {
        return lines;
    }
    constexpr int kAngles = 360 / kVoteBinDeg;
    const int offsets = 2 * static_cast<int>(std::ceil(pass)) + 1;
    const int mid = offsets / 2;
    cv::Mat votes = cv::Mat::zeros(kAngles, offsets, CV_32F);
    cv::Mat gx, gy;
    const cv::Rect box(x0 - 1, y0 - 1, x1 - x0 + 2, y1 - y0 + 2);
    cv::Sobel(small(box), gx, CV_32F, 1, 0, 3);
    cv::Sobel(small(box), gy, CV_32F, 0, 1, 3);
    for (int y = 1; y < box.height - 1; y++) {
        for (int x = 1; x < box.width - 1; x++) {
            const float dx = gx.at<float>(y, x), dy = gy.at<float>(y, x);
            if (dx * dx + dy * dy < kMinVoteSlope * kMinVoteSlope) {
                continue;
            }
            const double px = box.x + x - near.x, py = box.y + y - near.y;
            if (px * px + py * py > reach * reach) {
                continue;
            }
            double a = std::atan2(double(dy), double(dx));
            a += a < 0 ? 2 * kPi : 0;
            const int ai = static_cast<int>(a * 180 / kPi / kVoteBinDeg) % kAngles;
            const double c = std::cos((ai + 0.5) * kVoteBinDeg * kPi / 180),
                         s = std::sin((ai + 0.5) * kVoteBinDeg * kPi / 180);
            const int ri = mid + static_cast<int>(std::lround(px * c + py * s));
            if (ri >= 0 && ri < offsets) {
                votes.at<float>(ai, ri) += 1;
            }
        }
    }
    // An edge's votes spread over neighbouring bins: each bin counts its neighbours' too, the
    // angle wrapping round.
    cv::Mat padded, summed;
    cv::copyMakeBorder(votes, padded, 1, 1, 0, 0, cv::BORDER_WRAP);
    cv::boxFilter(padded, summed, -1, cv::Size(3, 3), cv::Point(-1, -1), false, cv::BORDER_CONSTANT);
    summed = summed.rowRange(1, kAngles + 1).clone();
    struct Peak {
        float votes;
        int angle, offset;
    };
    std::vector<Peak> peaks;
    for (int a = 0; a < kAngles; a++) {
        for (int r = 0; r < offsets; r++) {
            const float v = summed.at<float>(a, r);
            bool top = v >= kMinVotes;
            for (int da = -2; da <= 2 && top; da++) {
                for (int dr = -2; dr <= 2 && top; dr++) {
                    const int rr = r + dr, aa = (a + da + kAngles) % kAngles;
                    if ((da || dr) && rr >= 0 && rr < offsets) {
                        const float w = summed.at<float>(aa, rr);
                        top = w < v || (w == v && (aa * offsets + rr) > (a * offsets + r));
                    }
                }
            }
            if (top) {
                peaks.push_back({v, a, r});
            }
        }
    }
    std::sort(peaks.begin(), peaks.end(), [](const Peak& l, const Peak& r) { return l.votes > r.votes; });
    for (size_t i = 0; i < peaks.size() && i < size_t(kMaxVotedLines); i++) {
        const double a = (peaks[i].angle + 0.5) * kVoteBinDeg * kPi / 180;
        const PointD n{std::cos(a), std::sin(a)};
        const PointD on = near + double(peaks[i].offset - mid) * n;
        const PointD along{-n.y, n.x};
        const PointD p = ToPart(on, sx, sy), q = ToPart(on + along, sx, sy), l = ToPart(on + n, sx, sy);
        lines.push_back({{p, Unit(q - p)}, Unit(l - p)});
    }
    return lines;
}

} // namespace

std::vector<Segment> DetectSegments(const cv::Mat& gray, double& scale)
{
    double sx = 1, sy = 1;
    const cv::Mat small = Reduce(gray, sx, sy);
    cv::Mat small8;
    small.convertTo(small8, CV_8U);
    std::vector<cv::Vec4f> found;
    // Edges that turn by little at a corner must not be taken for one: a tighter angle tolerance
    // than the detector's own 22.5 degrees.
    cv::createLineSegmentDetector(cv::LSD_REFINE_STD, 0.8, 0.6, 2.0, kSegmentTurnDeg)->detect(small8, found);
    scale = std::max(sx, sy);
    std::vector<Segment> segments;
    for (const cv::Vec4f& v : found) {
        if (std::hypot(v[2] - v[0], v[3] - v[1]) >= kMinSegment) {
            segments.push_back({ToPart({v[0], v[1]}, sx, sy), ToPart({v[2], v[3]}, sx, sy)});
        }
    }
    // The longest first; a picture full of texture keeps only its strongest few hundred.
    std::sort(segments.begin(), segments.end(),
              [](const Segment& l, const Segment& r) { return l.Length() > r.Length(); });
    if (segments.size() > 300) {
        segments.resize(300);
    }
    return segments;
}

namespace {

void Nearest(std::vector<Candidate>& candidates)
{
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& l, const Candidate& r) { return l.score < r.score; });
}

} // namespace

std::vector<Candidate> SegmentCandidates(const std::vector<Segment>& segments, double f, PointD near, double radius)
{
    const double minSine = std::sin(kMinTurnDeg * kPi / 180.0);
    std::vector<Candidate> candidates;
    for (size_t i = 0; i < segments.size(); i++) {
        for (size_t j = i + 1; j < segments.size(); j++) {
            const Segment& s1 = segments[i];
            const Segment& s2 = segments[j];
            const Line l1{s1.a, Unit(s1.b - s1.a)}, l2{s2.a, Unit(s2.b - s2.a)};
            Candidate c;
            if (std::abs(Cross(l1.direction, l2.direction)) < minSine || !Meet(l1, l2, c.vertex)) {
                continue;
            }
            c.score = device::Length(c.vertex - near);
            if (c.score > radius) {
                continue;
            }
            // Each arm runs away from the meeting point along a segment that starts there (give
            // or take a gap the detector leaves at a corner), or along either part of one that
            // runs through it: an edge that goes on past a corner is one arm of it.
            std::vector<std::pair<PointD, double>> arms[2];
            const Segment* seg[2] = {&s1, &s2};
            for (int k = 0; k < 2; k++) {
                const double da = device::Length(seg[k]->a - c.vertex), db = device::Length(seg[k]->b - c.vertex);
                const double gap = std::min(da, db);
                const bool through = Dot(seg[k]->a - c.vertex, seg[k]->b - c.vertex) < 0;
                for (const PointD& end : {seg[k]->a, seg[k]->b}) {
                    const double l = device::Length(end - c.vertex);
                    const bool starts = gap <= std::max(4.0 * f, 0.3 * seg[k]->Length()) && l > gap;
                    if ((starts || through) && l >= kMinSegment * f) {
                        arms[k].push_back({Unit(end - c.vertex), l});
                    }
                }
            }
            for (const auto& [a1, n1] : arms[0]) {
                for (const auto& [a2, n2] : arms[1]) {
                    candidates.push_back({c.vertex, a1, a2, n1, n2, c.score, 0});
                }
            }
        }
    }
    Nearest(candidates);
    return candidates;
}

std::vector<Candidate> VotedCandidates(const cv::Mat& gray, double f, PointD near, double radius, double within)
{
    const double minSine = std::sin(kMinTurnDeg * kPi / 180.0);
    std::vector<Candidate> candidates;
    // The voted lines are looked for close about the point, where its corner's arms start.
    double sx = 1, sy = 1;
    const cv::Mat small = Reduce(gray, sx, sy);
    const PointD nearSmall{(near.x + 0.5) / sx - 0.5, (near.y + 0.5) / sy - 0.5};
    const std::vector<Voted> voted =
        VotedLines(small, nearSmall, std::max(3 * within / f, 24.0), within / f + 2, sx, sy);
    for (size_t i = 0; i < voted.size(); i++) {
        for (size_t j = i + 1; j < voted.size(); j++) {
            const Line& l1 = voted[i].line;
            const Line& l2 = voted[j].line;
            PointD at;
            if (std::abs(Cross(l1.direction, l2.direction)) < minSine || !Meet(l1, l2, at)) {
                continue;
            }
            const double score = device::Length(at - near);
            if (score > within + 2 * f + 2) {
                continue;
            }
            // A line votes for no way along itself, but for the side it is lighter on: of the
            // four ways its arms may run, the two whose insides are alike on both arms.
            for (double s1 : {1.0, -1.0}) {
                for (double s2 : {1.0, -1.0}) {
                    const PointD a1 = s1 * l1.direction, a2 = s2 * l2.direction;
                    const int inside = Dot(voted[i].lighter, a2) > 0 ? 1 : -1;
                    if (inside == (Dot(voted[j].lighter, a1) > 0 ? 1 : -1)) {
                        candidates.push_back({at, a1, a2, radius, radius, score, inside});
                    }
                }
            }
        }
    }
    Nearest(candidates);
    return candidates;
}

} // namespace instrument::propose
