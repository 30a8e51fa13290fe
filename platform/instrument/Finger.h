// The device's own finger: it finds an edge or a corner in the camera's picture and lays the
// needles along it with the touches a person would make (press on the needle, carry it far out
// along the edge, lift), so the application reads the edge's angle like any other drag.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "device/Aiming.h"
#include "device/TouchPanel.h"
#include "instrument/Dial.h"
#include "instrument/EdgeFinder.h"
#include "instrument/NeedleWatch.h"
#include "instrument/Plan.h"

namespace device {
class Device;
}

namespace instrument {

using device::PointD;

// A search made ready while the camera lends its own picture now (on the event thread),
// finished on any thread.
struct Pending {
    Find find = Find::Corner;
    Request request;
    std::string refusal; // why nothing is searched for at all
    bool looked = false; // the camera had a picture
    device::FrameSize size; // the camera's own picture, as its source holds it
    int pictureTurns = 0; // how the user sees it turned (quarter turns clockwise)
    int heldTurns = 0; // and how the phone's screen holds that view
    Search search;
    PointD hub; // in picture pixels
    double tolerance = 0;
    PicturePart part;
    std::optional<device::FrameTime> frame; // the recording's frame looked at, if any
};
Pending Prepare(device::Device& device, const Request& request, Find find);
Plan Finish(const Pending& pending);
// The plan for a corner already found in the pending's picture: its meeting point aimed under
// the hub and both needles laid along it, or why not.
Plan PlanFor(const Pending& pending, const Corner& corner);

// `edge`: the needle nearest the point along the straight edge nearest it that passes
// through the hub. `corner`: the two edges meeting nearest the point, their meeting point
// aimed under the hub and both needles laid along them. Prepared and finished at once.
Plan PlanEdge(device::Device& device, const Request& request);
Plan PlanCorner(device::Device& device, const Request& request);

// A request from what the watch sees and the camera's aim, for a screen point.
Request Ask(device::Device& device, NeedleWatch& watch, PointD screen);

// Carries a plan out through the device's touch panel, after `aim` has aimed the camera.
void Carry(device::Device& device, const Plan& plan, const std::function<void(const device::Aim&)>& aim);

} // namespace instrument
