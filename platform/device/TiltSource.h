// Where the phone's tilt sensor gets its readings when something real measures them (an
// accelerometer); sources live in backends, the device sees only this interface.
#pragma once

#include <string>

namespace device {

class TiltSource {
public:
    enum class Result {
        Pitch, // `pitch` holds the phone's pitch in degrees, -180 to 180
        Level, // no pitch can be told (the phone lies flat, or is being shaken): keep the last
        Failed, // the source is gone or talks nonsense for good; `reason` says which
    };

    virtual ~TiltSource() = default;
    // Names the source in log lines, e.g. "accelerometer iio:device0 (accel_3d)".
    virtual std::string Describe() const = 0;
    // Takes one reading now. Called on the event thread whenever a reading is due, so it
    // must not block: a source reads what the hardware has, it never waits for a sample.
    virtual Result Read(float& pitch, std::string& reason) = 0;
};

} // namespace device
