// The phone's tilt sensor: the pitch the phone is held at, read out to every
// subscription at its own interval through the event queue.
#pragma once

#include "device/EventLoop.h"
#include "osp/Uix.h"

namespace device {

class Device;

class TiltSensor {
public:
    explicit TiltSensor(float initialPitch) : m_pitch(initialPitch) {}
    // Degrees; any float, including values no phone reports (tests use NaN and infinity).
    void SetPitch(float pitch) { m_pitch = pitch; }
    float Pitch() const { return m_pitch; }

private:
    float m_pitch;
};

// One listener's readings; ends when destroyed.
class SensorSubscription {
public:
    SensorSubscription(Device& device, Osp::Uix::ISensorEventListener& listener, Osp::Uix::SensorType type,
                       Micros interval);
    ~SensorSubscription();
    Osp::Uix::ISensorEventListener& Listener() const { return m_listener; }
    Osp::Uix::SensorType Type() const { return m_type; }

private:
    void Schedule();
    void OnReadingDue();

    Device& m_device;
    Osp::Uix::ISensorEventListener& m_listener;
    Osp::Uix::SensorType m_type;
    Micros m_interval;
    Micros m_start;
    std::int64_t m_count = 0;
    EventLoop::TimerId m_timer = 0;
};

} // namespace device
