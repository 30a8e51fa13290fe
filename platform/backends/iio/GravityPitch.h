// From the acceleration an accelerometer measures to the pitch the phone's tilt sensor
// reports: how far the phone is turned in the plane of its screen.
#pragma once

namespace iio {

// The device's axes (after the mount matrix), as the Linux sensor stack uses them: in
// the device's natural orientation x points to the right of the screen, y to its top and
// z out of it, and a device at rest reads gravity, pointing to the ground: held upright
// y is about -1 g, lying face up on a table z is about -1 g.
struct Acceleration {
    double x = 0;
    double y = 0;
    double z = 0; // metres per second squared
};

enum class Natural { Portrait, Landscape };

struct PitchResult {
    bool level = false; // no pitch can be told: the phone lies (nearly) flat, or is shaken
    float pitch = 0.0f; // degrees, -180 to 180
};

// Pitch 0 is portrait (upright in the natural orientation of a phone), -90 landscape with
// the phone's top turned to the left, 90 landscape with its top to the right, and 180
// (or -180) upside down: the pitch grows as the phone turns clockwise. A device whose
// natural orientation is landscape (a tablet, a 2-in-1) reads -90 held in it.
// Level when the screen is tipped less than 20 degrees from flat, or when the
// acceleration is far from gravity alone (under a third or over twice of 1 g).
PitchResult PitchFromAcceleration(const Acceleration& a, Natural natural);

} // namespace iio
