// Following a corner from one camera picture to the next: where to look for it (where it was and
// where it is heading), which corner found there is the same one, and the plan that keeps the
// needles on it, built on the finger's own search and its way of laying needles.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "instrument/EdgeFinder.h"
#include "instrument/Finger.h"

namespace device {
class Device;
}

namespace instrument {

// What following knows of the corner: where it lay in the last picture it was found in, and
// its meeting point in the picture before that, in the camera's own picture pixels.
struct Track {
    Corner last;
    std::optional<PointD> before;
    device::FrameSize size; // the picture it was found in
    int missed = 0; // pictures since, in which it was lost
};

// Where the corner is looked for next: as far on as it moved between the last two pictures, for
// each picture since (up to kFollowMissedAhead of them while it is lost); the search also looks
// where it was last seen.
PointD Predicted(const Track& track);

// How far (screen pixels) about the point looked at the corner is searched for, and how far
// from there its meeting point may lie: a corner that jumps further is not taken for the same.
constexpr double kFollowReach = 60.0;
constexpr double kFollowJump = 40.0;
// How much each arm may turn, and the opening change, from one picture to the next (degrees).
constexpr double kFollowTurnDeg = 15.0;
constexpr double kFollowOpenDeg = 10.0;
// A reading the picture fixes only this loosely (degrees) is a loss: the corner is blurred.
constexpr double kFollowDoubtDeg = 1.0;
// While lost, the corner is looked for at most this many pictures on along its way.
constexpr int kFollowMissedAhead = 15;

// Why `found` is not the followed corner `last` (empty when it is). Its arms are matched to
// last's either way round; `matched` gets found with its arms in last's order. `missed`
// pictures since it was last seen let it turn and open further.
std::string Unlike(const Corner& last, const Corner& found, Corner& matched, int missed = 0);

// A search of the next picture made ready on the event thread, finished on any.
struct FollowPending {
    Pending pending;
    Track track;
    PointD predicted; // picture pixels
    std::int64_t seenUs = 0; // the device's time when the camera lent the picture
};
FollowPending PrepareFollow(device::Device& device, const Request& request, const Track& track);
// The same in a picture at hand, as the camera's source holds it.
FollowPending PrepareFollow(const device::PixelView& picture, const Request& request, const Track& track,
                            int pictureTurns = 0, int heldTurns = 0);

// One picture followed: the plan that lays the needles on the corner found again, or why it
// was lost in this picture (the needles stay).
struct FollowStep {
    Plan plan;
    std::optional<Corner> corner;
    std::string lost;
    std::int64_t seenUs = 0; // the picture's, as the pending's
    std::optional<device::FrameTime> frame; // the recording's frame looked at, if any
};
FollowStep FinishFollow(const FollowPending& pending);

} // namespace instrument
