// The Osp::Uix namespace: the phone's sensors, of which the tilt sensor is modelled.
#pragma once

#include <memory>
#include <vector>

#include "osp/Base.h"

namespace uix {
class SensorSubscription;
}

namespace Osp { namespace Uix {

enum SensorType {
    SENSOR_TYPE_ACCELERATION = 1,
    SENSOR_TYPE_MAGNETIC = 2,
    SENSOR_TYPE_PROXIMITY = 3,
    SENSOR_TYPE_TILT = 4,
};

enum TiltDataKey {
    TILT_DATA_KEY_TIMESTAMP = 0,
    TILT_DATA_KEY_AZIMUTH = 1,
    TILT_DATA_KEY_PITCH = 2,
    TILT_DATA_KEY_ROLL = 3,
};

// One reading of a sensor.
class SensorData : public Osp::Base::Object {
public:
    SensorData() = default;
    Osp::Base::result GetValue(int dataKey, float& value) const;
    Osp::Base::result GetValue(int dataKey, long& value) const;

    // Platform side.
    void SetTilt(long timestamp, float azimuth, float pitch, float roll);

private:
    long m_timestamp = 0;
    float m_values[4] = {0, 0, 0, 0};
    bool m_valid = false;
};

class ISensorEventListener {
public:
    virtual ~ISensorEventListener() = default;
    virtual void OnDataReceived(SensorType sensorType, SensorData& sensorData, Osp::Base::result r) = 0;
};

class SensorManager : public Osp::Base::Object {
public:
    SensorManager();
    // Ends every reading this manager set up.
    ~SensorManager() override;
    SensorManager(const SensorManager&) = delete;
    SensorManager& operator=(const SensorManager&) = delete;

    Osp::Base::result Construct();
    // A reading every `interval` milliseconds, through the platform's event thread.
    Osp::Base::result AddSensorListener(ISensorEventListener& listener, SensorType sensorType, long interval,
                                        bool dataChanged);
    Osp::Base::result RemoveSensorListener(ISensorEventListener& listener, SensorType sensorType);
    bool IsAvailable(SensorType sensorType) const;

private:
    std::vector<std::unique_ptr<uix::SensorSubscription>> m_subscriptions;
    bool m_constructed = false;
};

}} // namespace Osp::Uix
