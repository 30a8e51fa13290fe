// The phone's tilt sensor from a real accelerometer, through the Linux IIO sysfs interface:
// an iio:deviceN folder, read afresh each time a reading is due.
#pragma once

#include <memory>
#include <string>

#include "device/TiltSource.h"
#include "iio/GravityPitch.h"
#include "iio/SysfsValue.h"

namespace iio {

// Where the kernel lists its IIO devices.
constexpr const char* kDevicesRoot = "/sys/bus/iio/devices";

class IioAccelerometer : public device::TiltSource {
public:
    // The folder needs in_accel_{x,y,z}_raw and in_accel_scale; in_accel_offset and
    // in_accel_mount_matrix are used when there. Null with a one-line reason when it is
    // not an accelerometer that can be read now.
    static std::unique_ptr<IioAccelerometer> Open(const std::string& dir, Natural natural, std::string& reason);

    std::string Describe() const override { return m_description; }
    const std::string& Folder() const { return m_dir; }
    // Reads the three axes now: a missing file or one that holds no number fails for good.
    Result Read(float& pitch, std::string& reason) override;

private:
    IioAccelerometer() = default;

    std::string m_dir;
    std::string m_description;
    Natural m_natural = Natural::Portrait;
    double m_scale = 1.0;
    double m_offset = 0.0;
    Matrix m_matrix = {1, 0, 0, 0, 1, 0, 0, 0, 1};
};

// The first accelerometer among the iio:deviceN folders under `root`, by number, leaving
// out one that sits in a convertible laptop's base (it does not turn with the screen).
// Empty when there is none.
std::string FindAccelerometer(const std::string& root = kDevicesRoot);

// The folder a user's name stands for: "iio:device3" alone is the one under `root`.
std::string FolderFor(const std::string& name, const std::string& root = kDevicesRoot);

} // namespace iio
