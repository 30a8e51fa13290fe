// One listener's tilt readings, taken from the phone's tilt sensor at the listener's own
// interval and delivered through the event queue.
#pragma once

#include <cstdint>

#include "device/EventLoop.h"
#include "osp/Uix.h"

namespace device {
class Device;
}

namespace uix {

// Ends when destroyed.
class SensorSubscription {
public:
    SensorSubscription(device::Device& device, Osp::Uix::ISensorEventListener& listener, Osp::Uix::SensorType type,
                       device::Micros interval);
    ~SensorSubscription();
    Osp::Uix::ISensorEventListener& Listener() const { return m_listener; }
    Osp::Uix::SensorType Type() const { return m_type; }

private:
    void Schedule();
    void OnReadingDue();

    device::Device& m_device;
    Osp::Uix::ISensorEventListener& m_listener;
    Osp::Uix::SensorType m_type;
    device::Micros m_interval;
    device::Micros m_start;
    std::int64_t m_count = 0;
    device::EventLoop::TimerId m_timer = 0;
};

} // namespace uix
