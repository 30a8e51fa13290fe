// The help page's pictures (the measuring diagram, the hold button, the phone held both ways,
// and the small protractor of the title), and the page's text colours, which they share.
#pragma once

#include "Artwork.h"

namespace resgen::help {

inline constexpr Rgba kText{0.13, 0.16, 0.20};
inline constexpr Rgba kHeading{0.06, 0.12, 0.20};
// The needle colours, darkened just enough to read as text on white.
inline constexpr Rgba kMeasureText{0.84, 0.19, 0.06};
inline constexpr Rgba kOriginText{0.04, 0.45, 0.78};

// A little half-circle protractor; used in the title and the phone sketches.
void MiniProtractor(cairo_t* cr, Pt c, double r, Rgba scale, bool needles);
// Each diagram is drawn across the page's width from `top` down.
void MeasuringDiagram(cairo_t* cr, double top);
void HoldDiagram(cairo_t* cr, double top);
void PhonesDiagram(cairo_t* cr, double top);

} // namespace resgen::help
