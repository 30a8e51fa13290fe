// Aiming arithmetic shared by the window, scripts and the picture sources, so that all of
// them agree on where a picture point lands.
#include "device/Aiming.h"

#include <algorithm>
#include <cmath>

namespace device {

namespace {

FrameSize Known(FrameSize picture, FrameSize frame)
{
    return picture.width > 0 && picture.height > 0 ? picture : frame;
}

} // namespace

Aim ClampAim(const Aim& aim)
{
    Aim a;
    a.zoom = std::isfinite(aim.zoom) ? std::clamp(aim.zoom, kMinZoom, kMaxZoom) : 1.0;
    // At zoom z the frame spans at most 1/z of the picture's width (or height) about its centre.
    const double reach = 0.5 + 0.5 / a.zoom;
    a.centerX = std::isfinite(aim.centerX) ? std::clamp(aim.centerX, 0.5 - reach, 0.5 + reach) : 0.5;
    a.centerY = std::isfinite(aim.centerY) ? std::clamp(aim.centerY, 0.5 - reach, 0.5 + reach) : 0.5;
    return a;
}

double CoverScale(FrameSize picture, FrameSize frame)
{
    const FrameSize p = Known(picture, frame);
    if (p.width <= 0 || p.height <= 0 || frame.width <= 0 || frame.height <= 0) {
        return 1.0;
    }
    return std::max(double(frame.width) / p.width, double(frame.height) / p.height);
}

double WholePictureZoom(FrameSize picture, FrameSize frame)
{
    const FrameSize p = Known(picture, frame);
    if (p.width <= 0 || p.height <= 0 || frame.width <= 0 || frame.height <= 0) {
        return 1.0;
    }
    const double contain = std::min(double(frame.width) / p.width, double(frame.height) / p.height);
    return std::clamp(contain / CoverScale(p, frame), kMinZoom, 1.0);
}

PointD FrameToPicture(const Aim& aim, FrameSize picture, FrameSize frame, PointD framePoint)
{
    const FrameSize p = Known(picture, frame);
    const Aim a = ClampAim(aim);
    const double scale = CoverScale(p, frame) * a.zoom;
    return {a.centerX + (framePoint.x - frame.width / 2.0) / (p.width * scale),
            a.centerY + (framePoint.y - frame.height / 2.0) / (p.height * scale)};
}

PointD PictureToFrame(const Aim& aim, FrameSize picture, FrameSize frame, PointD picturePoint)
{
    const FrameSize p = Known(picture, frame);
    const Aim a = ClampAim(aim);
    const double scale = CoverScale(p, frame) * a.zoom;
    return {frame.width / 2.0 + (picturePoint.x - a.centerX) * p.width * scale,
            frame.height / 2.0 + (picturePoint.y - a.centerY) * p.height * scale};
}

Aim AimPointAt(double zoom, FrameSize picture, FrameSize frame, PointD picturePoint, PointD framePoint)
{
    const FrameSize p = Known(picture, frame);
    Aim a;
    a.zoom = ClampAim(Aim{zoom, 0.5, 0.5}).zoom;
    const double scale = CoverScale(p, frame) * a.zoom;
    a.centerX = picturePoint.x - (framePoint.x - frame.width / 2.0) / (p.width * scale);
    a.centerY = picturePoint.y - (framePoint.y - frame.height / 2.0) / (p.height * scale);
    return ClampAim(a);
}

} // namespace device
