// The view's geometry, free of SDL: the phone's screen turned as it is held and fitted into
// the window (letterboxed), window points back onto the screen, and the size it opens at.
#pragma once

#include <algorithm>
#include <cmath>

#include "device/Aiming.h"
#include "device/Display.h"
#include "device/Holding.h"

namespace sdl::detail {

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

// Everything that places the screen in the window at one moment: the screen's size, how
// it is turned, the window in its own units and the renderer's output in pixels (more of
// them than units on a dense desktop).
struct ViewShape {
    int screenW = 0, screenH = 0;
    int turns = 0;
    int windowW = 0, windowH = 0;
    int outputW = 0, outputH = 0;

    int ViewW() const { return TurnedSize(screenW, screenH, turns).w; }
    int ViewH() const { return TurnedSize(screenW, screenH, turns).h; }
    // Where the view lies in the output, in output pixels.
    Box Fitted() const { return FitView(outputW, outputH, ViewW(), ViewH()); }
};

// A window point (in the window's own units) as a point of the screen, in continuous screen
// pixels ((0.5, 0.5) is the middle of the top-left pixel); not clamped. A window with no
// view yet maps everything onto the screen's corner.
inline device::PointD WindowToScreen(const ViewShape& shape, double wx, double wy)
{
    const double ox = wx * std::max(shape.outputW, 1) / std::max(shape.windowW, 1);
    const double oy = wy * std::max(shape.outputH, 1) / std::max(shape.windowH, 1);
    const Box r = shape.Fitted();
    if (r.w <= 0 || r.h <= 0) {
        return {0, 0};
    }
    const device::PointD v{(ox - r.x) * shape.ViewW() / r.w, (oy - r.y) * shape.ViewH() / r.h};
    return ViewToScreen(v, shape.screenW, shape.screenH, shape.turns);
}

// How much larger than the phone's own pixels the window starts, for a view viewW wide on a
// desktop of usableW x usableH pixels at `dpi` dots per inch (0: unknown). A dense desktop
// (twice from 168 dpi, three times from 264) shows the phone at whole multiples of its
// pixels, as the desktop scales its own windows; either way the window fits in 95 % of the
// desktop whichever way it is turned later, and a desktop with room for the phone's long
// side never shrinks it.
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
