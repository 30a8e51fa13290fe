// How the phone is held: the quarter turns a pitch stands for, points of a frame turned by
// quarter turns, the dial the phone shows with its hub and the centre it measures from, and
// where its layouts put the controls.
#pragma once

#include "device/Aiming.h"
#include "device/Pixels.h"

namespace device {

// Which way the phone is held for a pitch, as quarter turns clockwise that turn its screen
// upright for the user: 0 at -90 (landscape), 1 at 0 (portrait), 2 at 90, 3 at 180.
int QuarterTurnsForPitch(float pitch);

// Quarter turns brought into 0..3.
inline int NormalTurns(int turns) { return ((turns % 4) + 4) % 4; }

// The size of a frame once turned `turns` quarter turns.
inline FrameSize TurnedFrame(FrameSize size, int turns)
{
    return NormalTurns(turns) % 2 == 1 ? FrameSize{size.height, size.width} : size;
}

// Where a point of a frame of `size` lands once the frame is turned `turns` quarter turns
// clockwise; continuous pixels, so the turn is exact.
PointD TurnPoint(PointD p, FrameSize size, int turns);

// The phone shows one of two dials: the half dial along the bottom edge while held
// landscape, the round dial in the middle while held portrait.
enum class Dial { Landscape, Portrait };

// The dial shown once a tilt reading of `pitch` has come, `shown` before it: only a pitch
// near one of the four holdings changes it (the bands of the phone's layout); between
// them, and for no number at all, it stays.
Dial DialForPitch(float pitch, Dial shown);

// The same for the layout, which also places the readout and the buttons: 0 portrait, 1
// portrait upside down, 2 landscape, 3 landscape turned over.
int LayoutForPitch(float pitch, int shown);
inline Dial DialOfLayout(int layout) { return layout == 2 || layout == 3 ? Dial::Landscape : Dial::Portrait; }

// The hub of a dial (the pivot its needles turn about) and the centre it measures angles
// from (the middle of the screen's bottom edge, or of the screen), in continuous pixels of
// the landscape screen. A finger on pixel (x, y) is measured from that centre through the
// middle of the pixel.
constexpr PointD HubOf(Dial dial)
{
    return dial == Dial::Landscape ? PointD{400.5, 469.5} : PointD{399.5, 239.5};
}
constexpr PointD MeasuringCentreOf(Dial dial)
{
    return dial == Dial::Landscape ? PointD{400.5, 480.5} : PointD{400.5, 240.5};
}

// Where a layout puts the readout's number frame and the hold button, in continuous pixels
// of the screen: what a loupe or a hand must not cover.
struct ScreenRect {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Meets(const ScreenRect& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};
struct ControlPlaces {
    ScreenRect readout;
    ScreenRect hold;
};
ControlPlaces ControlsOf(int layout);

} // namespace device
