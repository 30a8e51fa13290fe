// One straight edge fitted across a stretch of a grey picture: sub-pixel edge points, a line
// through them, how far its angle can be trusted and whether the edge bends along the stretch.
#pragma once

#include <opencv2/core.hpp>

#include "device/Aiming.h"

namespace instrument::fit {

using device::PointD;

struct Line {
    PointD point; // part pixels
    PointD direction; // unit
};

// Missing: an arm whose edge does not start where it was looked for.
enum class Fault { None, Short, Faint, Bends, Missing };

struct Fit {
    Fault fault = Fault::None;
    Line line;
    double u95 = 0; // degrees: about a 95 % interval of the line's angle
    double bend = 0; // degrees between the lines of the stretch's near and far halves
    // An arm whose edge goes on past its straight run: degrees between the run's line and the
    // line through all of it (in u95 too).
    double turn = 0;
    // Where the edge points lie along the line, from line.point.
    double t0 = 0, t1 = 0;
    int points = 0;
    // +1 where the picture grows lighter towards the line's left (+(-d.y, d.x)), -1 darker.
    int polarity = 0;
    // How much the grey level changes across the edge, four pixels apart, along the stretch
    // fitted (the median): how clear the edge is.
    double contrast = 0;
    // An arm read again over its nearer half keeps the line through all of it, and how far
    // from the start it reached along the stretch.
    Line whole;
    double reached = 0;
};

// Degrees between two lines' unit directions, either sense.
double Between(PointD a, PointD b);

// Reads across the line p + t d for t in [t0, t1], `half` pixels either side; the fitted
// direction keeps the sense of d. A stretch too short to read is Short, one with too few edge
// points Faint; one whose halves
// turn apart by more than their own uncertainty allows Bends (the line is still given).
// `want`, when not 0, is the polarity to follow: across a thick line, the side of it that grows
// lighter (+1) or darker (-1) to the left, whichever is stronger.
// An `arm` is read from t0 while its edge goes on straight, and ends where the edge does or turns
// away (an arm that bends a little is read over its nearer half; how far the angle depends on
// the stretch read goes into u95). `grain` is the
// picture's noise (grey levels, a standard deviation): an edge point must stand out of it.
Fit FitAcross(const cv::Mat& gray, PointD p, PointD d, double t0, double t1, double half, int want = 0,
              bool arm = false, double grain = 0);

} // namespace instrument::fit
