// The series drawn as angle over time with cairo, as PNG or SVG by the file's name: axes in
// seconds and degrees, the uncertainty as a band about the line, and gaps where nothing was read.
#pragma once

#include <string>
#include <vector>

#include "Series.h"

namespace readings {

// Where the plot's data lands: its area in pixels and the times and angles at its edges.
struct PlotLayout {
    int width = 1000, height = 520;
    double left = 78, right = 976, top = 40, bottom = 460; // the data area, in pixels
    double t0 = 0, t1 = 1; // seconds at left and right
    double a0 = 0, a1 = 180; // degrees at bottom and top
    double tStep = 0.1, aStep = 10; // between labelled ticks
    double X(double t) const { return left + (t - t0) / (t1 - t0) * (right - left); }
    double Y(double a) const { return bottom - (a - a0) / (a1 - a0) * (bottom - top); }
};

PlotLayout LayOut(const std::vector<SeriesRow>& rows);

// The plot's colours (0xRRGGBB), for whoever checks a drawing.
constexpr unsigned kLineColour = 0x1f4e99;
constexpr unsigned kBandColour = 0xaec6ee;
constexpr unsigned kGapColour = 0xf6d5cc;

// Writes the plot to `path` (".png" or ".svg", any case) whole or not at all: aside, then
// renamed over a regular file there. False with a one-line reason.
bool WritePlot(const std::vector<SeriesRow>& rows, const std::string& path, std::string& reason);

} // namespace readings
