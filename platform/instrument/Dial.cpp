// The dial model's numbers: the tilt bands, the needles' grab bands, the controls' boxes and
// the application's rule for the angle of a finger.
#include "instrument/Dial.h"

#include <algorithm>
#include <cmath>

#include "device/Geometry.h"

namespace instrument {

using device::Deg;
using device::Rad;

namespace {

constexpr PointD TouchPixels(PointD continuous) { return {continuous.x - 0.5, continuous.y - 0.5}; }
// A press this far out takes each needle: inside its band with room either side.
constexpr DialShape kHalf{HubOf(Dial::Half), TouchPixels(MeasuringCentreOf(Dial::Half)), 100.0, 286.0};
constexpr DialShape kRound{HubOf(Dial::Round), TouchPixels(MeasuringCentreOf(Dial::Round)), 60.0, 184.0};
static_assert(kHalf.measuringGrab < GrabOf(Dial::Half).measuringBelow);
static_assert(kHalf.originGrab > GrabOf(Dial::Half).originAbove && kHalf.originGrab < GrabOf(Dial::Half).originBelow);
static_assert(kRound.measuringGrab < GrabOf(Dial::Round).measuringBelow);
static_assert(kRound.originGrab > GrabOf(Dial::Round).originAbove &&
              kRound.originGrab < GrabOf(Dial::Round).originBelow);

} // namespace

int LayoutForPitch(float pitch, int shown)
{
    // The bands are open at both ends; a pitch of exactly -180 or 180 is upside down.
    if (pitch > -10.0f && pitch < 10.0f) {
        return 0;
    }
    if (pitch > -100.0f && pitch < -80.0f) {
        return 2;
    }
    if (pitch > 80.0f && pitch < 100.0f) {
        return 3;
    }
    if ((pitch >= -180.0f && pitch < -170.0f) || (pitch > 170.0f && pitch <= 180.0f)) {
        return 1;
    }
    return shown;
}

Dial DialForPitch(float pitch, Dial shown) { return DialOfLayout(LayoutForPitch(pitch, shown == Dial::Half ? 2 : 0)); }

bool NeedleAt(Dial dial, double distance, Needle& needle)
{
    const Grab g = GrabOf(dial);
    if (distance < g.measuringBelow) {
        needle = Needle::Measuring;
        return true;
    }
    if (distance > g.originAbove && distance < g.originBelow) {
        needle = Needle::Origin;
        return true;
    }
    return false;
}

const DialShape& ShapeOf(Dial dial) { return dial == Dial::Half ? kHalf : kRound; }

double AngleAt(Dial dial, int x, int y)
{
    // The application's own rule: from the centre, against the dial's zero direction.
    const DialShape& s = ShapeOf(dial);
    const double vx = double(x) - s.centre.x, vy = double(y) - s.centre.y;
    const double l = std::sqrt(vx * vx + vy * vy);
    if (l == 0) {
        return -1;
    }
    if (dial == Dial::Half) {
        return Deg(std::acos(std::clamp(-vx / l, -1.0, 1.0)));
    }
    const double a = Deg(std::acos(std::clamp(vy / l, -1.0, 1.0)));
    return x > 399 ? 360.0 - a : a;
}

PointD Direction(Dial dial, double angle)
{
    const double a = Rad(angle);
    return dial == Dial::Half ? PointD{-std::cos(a), -std::sin(a)} : PointD{-std::sin(a), std::cos(a)};
}

ControlPlaces ControlsOf(int layout)
{
    // The hold button is 64 by 66, the information button 50 by 50, the readout's frame 250 by 60.
    switch (layout) {
    case 0: return {{15, 230, 75, 480}, {15, 15, 81, 79}, {15, 15, 79, 81}, {90, 415, 140, 465}};
    case 1: return {{725, 0, 785, 250}, {721, 399, 785, 465}, {721, 399, 785, 465}, {660, 15, 710, 65}};
    case 3: return {{550, 15, 800, 75}, {15, 15, 79, 81}, {15, 15, 79, 81}, {735, 90, 785, 140}};
    default: return {{0, 15, 250, 75}, {721, 15, 785, 81}, {721, 15, 785, 81}, {15, 90, 65, 140}};
    }
}

} // namespace instrument
