// The protractor's dials as the phone shows them: which dial a pitch brings up, its hub, the
// centre it measures a finger from, which needle a press takes, and where each layout puts its controls.
#pragma once

#include "device/Aiming.h"

namespace instrument {

using device::PointD;

// The half dial along the bottom edge while the phone is held sideways (it covers the upper
// half about its hub); the round dial in the middle while it is held upright (the whole turn).
enum class Dial { Half, Round };
enum class Needle { Measuring, Origin };

// The layout shown once a tilt reading of `pitch` has come, `shown` before it: 0 upright, 1
// upright upside down, 2 sideways, 3 sideways turned over. Only a pitch near one of the four
// holdings changes it; between the bands, and for no number at all, it stays.
int LayoutForPitch(float pitch, int shown);
constexpr Dial DialOfLayout(int layout) { return layout == 2 || layout == 3 ? Dial::Half : Dial::Round; }
// The same for the dial alone.
Dial DialForPitch(float pitch, Dial shown);

// The hub of a dial (the pivot its needles turn about) and the centre it measures angles from
// (the middle of the screen's bottom edge, or of the screen), in continuous pixels of the
// landscape screen: a finger on pixel (x, y) is measured from that centre through the middle of
// the pixel.
constexpr PointD HubOf(Dial dial) { return dial == Dial::Half ? PointD{400.5, 469.5} : PointD{399.5, 239.5}; }
constexpr PointD MeasuringCentreOf(Dial dial)
{
    return dial == Dial::Half ? PointD{400.5, 480.5} : PointD{400.5, 240.5};
}

// Which needle a press takes, by its distance from the measuring centre in touch pixels: the
// measuring needle nearer than `measuringBelow`, the origin needle between the other two, none
// elsewhere. A held needle follows the finger at any distance.
struct Grab {
    double measuringBelow;
    double originAbove;
    double originBelow;
};
constexpr Grab GrabOf(Dial dial) { return dial == Dial::Half ? Grab{166, 206, 366} : Grab{96, 128, 240}; }
// The needle a press at `distance` takes; false when it takes none.
bool NeedleAt(Dial dial, double distance, Needle& needle);

// Where a needle of each dial turns (its hub, in continuous screen pixels, which the camera's
// frames cover one to one), where the application measures a finger from (whole touch pixels,
// half a pixel short of the continuous centre), and how far from there a press takes each needle.
struct DialShape {
    PointD hub;
    PointD centre;
    double measuringGrab;
    double originGrab;
};
const DialShape& ShapeOf(Dial dial);

// The angle the application gives a needle held by a finger at touch point (x, y) (-1 at the
// centre itself), and the way a finger far out at `angle` lies from the hub: a unit direction,
// y downward.
double AngleAt(Dial dial, int x, int y);
PointD Direction(Dial dial, double angle);

// Boxes in continuous pixels of the landscape screen.
struct ScreenRect {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Meets(const ScreenRect& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
    bool Holds(PointD p) const { return p.x >= x0 && p.x < x1 && p.y >= y0 && p.y < y1; }
};
// Where a layout draws the readout's number frame and the hold button (what a loupe or a hand
// must not cover), and where a press works the hold and information buttons (drawn where they
// are pressed, but for the hold button held upright, which is drawn turned on its own box).
struct ControlPlaces {
    ScreenRect readout;
    ScreenRect hold;
    ScreenRect holdPress;
    ScreenRect infoPress;
};
ControlPlaces ControlsOf(int layout);

} // namespace instrument
