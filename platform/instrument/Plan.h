// What the finger is asked (a point, the dial shown, where the needles lie, how the camera is
// aimed) and what it will do: aim the camera and touch, with what it measured, or say why not.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/Aiming.h"
#include "device/CameraSource.h"
#include "device/TouchPanel.h"
#include "instrument/Dial.h"
#include "instrument/EdgeFinder.h"

namespace instrument {

struct Touch {
    device::TouchPhase phase;
    int x;
    int y;
};

// A stretch of the picture a line was fitted over, in fractions of the source's picture (as
// instrument::SourceToFrame takes them), so it can be drawn wherever the camera is aimed later.
struct Stretch {
    PointD from;
    PointD to;
};

// What the finger will do: aim the camera, then touch; or, when nothing fits, only say why.
// A plan that measured something says how far its angle can be trusted (degrees, about a 95 %
// interval) and over which stretches its lines were fitted; a refused one has a notice, no
// touches and no stretches.
struct Plan {
    std::string notice;
    bool aims = false;
    device::Aim aim;
    std::vector<Touch> touches;
    double uncertainty = 0;
    std::vector<Stretch> fitted;
    // The video's frame the picture was searched in, for a camera that plays a recording.
    std::optional<device::FrameTime> frame;
    // The corner laid, in the camera's own picture pixels, for following it from there.
    std::optional<Corner> corner;
    bool Refused() const { return touches.empty(); }
};

struct Request {
    PointD screen; // continuous screen pixels
    Dial dial = Dial::Half;
    double measuring = 0; // where the needles lie now, in the dial's degrees
    double origin = 90;
    device::Aim aim; // how the camera is aimed now
    bool fingerDown = false; // a finger is on the screen: the device's own waits for it to lift
};

enum class Find { Edge, Corner };

} // namespace instrument
