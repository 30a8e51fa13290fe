// The pitch is the direction of gravity in the screen's plane; only the part of gravity in
// that plane says how the phone is turned, so a phone lying flat has no pitch to tell.
#include "iio/GravityPitch.h"

#include <cmath>

#include "device/Geometry.h"

namespace iio {

namespace {
constexpr double kGravity = 9.80665;
using device::kPi;
// Below this tip from flat the direction in the plane is mostly noise and hand tremor.
constexpr double kLevelDegrees = 20.0;
} // namespace

PitchResult PitchFromAcceleration(const Acceleration& a, Natural natural)
{
    PitchResult r;
    const double total = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    const double inPlane = std::hypot(a.x, a.y);
    if (!std::isfinite(total) || total < kGravity / 3 || total > kGravity * 2 ||
        inPlane < total * std::sin(kLevelDegrees * kPi / 180.0)) {
        r.level = true;
        return r;
    }
    // Upright (y = -g) is 0; the top turned left (its right edge up, so x = -g) is -90.
    double degrees = std::atan2(a.x, -a.y) * 180.0 / kPi;
    if (natural == Natural::Landscape) {
        // Held in its natural orientation such a device is in landscape.
        degrees -= 90.0;
        if (degrees < -180.0) {
            degrees += 360.0;
        }
    }
    r.pitch = static_cast<float>(degrees);
    return r;
}

} // namespace iio
