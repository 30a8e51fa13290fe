// The phone's tilt sensor: the pitch the phone is held at. It comes from the keys (a
// script, the window) or from a source such as an accelerometer, read whenever a reading is due.
#pragma once

#include <functional>
#include <memory>

#include <utility>
#include <vector>

#include "device/TiltSource.h"

namespace device {

class Device;

class TiltSensor {
public:
    TiltSensor(const Device& device, float initialPitch);
    ~TiltSensor();
    TiltSensor(const TiltSensor&) = delete;
    TiltSensor& operator=(const TiltSensor&) = delete;

    // Degrees; any float, including values no phone reports (tests use NaN and infinity).
    // With a source the next reading replaces it.
    void SetPitch(float pitch) { m_pitch = pitch; }
    // The pitch last set or read, without taking a reading.
    float Pitch() const { return m_pitch; }

    // A reading, taken now: from the source if there is one, else the pitch last set.
    // A source that fails is told in one notice and dropped; the keys take over from the
    // last pitch it read, so the layout does not jump.
    float Reading();
    // Called with every reading taken, on the thread that takes it (the event thread), in
    // the order they were added; a watcher may remove itself or another while called.
    int AddReadingWatcher(std::function<void(float pitch)> watcher);
    void RemoveReadingWatcher(int token);

    // Null: the keys alone. Replaces any source there was.
    void SetSource(std::unique_ptr<TiltSource> source) { m_pSource = std::move(source); }
    const TiltSource* Source() const { return m_pSource.get(); }

private:
    float Read();

    const Device& m_device;
    float m_pitch;
    std::vector<std::pair<int, std::function<void(float)>>> m_readingWatchers;
    int m_lastWatcher = 0;
    std::unique_ptr<TiltSource> m_pSource;
};

} // namespace device
