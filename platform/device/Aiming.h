// Where a point of the camera's picture lands in a frame under a given aim, and the aim
// that puts a chosen picture point on a chosen frame point (under a dial's hub, say).
#pragma once

#include "device/CameraSource.h"
#include "device/Geometry.h"

namespace device {

// Zoom 1 covers the frame with the picture; below it the whole picture shows with black
// beside it (a wide picture letterboxed), down to an eighth.
inline constexpr double kMinZoom = 0.125;
inline constexpr double kMaxZoom = 8.0;

// Keeps an aim drawable: zoom finite and within range, and the centre no further out than
// needed to put the picture's edge on the frame's far edge (so every picture point can
// reach every frame point, and no distance piles up beyond that). NaN becomes the default.
Aim ClampAim(const Aim& aim);

// Frame pixels per picture pixel when a `picture` covers a `frame` at zoom 1. A picture
// of unknown size (0 x 0) is taken to be the frame's size.
double CoverScale(FrameSize picture, FrameSize frame);

// The zoom that shows the whole picture in the frame, letterboxed (1 when the shapes match).
double WholePictureZoom(FrameSize picture, FrameSize frame);

// The picture point seen at a frame point under `aim`.
PointD FrameToPicture(const Aim& aim, FrameSize picture, FrameSize frame, PointD framePoint);
// The frame point where a picture point is seen under `aim`.
PointD PictureToFrame(const Aim& aim, FrameSize picture, FrameSize frame, PointD picturePoint);
// The aim at `zoom` that shows `picturePoint` at `framePoint` (clamped like any aim).
Aim AimPointAt(double zoom, FrameSize picture, FrameSize frame, PointD picturePoint, PointD framePoint);

} // namespace device
