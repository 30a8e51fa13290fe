// Where edges and corners may lie near a point, proposed from a reduced copy of the part of the
// picture around it: the fit on the full-resolution picture then decides which are there.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

#include "instrument/LineFit.h"

namespace instrument::propose {

using device::PointD;
using fit::Line;

struct Segment {
    PointD a, b; // part pixels
    double Length() const;
};

// Two edges that may meet in a corner: where, and each arm's way from there (unit) and length.
struct Candidate {
    PointD vertex;
    PointD arm1, arm2;
    double len1 = 0, len2 = 0;
    double score = 0; // part pixels from the point
    int inside = 0; // +1 lighter inside the corner than outside, -1 darker, 0 not known
};

PointD Unit(PointD a);
bool Meet(const Line& l1, const Line& l2, PointD& at);
double DistanceToSegment(PointD q, const Segment& s);

// OpenCV's line segment detector on the part reduced to a size it reads fast, in part pixels,
// longest first; `scale` is how many part pixels one reduced pixel spans.
std::vector<Segment> DetectSegments(const cv::Mat& gray, double& scale);

// Corners that may lie within `radius` of `near` (part pixels), nearest first, from pairs of the
// detector's segments (`scale` as DetectSegments gave it).
std::vector<Candidate> SegmentCandidates(const std::vector<Segment>& segments, double scale, PointD near,
                                         double radius);
// Corners that may meet within `within` of `near`, nearest first, from pairs of the lines the
// gradient near the point votes for: they find the short and textured edges the detector breaks
// up. Each arm has `radius` to run.
std::vector<Candidate> VotedCandidates(const cv::Mat& gray, double scale, PointD near, double radius, double within);

} // namespace instrument::propose
