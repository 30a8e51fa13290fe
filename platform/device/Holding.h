// How the phone is held: the quarter turns a pitch stands for, and points of a frame turned by
// quarter turns (the camera turns with the phone, so the world stays upright).
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

} // namespace device
