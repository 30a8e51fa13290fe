// Following a corner: the next picture searched about where the corner is heading, the corner
// found there kept only when it is plausibly the same one, and laid like a corner pointed at.
#include "instrument/Follow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "device/Device.h"
#include "device/Display.h"
#include "instrument/SeenPicture.h"
#include "instrument/Told.h"

namespace instrument {

namespace {

constexpr device::FrameSize kFrame{device::Display::kLongSide, device::Display::kShortSide};
// Arms are fitted over at least this many picture pixels about the corner, as for `C`.
constexpr double kFitReach = 120.0;

// Degrees between two unit directions.
double Between(PointD a, PointD b) { return device::Deg(std::acos(std::clamp(a.x * b.x + a.y * b.y, -1.0, 1.0))); }

} // namespace

PointD Predicted(const Track& track)
{
    const PointD v = track.last.vertex;
    if (!track.before) {
        return v;
    }
    // Pictures missed while it was lost carry it further along the same way.
    const double k = 1.0 + std::min(track.missed, kFollowMissedAhead);
    return {v.x + k * (v.x - track.before->x), v.y + k * (v.y - track.before->y)};
}

std::string Unlike(const Corner& last, const Corner& found, Corner& matched, int missed)
{
    // Unseen for a while it may have turned further, though not steadily: the slack grows slower.
    const double slack = std::sqrt(1.0 + std::clamp(missed, 0, kFollowMissedAhead));
    matched = found;
    const double straight = std::max(Between(last.arm1, found.arm1), Between(last.arm2, found.arm2));
    const double crossed = std::max(Between(last.arm1, found.arm2), Between(last.arm2, found.arm1));
    if (crossed < straight) {
        std::swap(matched.arm1, matched.arm2);
        std::swap(matched.from1, matched.from2);
        std::swap(matched.to1, matched.to2);
    }
    const double turned = std::min(straight, crossed);
    const double opened = std::abs(Between(last.arm1, last.arm2) - Between(found.arm1, found.arm2));
    char buf[128];
    if (opened > kFollowOpenDeg * slack) {
        std::snprintf(buf, sizeof buf, "the corner there opens %.0f\u00b0 wider or narrower than the one followed",
                      opened);
        return buf;
    }
    if (turned > kFollowTurnDeg * slack) {
        std::snprintf(buf, sizeof buf, "the corner there lies %.0f\u00b0 turned from the one followed", turned);
        return buf;
    }
    return {};
}

FollowPending PrepareFollow(const device::PixelView& picture, const Request& request, const Track& track,
                            int pictureTurns, int heldTurns)
{
    FollowPending f;
    f.track = track;
    f.predicted = Predicted(track);
    Pending& p = f.pending;
    p.find = Find::Corner;
    p.request = request;
    p.looked = true;
    p.pictureTurns = pictureTurns;
    p.heldTurns = heldTurns;
    p.size = {picture.width, picture.height};
    const double scale = SourceScale(request.aim, {p.size, p.pictureTurns, p.heldTurns}, kFrame);
    // Reach enough for both where it was and where it is heading; unseen for a while, where it
    // is heading is known less well.
    const PointD v = track.last.vertex;
    const double ahead = std::hypot(f.predicted.x - v.x, f.predicted.y - v.y);
    const double slack = std::sqrt(1.0 + std::clamp(track.missed, 0, kFollowMissedAhead));
    p.search = {f.predicted, kFollowReach * slack / scale + ahead, kFollowJump * slack / scale, 1.0};
    p.part = CutPart(picture, {f.predicted, std::max(p.search.radius, kFitReach + ahead)});
    return f;
}

FollowPending PrepareFollow(device::Device& device, const Request& request, const Track& track)
{
    FollowPending f;
    f.track = track;
    f.predicted = Predicted(track);
    f.pending.find = Find::Corner;
    f.pending.request = request;
    if (request.fingerDown) {
        f.pending.refusal = "a finger is on the screen";
        return f;
    }
    if (device.GetDisplay().Portrait()) {
        f.pending.refusal = "the camera's picture is not on the screen while the help page is up";
        return f;
    }
    device::CameraSensor& camera = device.Camera();
    if (!camera.EnsureSource() || !camera.Source()) {
        return f;
    }
    try {
        // The picture the user sees: the one last taken, held or not.
        camera.Source()->SeePicture(
            camera.LastPictureTime().value_or(device.Now()), [&](const device::PixelView& picture) {
                f = PrepareFollow(picture, request, track, camera.PictureTurns(), camera.HeldTurns());
                f.seenUs = device.Now();
            });
        // A video's own frame: the series keeps the recording's time, not the machine's.
        f.pending.frame = camera.ShownFrame();
    } catch (const std::exception& e) {
        f.pending.refusal = std::string("cannot search the camera's picture: ") + e.what();
    }
    return f;
}

namespace {

FollowStep Followed(const FollowPending& f)
{
    const Pending& p = f.pending;
    FollowStep step;
    step.frame = f.pending.frame;
    step.seenUs = f.seenUs;
    if (!p.refusal.empty()) {
        step.lost = p.refusal;
        return step;
    }
    if (!p.looked) {
        step.lost = "no camera picture";
        return step;
    }
    if (!(p.size == f.track.size)) {
        step.lost = "the camera's picture changed its size";
        return step;
    }
    // Where it is heading first; then where it was, should it have stopped or turned back.
    const Corner& last = f.track.last;
    std::string unlike;
    CornerLook look;
    for (const PointD near : {f.predicted, last.vertex}) {
        Search search = p.search;
        search.near = near;
        look = LookForCorner(p.part, search);
        Corner matched;
        if (look.corner && (unlike = Unlike(last, *look.corner, matched, f.track.missed)).empty()) {
            step.corner = matched;
            break;
        }
        if (near.x == last.vertex.x && near.y == last.vertex.y) {
            break;
        }
    }
    if (!step.corner) {
        const double scale = kFollowJump / p.search.within;
        step.lost = !unlike.empty()            ? unlike
                    : look.why == Why::Nothing ? std::string("no corner near where it was")
                                               : Told(look, scale, kFollowJump);
        return step;
    }
    step.plan = PlanFor(p, *step.corner);
    // A reading a little wider than a tenth is still a reading of the series, kept with its
    // uncertainty; a blurred picture that fixes the angle only to a degree or worse is a loss.
    if (step.plan.Refused() || step.plan.uncertainty > kFollowDoubtDeg) {
        step.lost = step.plan.notice.empty() ? "nothing to lay" : step.plan.notice;
        step.corner.reset();
    } else {
        step.plan.notice.clear();
    }
    return step;
}

} // namespace

FollowStep FinishFollow(const FollowPending& pending)
{
    // OpenCV tells of what goes wrong (memory, above all) by throwing.
    try {
        return Followed(pending);
    } catch (const std::exception& e) {
        FollowStep step;
        step.seenUs = pending.seenUs;
        step.frame = pending.pending.frame;
        step.lost = std::string("cannot search the camera's picture: ") + e.what();
        return step;
    }
}

} // namespace instrument
