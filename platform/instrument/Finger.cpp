// The device's finger: from a screen point to an edge or a corner in the camera's own picture,
// and from there to the touches that lay the needles along it.
#include "instrument/Finger.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <optional>

#include "device/Device.h"
#include "device/Display.h"
#include "device/Holding.h"
#include "instrument/EdgeFinder.h"
#include "instrument/SeenPicture.h"
#include "instrument/Told.h"

namespace instrument {

namespace {

using device::Deg;
using device::Rad;
constexpr device::FrameSize kFrame{device::Display::kLongSide, device::Display::kShortSide};

// The camera's own picture as it lies on the phone's screen when the search was asked for.
instrument::SeenPicture Seen(const Pending& p) { return {p.size, p.pictureTurns, p.heldTurns}; }
// A held needle follows the finger at any distance; this far out the few pixels between the hub
// and the point the application measures from turn it by less than a thousandth of a degree.
constexpr double kFarOut = 400000.0;
// How near the point (in screen pixels) corners and edges are looked for, and how near it a
// corner's fitted meeting point must lie to be the one pointed at: the same on the screen at
// every zoom, whatever that is in the picture's pixels.
constexpr double kCornerReach = 120.0;
constexpr double kCornerWithin = 12.0;
constexpr double kEdgeReach = 60.0;

// Edges are fitted over at least this many picture pixels around the point, whatever the zoom:
// zoomed far in, the reach alone would leave arms a few dozen pixels long, and a blurred edge
// fitted along so little is off by a degree.
constexpr double kFitReach = 120.0;
// How near the hub an edge's line must pass, in screen pixels, to be laid from it.
constexpr double kThroughHub = 4.0;
// On the half dial an edge this little below the horizontal is laid along it.
constexpr double kLevelDeg = 0.05;
// The readout cuts the angle to tenths; a corner laid this much wider reads its nearest tenth.
constexpr double kHalfTenth = 0.05;

// Degrees between two needle angles of a dial.
double Apart(Dial dial, double a, double b)
{
    const double d = std::abs(a - b);
    return dial == Dial::Round ? std::min(d, 360.0 - d) : d;
}

// The dial angle of a unit direction; on the half dial only directions at or above the level.
double AngleOf(Dial dial, PointD u)
{
    if (dial == Dial::Half) {
        return Deg(std::acos(std::clamp(-u.x, -1.0, 1.0)));
    }
    const double a = Deg(std::acos(std::clamp(u.y, -1.0, 1.0)));
    return u.x > 0 ? 360.0 - a : a;
}

std::string At(PointD screen)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "(%.0f, %.0f)", std::floor(screen.x), std::floor(screen.y));
    return buf;
}

// Lays one needle from `from` to `to`: pressed where the needle lies, swept round to the new
// angle within its grab ring, carried far out along the edge through the hub, and lifted.
void Lay(Plan& plan, Dial dial, Needle needle, double from, double to)
{
    const DialShape& s = ShapeOf(dial);
    const double r = needle == Needle::Measuring ? s.measuringGrab : s.originGrab;
    const auto ring = [&](double angle, double radius) {
        // A needle lying along the screen's bottom edge is taken a little above it.
        const PointD u = Direction(dial, dial == Dial::Half ? std::clamp(angle, 2.0, 178.0) : angle);
        return std::pair<int, int>{static_cast<int>(std::lround(s.centre.x + radius * u.x)),
                                   static_cast<int>(std::lround(s.centre.y + radius * u.y))};
    };
    // Pressed a little nearer the hub than the sweep, so that the first move is a move even
    // when the needle already lies where it goes (a finger that stays put does not move).
    const auto [px, py] = ring(from, r - 8);
    plan.touches.push_back({device::TouchPhase::Press, px, py});
    const int steps = std::max(1, static_cast<int>(std::ceil(std::abs(to - from) / 10.0)));
    for (int i = 1; i <= steps; i++) {
        const auto [x, y] = ring(from + (to - from) * i / steps, r);
        plan.touches.push_back({device::TouchPhase::Move, x, y});
    }
    // Touch pixels name pixel centres, half a pixel in from the continuous hub.
    const PointD u = Direction(dial, to);
    const int fx = static_cast<int>(std::lround(s.hub.x - 0.5 + kFarOut * u.x));
    const int fy = static_cast<int>(std::lround(s.hub.y - 0.5 + kFarOut * u.y));
    plan.touches.push_back({device::TouchPhase::Move, fx, fy});
    plan.touches.push_back({device::TouchPhase::Release, fx, fy});
}

// The needle nearest the point, laid along the edge through the hub.
void LayAlong(Plan& plan, const Pending& pending, const Edge& edge)
{
    const Request& request = pending.request;
    const DialShape& shape = ShapeOf(request.dial);
    // Of the edge's two ways out from the hub, the one towards the point; the half dial
    // shows only the upper one.
    const PointD toPoint{request.screen.x - shape.hub.x, request.screen.y - shape.hub.y};
    PointD u = instrument::SourceDirectionOnFrame(Seen(pending), edge.direction);
    if (u.x * toPoint.x + u.y * toPoint.y < 0) {
        u = {-u.x, -u.y};
    }
    // On the half dial the way up; an edge a hair below the level is laid along it.
    if (request.dial == Dial::Half && u.y > 0) {
        u = u.y <= std::sin(Rad(kLevelDeg)) ? PointD{u.x, 0.0} : PointD{-u.x, -u.y};
    }
    double to = AngleOf(request.dial, u);
    // The needle nearest the point (below the half dial's hub, nearest its mirror image).
    const double away = std::hypot(toPoint.x, toPoint.y);
    double pointAngle = to;
    if (away > 0) {
        const PointD u{toPoint.x / away, toPoint.y / away};
        pointAngle = AngleOf(request.dial, request.dial == Dial::Half && u.y > 0 ? PointD{u.x, -u.y} : u);
    }
    const Needle needle =
        Apart(request.dial, pointAngle, request.measuring) <= Apart(request.dial, pointAngle, request.origin)
            ? Needle::Measuring
            : Needle::Origin;
    const double from = needle == Needle::Measuring ? request.measuring : request.origin;
    if (request.dial == Dial::Round && std::abs(to - from) > 180) {
        to += to < from ? 360 : -360;
    }
    Lay(plan, request.dial, needle, from, to);
}

// Both needles along a corner's edges, its vertex aimed under the hub; on the half dial a
// corner that opens downward only told.
void LayAlong(Plan& plan, const Pending& pending, const Corner& corner)
{
    const Request& request = pending.request;
    const DialShape& shape = ShapeOf(request.dial);
    const instrument::SeenPicture seen = Seen(pending);
    PointD arms[2] = {instrument::SourceDirectionOnFrame(seen, corner.arm1),
                      instrument::SourceDirectionOnFrame(seen, corner.arm2)};
    if (request.dial == Dial::Half) {
        for (PointD& u : arms) {
            if (u.y > std::sin(Rad(kLevelDeg))) {
                // A corner that opens upward may still have one edge a little below the level.
                const bool opensDown = arms[0].y + arms[1].y > 0;
                plan.notice = "the corner near " + At(request.screen) +
                              (opensDown ? " opens downward" : " has an edge below the level") +
                              "; the half dial measures only above its hub: turn the picture, or hold the phone "
                              "upright to use the round dial";
                return;
            }
            u.y = std::min(u.y, 0.0);
        }
    }
    double a = AngleOf(request.dial, arms[0]);
    double b = AngleOf(request.dial, arms[1]);
    // Laid half a tenth wider, the readout's cut to tenths falls on the nearest tenth.
    if (request.dial == Dial::Half) {
        double& lo = a < b ? a : b;
        double& hi = a < b ? b : a;
        if (hi + kHalfTenth <= 180.0) {
            hi += kHalfTenth;
        } else {
            lo = std::max(0.0, lo - kHalfTenth);
        }
    } else if (Apart(Dial::Round, a, b) + kHalfTenth <= 180.0) {
        // Widen along the smaller of the two angles between them.
        const double ccw = std::fmod(b - a + 360.0, 360.0);
        (ccw <= 180.0 ? b : a) += kHalfTenth;
    }
    // Each needle to the nearer arm; on the round dial the way round that turns it least.
    const double m = request.measuring, o = request.origin;
    const bool straight =
        Apart(request.dial, m, a) + Apart(request.dial, o, b) <= Apart(request.dial, m, b) + Apart(request.dial, o, a);
    const auto turn = [&](double from, double to) {
        if (request.dial == Dial::Round) {
            to = std::fmod(to + 360.0, 360.0);
            if (std::abs(to - from) > 180) {
                to += to < from ? 360 : -360;
            }
        }
        return to;
    };
    plan.aims = true;
    plan.aim = instrument::AimSourceAt(request.aim.zoom, seen, kFrame,
                                       {corner.vertex.x / pending.size.width, corner.vertex.y / pending.size.height},
                                       shape.hub);
    Lay(plan, request.dial, Needle::Measuring, m, turn(m, straight ? a : b));
    Lay(plan, request.dial, Needle::Origin, o, turn(o, straight ? b : a));
}

} // namespace

Request Ask(device::Device& device, NeedleWatch& watch, PointD screen)
{
    Request r;
    r.screen = screen;
    r.dial = watch.Shown();
    r.measuring = watch.Angle(r.dial, Needle::Measuring);
    r.origin = watch.Angle(r.dial, Needle::Origin);
    r.aim = device.Camera().GetAim();
    r.fingerDown = watch.FingerDown();
    return r;
}

namespace {

Plan Found(const Pending& pending);

} // namespace

Pending Prepare(device::Device& device, const Request& request, Find find)
{
    Pending p;
    p.find = find;
    p.request = request;
    // Two fingers at once would make one gesture of both.
    if (request.fingerDown) {
        p.refusal = "a finger is on the screen: lift it first";
        return p;
    }
    if (device.GetDisplay().Portrait()) {
        p.refusal = "the camera's picture is not on the screen while the help page is up";
        return p;
    }
    device::CameraSensor& camera = device.Camera();
    if (!camera.EnsureSource() || !camera.Source()) {
        return p;
    }
    p.pictureTurns = camera.PictureTurns();
    p.heldTurns = camera.HeldTurns();
    const DialShape& shape = ShapeOf(request.dial);
    // Memory for the picture or its part may run out; that is told, never a crash.
    try {
        // The picture the user sees: the one last taken, held or not.
        p.looked = camera.Source()->SeePicture(
            camera.LastPictureTime().value_or(device.Now()), [&](const device::PixelView& picture) {
                p.size = {picture.width, picture.height};
                const double scale = instrument::SourceScale(request.aim, Seen(p), kFrame);
                const auto toPicture = [&](PointD screen) {
                    const PointD f = instrument::FrameToSource(request.aim, Seen(p), kFrame, screen);
                    return PointD{f.x * p.size.width, f.y * p.size.height};
                };
                p.search = {toPicture(request.screen), (find == Find::Corner ? kCornerReach : kEdgeReach) / scale,
                            kCornerWithin / scale};
                p.hub = toPicture(shape.hub);
                p.tolerance = kThroughHub / scale;
                p.part = CutPart(picture, {p.search.near, std::max(p.search.radius, kFitReach)});
            });
        p.frame = camera.ShownFrame();
    } catch (const std::exception& e) {
        p.refusal = std::string("cannot search the camera's picture: ") + e.what();
    }
    return p;
}

Plan Finish(const Pending& pending)
{
    // OpenCV reports what goes wrong (memory, above all) by throwing; on the window's search
    // thread that would end the program.
    Plan plan;
    try {
        plan = Found(pending);
    } catch (const std::exception& e) {
        plan = {};
        plan.notice = std::string("cannot search the camera's picture: ") + e.what();
    }
    plan.frame = pending.frame;
    return plan;
}

namespace {

Plan Found(const Pending& pending)
{
    const Request& request = pending.request;
    Plan plan;
    const char* what = pending.find == Find::Corner ? "a corner" : "an edge";
    if (!pending.refusal.empty()) {
        plan.notice = pending.refusal;
        return plan;
    }
    if (!pending.looked) {
        plan.notice = std::string("no camera picture to find ") + what + " in";
        return plan;
    }
    // Picture pixels to screen pixels, as the search was made.
    const double scale = (pending.find == Find::Corner ? kCornerReach : kEdgeReach) / pending.search.radius;
    const auto source = [&](PointD picture) {
        return PointD{picture.x / pending.size.width, picture.y / pending.size.height};
    };
    if (pending.find == Find::Edge) {
        const EdgeLook look = LookForEdgeThrough(pending.part, pending.search, pending.hub, pending.tolerance);
        if (!look.edge) {
            plan.notice = look.why == Why::Nothing ? "no straight edge through the hub near " + At(request.screen)
                                                   : "the edge through the hub near " + At(request.screen) +
                                                         " is not read: " + Told(look, scale, kCornerWithin, true);
            return plan;
        }
        LayAlong(plan, pending, *look.edge);
        if (!plan.Refused()) {
            Measured(plan, look.edge->uncertainty, "edge");
            plan.fitted.push_back({source(look.edge->from), source(look.edge->to)});
        }
        return plan;
    }
    const CornerLook look = LookForCorner(pending.part, pending.search);
    if (!look.corner) {
        plan.notice = look.why == Why::Nothing
                          ? "no corner near " + At(request.screen)
                          : "no corner read at " + At(request.screen) + ": " + Told(look, scale, kCornerWithin);
        return plan;
    }
    return PlanFor(pending, *look.corner);
}

} // namespace

Plan PlanFor(const Pending& pending, const Corner& corner)
{
    Plan plan;
    const auto source = [&](PointD picture) {
        return PointD{picture.x / pending.size.width, picture.y / pending.size.height};
    };
    LayAlong(plan, pending, corner);
    if (!plan.Refused()) {
        Measured(plan, corner.uncertainty, "corner");
        plan.fitted.push_back({source(corner.from1), source(corner.to1)});
        plan.fitted.push_back({source(corner.from2), source(corner.to2)});
        plan.corner = corner;
    }
    return plan;
}

Plan PlanEdge(device::Device& device, const Request& request) { return Finish(Prepare(device, request, Find::Edge)); }

Plan PlanCorner(device::Device& device, const Request& request)
{
    return Finish(Prepare(device, request, Find::Corner));
}

void Carry(device::Device& device, const Plan& plan, const std::function<void(const device::Aim&)>& aim)
{
    if (plan.aims && aim) {
        aim(plan.aim);
    }
    for (const Touch& t : plan.touches) {
        device.PostTouch(t.phase, t.x, t.y);
    }
}

} // namespace instrument
