// What the window's files share: the steps for tilting, aiming and zooming, and the pitch
// range the tilt sensor reports.
#pragma once

#include <cmath>

#include "device/Display.h"

namespace sdl::detail {

constexpr float kPitchStep = 5.0f;
constexpr int kPanStep = 40;       // screen pixels per arrow key
constexpr int kFinePanStep = 5;    // with Shift
constexpr double kZoomStep = 1.189207115002721; // 2^(1/4): four steps double the zoom
constexpr double kMinZoom = 1.0;
constexpr double kMaxZoom = 8.0;
constexpr int kMaxShrink = 8;
// At zoom 1 the camera's picture covers the landscape screen.
constexpr double kPictureWidth = device::Display::kLongSide;
constexpr double kPictureHeight = device::Display::kShortSide;

// Pitch in (-180, 180], the range the tilt sensor reports.
inline float WrapPitch(float pitch)
{
    double r = std::fmod(static_cast<double>(pitch) + 180.0, 360.0);
    if (r <= 0.0) {
        r += 360.0;
    }
    return static_cast<float>(r - 180.0);
}

} // namespace sdl::detail
