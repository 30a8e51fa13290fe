// The truth a corner's reading is judged against, measured apart from the edge finder: each arm
// from gradient profiles read across a hand-placed stretch, a robust line and a bootstrap.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cornertruth {

struct Point {
    double x = 0;
    double y = 0;
};

// Grey levels of a picture, row by row; points are continuous pixels ((0.5, 0.5) is the middle
// of the top-left pixel).
struct Gray {
    int width = 0;
    int height = 0;
    std::vector<float> v;
    static Gray FromArgb(const std::uint32_t* pixels, int width, int height);
};

// One arm: the edge found across a stretch from `from` (the end at the corner) to `to`.
struct ArmFit {
    bool ok = false;
    std::string why; // when not ok
    Point point; // on the fitted line
    Point direction; // unit, from `from` towards `to`
    double halfWidth95 = 0; // degrees: about a 95 % interval of the direction
    double bend = 0; // degrees between the near and far halves' own lines
    double rms = 0; // pixels: the edge points' spread about the line
    int points = 0;
};

// `across`: how far either side of the stretch the edge is looked for, in pixels.
ArmFit FitArm(const Gray& g, Point from, Point to, double across);

struct CornerTruth {
    bool ok = false;
    std::string why;
    double opening = 0; // degrees between the arms, 0 to 180
    double halfWidth95 = 0; // degrees
    Point vertex;
    ArmFit arms[2];
};

CornerTruth Measure(const Gray& g, Point from1, Point to1, Point from2, Point to2, double across);

} // namespace cornertruth
