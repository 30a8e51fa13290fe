// What the device's finger read, as the user is told it and the trace keeps it: the angle the
// readout shows with how far the picture lets it be trusted, or what was asked and why not.
#pragma once

#include <optional>
#include <string>

#include "instrument/Finger.h"

namespace device {
class Device;
}

namespace instrument {

struct Reading {
    Find find = Find::Corner;
    PointD screen; // where it was asked for, in continuous screen pixels
    std::string refused; // why nothing was read; empty when something was
    std::string angle; // as the readout shows it, e.g. "91.2"
    double uncertainty = 0; // degrees, about a 95 % interval
    // The video's frame it was read in (its number and its time in the video), when the camera
    // plays a recording: a series of readings keeps the video's time, however fast it played.
    std::optional<device::FrameTime> frame;
    // While a corner is followed from picture to picture: "followed" or "lost"; empty for
    // a reading asked for once.
    std::string state;
};

// The uncertainty as the user is told it: in tenths, rounded up, and never below the tenth the
// readout itself is cut to ("0.1", "1.5").
std::string StatedUncertainty(double degrees);
// Whether the picture fixes the angle less well than the readout's tenth.
bool WiderThanATenth(double degrees);

// The angle between the needles of the dial shown, cut to tenths as the readout shows it.
std::string ShownAngle(NeedleWatch& watch);

// One line for the user: "91.2° ± 0.1°", saying plainly when the last digit cannot be trusted;
// for a refusal its reason. In plain ASCII ("91.2 deg +/- 0.1 deg") where only that shows.
std::string Words(const Reading& reading, bool ascii = false);

// Kept in the device's record (the trace): what was asked ("corner" or "edge"), where, and the
// reading with its uncertainty, or why there is none; read in a video, the frame's number and
// time ("frame", "pts_ms", and "pts_from": "stamp", or "frame rate" where the video's stamps lied);
// and while following, its state.
void Record(device::Device& device, const Reading& reading);

} // namespace instrument
