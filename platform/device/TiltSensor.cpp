// The tilt sensor's readings: the source's when it has one, the keys' otherwise, and the
// hand-over from one to the other when the source fails.
#include "device/TiltSensor.h"

#include "device/Device.h"

namespace device {

TiltSensor::TiltSensor(const Device& device, float initialPitch) : m_device(device), m_pitch(initialPitch) {}

TiltSensor::~TiltSensor() = default;

float TiltSensor::Reading()
{
    const float pitch = Read();
    m_layout = LayoutForPitch(pitch, m_layout);
    return pitch;
}

float TiltSensor::Read()
{
    if (!m_pSource) {
        return m_pitch;
    }
    float pitch = m_pitch;
    std::string reason;
    switch (m_pSource->Read(pitch, reason)) {
    case TiltSource::Result::Pitch:
        m_pitch = pitch;
        break;
    case TiltSource::Result::Level:
        break;
    case TiltSource::Result::Failed:
        m_device.Tell(__func__, __LINE__,
                      "tilt sensor " + m_pSource->Describe() + ": " + reason + "; the keys tilt the phone from now on");
        m_pSource.reset();
        break;
    }
    return m_pitch;
}

} // namespace device
