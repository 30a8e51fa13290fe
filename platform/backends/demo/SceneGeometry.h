// The demo scene's layout, shared by its drawing and its list of known angles: every
// measurable corner follows from these few numbers, so the two cannot drift apart.
#pragma once

#include <cairo.h>

#include <cmath>

#include "device/Geometry.h"

namespace demo::scene {

using device::kPi;
using Pt = device::PointD;

// Unit vector for a screen direction in degrees (0 right, counter-clockwise, y grows downwards).
inline Pt Dir(double deg) { return {std::cos(deg * kPi / 180.0), -std::sin(deg * kPi / 180.0)}; }

// Where the line p + s*d meets the horizontal line at height y.
inline Pt AtY(Pt p, Pt d, double y) { return p + ((y - p.y) / d.y) * d; }

// Everything measurable is derived from these few numbers, so the list of known angles and
// the drawing cannot drift apart.
struct Geometry {
    // Roof-truss model lying ridge-down, its ridge on the landscape dial's centre.
    Pt apex{400.0, 469.0};
    double pitchDeg = 37.5; // rafters against the tie beam
    double rafterLength = 280.0; // along the outer edge, ridge to heel
    double rafterWidth = 24.0;
    double tieWidth = 24.0;
    // Set square (30/60/90) with its 60 degree corner on the portrait dial's centre.
    Pt squareCorner{399.0, 239.0};
    double squareLegDeg = 80.0; // short leg
    double squareHypDeg = 20.0; // hypotenuse
    double squareShortLeg = 160.0;

    double RightRafterDeg() const { return pitchDeg; }
    double LeftRafterDeg() const { return 180.0 - pitchDeg; }
    Pt LeftHeel() const { return apex + rafterLength * Dir(LeftRafterDeg()); }
    Pt RightHeel() const { return apex + rafterLength * Dir(RightRafterDeg()); }
    double TieTop() const { return LeftHeel().y; }
    Pt SquareA() const { return squareCorner + squareShortLeg * Dir(squareLegDeg); }
    Pt SquareB() const { return squareCorner + 2.0 * squareShortLeg * Dir(squareHypDeg); }
};

inline const Geometry& Geo()
{
    static const Geometry g;
    return g;
}

// The pocket watch, the only thing that changes from frame to frame.
constexpr Pt kWatchCentre{148.0, 142.0};
constexpr double kWatchFace = 54.0; // radius of the dial face
constexpr double kWatchCase = 64.0; // radius of the case around it

enum class Layer { Still, Moving };

// The whole picture in 800x480 scene coordinates; the caller sets the transform to the output.
// Drawing the still layer and then the moving layer gives the complete frame.
void DrawScene(cairo_t* cr, Layer layer, double seconds);

} // namespace demo::scene
