// Osp::Uix: sensor readings for the application, backed by the device's tilt sensor.
#include "osp/Uix.h"

#include "base/Log.h"
#include "device/Device.h"
#include "uix/SensorSubscription.h"

namespace Osp { namespace Uix {

using namespace Osp::Base;

result SensorData::GetValue(int dataKey, float& value) const
{
    if (!m_valid) {
        return E_INVALID_STATE;
    }
    if (dataKey < TILT_DATA_KEY_AZIMUTH || dataKey > TILT_DATA_KEY_ROLL) {
        return E_INVALID_ARG;
    }
    value = m_values[dataKey];
    return E_SUCCESS;
}

result SensorData::GetValue(int dataKey, long& value) const
{
    if (!m_valid) {
        return E_INVALID_STATE;
    }
    if (dataKey != TILT_DATA_KEY_TIMESTAMP) {
        return E_INVALID_ARG;
    }
    value = m_timestamp;
    return E_SUCCESS;
}

void SensorData::SetTilt(long timestamp, float azimuth, float pitch, float roll)
{
    m_timestamp = timestamp;
    m_values[TILT_DATA_KEY_AZIMUTH] = azimuth;
    m_values[TILT_DATA_KEY_PITCH] = pitch;
    m_values[TILT_DATA_KEY_ROLL] = roll;
    m_valid = true;
}

SensorManager::SensorManager() = default;
SensorManager::~SensorManager() = default;

result SensorManager::Construct()
{
    if (m_constructed) {
        return E_INVALID_STATE;
    }
    m_constructed = true;
    return E_SUCCESS;
}

bool SensorManager::IsAvailable(SensorType sensorType) const { return sensorType == SENSOR_TYPE_TILT; }

result SensorManager::AddSensorListener(ISensorEventListener& listener, SensorType sensorType, long interval,
                                        bool dataChanged)
{
    (void)dataChanged; // readings come at every interval, changed or not
    device::Device* dev = device::Device::Current();
    if (!m_constructed || !dev) {
        return E_INVALID_STATE;
    }
    if (!IsAvailable(sensorType)) {
        return E_DEVICE_UNAVAILABLE;
    }
    if (interval < 10 || interval > 60000) {
        return E_OUT_OF_RANGE;
    }
    for (const auto& sub : m_subscriptions) {
        if (&sub->Listener() == &listener && sub->Type() == sensorType) {
            return E_OBJ_ALREADY_EXIST;
        }
    }
    m_subscriptions.push_back(std::make_unique<uix::SensorSubscription>(
        *dev, listener, sensorType, static_cast<device::Micros>(interval) * device::kMicrosPerMilli));
    return E_SUCCESS;
}

result SensorManager::RemoveSensorListener(ISensorEventListener& listener, SensorType sensorType)
{
    for (auto it = m_subscriptions.begin(); it != m_subscriptions.end(); ++it) {
        if (&(*it)->Listener() == &listener && (*it)->Type() == sensorType) {
            m_subscriptions.erase(it);
            return E_SUCCESS;
        }
    }
    return E_OBJ_NOT_FOUND;
}

}} // namespace Osp::Uix
