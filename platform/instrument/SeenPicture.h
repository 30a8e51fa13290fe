// How the camera's own picture lies on the phone's frame: the user sees it turned by the
// picture's turns, and the frame holds that view turned back by the way the phone is held.
#pragma once

#include "device/Aiming.h"
#include "device/CameraSource.h"

namespace instrument {

using device::Aim;
using device::FrameSize;
using device::PointD;

struct SeenPicture {
    FrameSize source; // the picture as its source holds it
    int pictureTurns = 0; // quarter turns clockwise, as the user sees it
    int heldTurns = 0; // how the frame holds the user's view (device/Holding.h)
};

// A point of `frame` (continuous pixels) as fractions of the source's picture, under `aim`.
PointD FrameToSource(const Aim& aim, const SeenPicture& seen, FrameSize frame, PointD framePoint);
// A point of the source's picture (fractions) on `frame`.
PointD SourceToFrame(const Aim& aim, const SeenPicture& seen, FrameSize frame, PointD sourcePoint);
// A direction in the source's picture (y downward) as it lies on the frame.
PointD SourceDirectionOnFrame(const SeenPicture& seen, PointD direction);
// The aim that shows a point of the source's picture (fractions) at `framePoint`.
Aim AimSourceAt(double zoom, const SeenPicture& seen, FrameSize frame, PointD sourcePoint, PointD framePoint);
// Frame pixels to one of the source's pixels under `aim`.
double SourceScale(const Aim& aim, const SeenPicture& seen, FrameSize frame);

} // namespace instrument
