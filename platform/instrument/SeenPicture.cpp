// Points and directions carried between the camera's own picture and the phone's frame,
// through the picture's turns and the holding's.
#include "instrument/SeenPicture.h"

#include "device/Holding.h"

namespace instrument {

using device::NormalTurns;
using device::TurnedFrame;
using device::TurnPoint;

namespace {

FrameSize Turned(const SeenPicture& seen) { return TurnedFrame(seen.source, seen.pictureTurns); }

} // namespace

PointD FrameToSource(const Aim& aim, const SeenPicture& seen, FrameSize frame, PointD framePoint)
{
    const PointD seenPoint = FrameToPicture(aim, Turned(seen), TurnedFrame(frame, seen.heldTurns),
                                            TurnPoint(framePoint, frame, seen.heldTurns));
    return TurnPoint(seenPoint, {1, 1}, -seen.pictureTurns);
}

PointD SourceToFrame(const Aim& aim, const SeenPicture& seen, FrameSize frame, PointD sourcePoint)
{
    const FrameSize view = TurnedFrame(frame, seen.heldTurns);
    const PointD onView = PictureToFrame(aim, Turned(seen), view, TurnPoint(sourcePoint, {1, 1}, seen.pictureTurns));
    return TurnPoint(onView, view, -seen.heldTurns);
}

PointD SourceDirectionOnFrame(const SeenPicture& seen, PointD direction)
{
    // As TurnPoint turns a point a quarter clockwise, (x, y) -> (-y, x).
    for (int i = 0; i < NormalTurns(seen.pictureTurns - seen.heldTurns); i++) {
        direction = {-direction.y, direction.x};
    }
    return direction;
}

Aim AimSourceAt(double zoom, const SeenPicture& seen, FrameSize frame, PointD sourcePoint, PointD framePoint)
{
    return AimPointAt(zoom, Turned(seen), TurnedFrame(frame, seen.heldTurns),
                      TurnPoint(sourcePoint, {1, 1}, seen.pictureTurns), TurnPoint(framePoint, frame, seen.heldTurns));
}

double SourceScale(const Aim& aim, const SeenPicture& seen, FrameSize frame)
{
    return CoverScale(Turned(seen), TurnedFrame(frame, seen.heldTurns)) * ClampAim(aim).zoom;
}

} // namespace instrument
