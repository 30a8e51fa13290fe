// What the finger says of a search: the reason named with what was seen, and a reading's
// uncertainty said plainly where the readout's tenth claims more.
#include "instrument/Told.h"

#include <cstdio>

namespace instrument {

namespace {

// A reading whose angle is known no better than this many degrees is laid, and said so.
constexpr double kTenth = 0.1;

} // namespace

// What spoiled a search, as the user would say it; `scale` is screen pixels a picture pixel.
std::string Told(const Look& look, double scale, double within, bool edge)
{
    char buf[160];
    switch (look.why) {
    case Why::Away:
        std::snprintf(buf, sizeof buf, "the nearest %s is %.0f px away (%s is read within %.0f px of the point)",
                      edge ? "edge" : "corner", look.away * scale, edge ? "an edge" : "a corner", within);
        break;
    case Why::Bends: std::snprintf(buf, sizeof buf, "this edge bends: %.1f\u00b0 between its halves", look.bend); break;
    case Why::Short:
        std::snprintf(buf, sizeof buf, "an edge is too short to fix the angle (to within %.1f\u00b0)", kMostDoubtDeg);
        break;
    case Why::Faint: std::snprintf(buf, sizeof buf, "an edge is too faint to follow"); break;
    case Why::Two: std::snprintf(buf, sizeof buf, "two corners meet here: point inside the one you mean"); break;
    default: std::snprintf(buf, sizeof buf, "nothing found"); break;
    }
    return buf;
}

// A reading's uncertainty goes with it; a wide one is said plainly.
void Measured(Plan& plan, double uncertainty, const char* what)
{
    plan.uncertainty = uncertainty;
    if (uncertainty > kTenth) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "the %s is read to \u00b1%.*f\u00b0 only, not to the tenth shown", what,
                      uncertainty < 1 ? 2 : 1, uncertainty);
        plan.notice = buf;
    }
}

} // namespace instrument
