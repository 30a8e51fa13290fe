// The device's own finger: it finds an edge or a corner in the camera's picture and lays the
// needles along it with the touches a person would make (press on the needle, carry it far out
// along the edge, lift), so the application reads the edge's angle like any other drag.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "device/Aiming.h"
#include "device/TouchPanel.h"
#include "instrument/Dial.h"
#include "instrument/EdgeFinder.h"

namespace device {
class Device;
}

namespace instrument {

using device::PointD;

// What the user sees of the needles: the dial the phone shows and where both needles lie,
// kept from every touch that reaches the touch panel (the application starts them at 0 and
// 90 degrees on both dials). It watches while it lives.
class NeedleWatch {
public:
    explicit NeedleWatch(device::Device& device);
    ~NeedleWatch();
    NeedleWatch(const NeedleWatch&) = delete;
    NeedleWatch& operator=(const NeedleWatch&) = delete;

    Dial Shown();
    double Angle(Dial dial, Needle needle) const;
    // A finger is on the screen (pressed and not yet lifted).
    bool FingerDown() const { return m_down; }

private:
    void See(device::TouchPhase phase, int x, int y);
    void Turn(int x, int y);

    device::Device& m_device;
    int m_watcher = 0;
    Dial m_dial = Dial::Half;
    double m_angles[2][2] = {{0.0, 90.0}, {0.0, 90.0}};
    int m_held[2] = {-1, -1};
    int m_lastX = 0;
    int m_lastY = 0;
    bool m_down = false;
};

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
};
Pending Prepare(device::Device& device, const Request& request, Find find);
Plan Finish(const Pending& pending);

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
