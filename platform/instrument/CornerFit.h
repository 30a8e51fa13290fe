// One corner proposal fitted on the full-resolution picture, and the picture's grain that every
// edge point must stand out of.
#pragma once

#include "instrument/EdgeFinder.h"
#include "instrument/PictureData.h"
#include "instrument/Proposals.h"

namespace instrument::fit {

// How far across the line the second, fine fit looks for the edge, in pixels.
inline constexpr double kFineHalfWidth = 4.0;
// An edge fitted over fewer pixels than this (or than the point may lie from its corner) cannot
// fix an angle.
inline constexpr double kMinArm = 10.0;

struct Fitted {
    Why why = Why::Found;
    bool fitted = false; // both arms were fitted: the corner is what they make, whatever spoiled it
    double bend = 0;
    int inside = 1; // the inside is lighter (+1) or darker (-1) than the outside
    Corner corner; // part pixels
};

// The picture's grain (noise, fine texture), grey levels as a standard deviation.
double Grain(const cv::Mat& gray);

// Fits both arms of a proposed corner, reaching `reach` along each; `within` is how far the point
// may lie from the corner. `inside` says whether the corner's inside is lighter (+1) or darker
// (-1) than its outside.
Fitted FitCorner(const PicturePart::Data& part, const propose::Candidate& c, double coarseHalf, double reach,
                 double within, int inside);

// Widens a fitted corner's uncertainty by how far its arms turn where their edges go on, read as
// far as `farther` (part pixels) from the corner; the most either turns, in degrees.
double LookFurther(const PicturePart::Data& part, Fitted& fitted, double farther);

// Whether the edge along a corner's `arm` (part pixels) runs on past its vertex as the same line.
bool RunsOn(const PicturePart::Data& part, const Corner& k, PointD arm, PointD other);

// Of two fits of one proposal, whether `l` is the one to keep.
bool Better(const Fitted& l, const Fitted& r, PointD proposed);

} // namespace instrument::fit
