// Tilt readings on the device clock: reading n of a subscription is due n intervals
// after it was made, so the pace never drifts.
#include "uix/SensorSubscription.h"

#include "device/Device.h"

using namespace Osp::Base;
using namespace Osp::Uix;

namespace uix {

SensorSubscription::SensorSubscription(device::Device& device, ISensorEventListener& listener, SensorType type,
                                       device::Micros interval)
    : m_device(device), m_listener(listener), m_type(type), m_interval(interval), m_start(device.Now())
{
    Schedule();
}

SensorSubscription::~SensorSubscription() { m_device.Loop().Cancel(m_timer); }

void SensorSubscription::Schedule()
{
    ++m_count;
    m_timer = m_device.Loop().PostAt(m_start + m_count * m_interval, [this] { OnReadingDue(); });
}

void SensorSubscription::OnReadingDue()
{
    m_timer = 0;
    Schedule();
    SensorData data;
    data.SetTilt(static_cast<long>(m_device.Now() / device::kMicrosPerMilli), 0.0f, m_device.Tilt().Reading(), 0.0f);
    m_listener.OnDataReceived(m_type, data, E_SUCCESS);
}

} // namespace uix
