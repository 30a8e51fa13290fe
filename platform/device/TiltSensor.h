// The phone's tilt sensor: the pitch the phone is held at, read whenever someone asks.
#pragma once

namespace device {

class TiltSensor {
public:
    explicit TiltSensor(float initialPitch) : m_pitch(initialPitch) {}
    // Degrees; any float, including values no phone reports (tests use NaN and infinity).
    void SetPitch(float pitch) { m_pitch = pitch; }
    float Pitch() const { return m_pitch; }

private:
    float m_pitch;
};

} // namespace device
