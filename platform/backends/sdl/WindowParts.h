// What the window's files share: the steps for tilting, aiming and zooming, and the
// geometry of the view (the screen turned and fitted into the window) and its inverse.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>

#include "device/Aiming.h"
#include "device/Display.h"
#include "device/Holding.h"

namespace sdl::detail {

constexpr float kPitchStep = 5.0f;
constexpr int kPanStep = 40;       // screen pixels per arrow key
constexpr int kFinePanStep = 5;    // with Shift
constexpr double kWheelScroll = 60.0; // screen pixels the help page scrolls per wheel step
constexpr double kZoomStep = 1.189207115002721; // 2^(1/4): four steps double the zoom
constexpr int kMaxShrink = 8;
// With Shift held the finger moves this much less than the mouse.
constexpr double kFineDrag = 10.0;
// The loupe shows this many screen pixels a side, on this share of the view's short side.
constexpr int kLoupeSpan = 41;
constexpr double kLoupeShare = 0.34;
// N and P look at files for at most this long before the window draws and reads input again.
constexpr std::chrono::milliseconds kStepSlice{20};
// The camera's frames cover the landscape screen one to one.
constexpr device::FrameSize kFrame{device::Display::kLongSide, device::Display::kShortSide};

// Pitch in (-180, 180], the range the tilt sensor reports.
inline float WrapPitch(float pitch)
{
    double r = std::fmod(static_cast<double>(pitch) + 180.0, 360.0);
    if (r <= 0.0) {
        r += 360.0;
    }
    return static_cast<float>(r - 180.0);
}

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
};

// The screen's size once turned `turns` quarter turns clockwise.
inline Box TurnedSize(int width, int height, int turns)
{
    return turns % 2 == 1 ? Box{0, 0, height, width} : Box{0, 0, width, height};
}

// The largest box of the view's shape that fits the output, centred (letterboxed).
inline Box FitView(int outW, int outH, int viewW, int viewH)
{
    if (outW <= 0 || outH <= 0 || viewW <= 0 || viewH <= 0) {
        return {};
    }
    const double s = std::min(double(outW) / viewW, double(outH) / viewH);
    const int w = std::max(1, static_cast<int>(std::lround(viewW * s)));
    const int h = std::max(1, static_cast<int>(std::lround(viewH * s)));
    return {(outW - w) / 2, (outH - h) / 2, w, h};
}

// A point of the view (the screen turned `turns` quarter turns clockwise) as a point of the
// screen (width x height), both in continuous pixels.
inline device::PointD ViewToScreen(device::PointD v, int width, int height, int turns)
{
    return device::TurnPoint(v, device::TurnedFrame({width, height}, turns), -turns);
}

// The inverse: where a screen point is seen in the view.
inline device::PointD ScreenToView(device::PointD s, int width, int height, int turns)
{
    return device::TurnPoint(s, {width, height}, turns);
}

// How much larger than the phone's own pixels the window starts, for a view viewW wide on a
// desktop of usableW x usableH pixels at `dpi` dots per inch (0: unknown). A dense
// desktop (twice from 168 dpi, three times from 264) shows the phone at whole multiples of its pixels, as the desktop
// scales its own windows; either way the window fits in 95 % of the desktop whichever way it
// is turned later, and a desktop with room for the phone's long side never shrinks it.
inline double StartScale(int viewW, int usableW, int usableH, float dpi)
{
    if (usableW <= 0 || usableH <= 0 || viewW <= 0) {
        return 1.0;
    }
    double scale = 1.0;
    if (std::isfinite(dpi) && dpi >= 144.0f) {
        scale = std::floor(dpi / 96.0 + 0.25);
    }
    const int longSide = device::Display::kLongSide;
    scale = std::min(scale, std::min(usableW * 0.95 / longSide, usableH * 0.95 / longSide));
    scale = std::min(scale, std::max(usableW * 0.95 / viewW, 0.1));
    if (longSide <= usableH && longSide <= usableW && scale < 1.0) {
        scale = 1.0;
    }
    return scale;
}

// The window's start size where the desktop counts in units of `units` pixels each (a Wayland
// output's scale; 1 on X): worked out in pixels, then given in the desktop's units.
inline Box StartSize(int viewW, int viewH, int usableW, int usableH, float dpi, int units)
{
    units = std::max(units, 1);
    const double scale = StartScale(viewW, usableW * units, usableH * units, dpi);
    return {0, 0, std::max(1, static_cast<int>(std::lround(viewW * scale / units))),
            std::max(1, static_cast<int>(std::lround(viewH * scale / units)))};
}

} // namespace sdl::detail
