// The tilt sensor's readings: the source's when it has one, the keys' otherwise, and the
// hand-over from one to the other when the source fails.
#include "device/TiltSensor.h"

#include <algorithm>

#include "device/Device.h"

namespace device {

TiltSensor::TiltSensor(const Device& device, float initialPitch) : m_device(device), m_pitch(initialPitch) {}

TiltSensor::~TiltSensor() = default;

float TiltSensor::Reading()
{
    const float pitch = Read();
    // A copy, so that a watcher may remove itself or another while the reading is handed round;
    // one removed before its turn is not called.
    const auto watchers = m_readingWatchers;
    for (const auto& [token, watcher] : watchers) {
        const bool still = std::any_of(m_readingWatchers.begin(), m_readingWatchers.end(),
                                       [token = token](const auto& w) { return w.first == token; });
        if (still) {
            watcher(pitch);
        }
    }
    return pitch;
}

int TiltSensor::AddReadingWatcher(std::function<void(float pitch)> watcher)
{
    m_readingWatchers.emplace_back(++m_lastWatcher, std::move(watcher));
    return m_lastWatcher;
}

void TiltSensor::RemoveReadingWatcher(int token)
{
    std::erase_if(m_readingWatchers, [token](const auto& w) { return w.first == token; });
}

float TiltSensor::Read()
{
    if (!m_pSource) {
        return m_pitch;
    }
    float pitch = m_pitch;
    std::string reason;
    switch (m_pSource->Read(pitch, reason)) {
    case TiltSource::Result::Pitch: m_pitch = pitch; break;
    case TiltSource::Result::Level: break;
    case TiltSource::Result::Failed:
        m_device.Tell(__func__, __LINE__,
                      "tilt sensor " + m_pSource->Describe() + ": " + reason + "; the keys tilt the phone from now on");
        m_pSource.reset();
        break;
    }
    return m_pitch;
}

} // namespace device
