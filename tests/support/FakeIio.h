// A stand-in for an accelerometer's IIO sysfs folder: plain files that a test writes,
// rewrites and removes while the sensor is read, as the kernel would change them.
#pragma once

#include <string>

#include "support/Scratch.h"

namespace testing_support {

class FakeIio {
public:
    // An iio:deviceN folder in a fresh root, with a scale of 0.01 m/s^2 per count.
    explicit FakeIio(int number = 0, const std::string& name = "fake_accel");

    const std::string& Root() const { return m_root.Path(); }
    const std::string& Folder() const { return m_folder; }

    // The raw counts of the three axes.
    void Raw(long x, long y, long z);
    // Gravity as the phone held at `pitch` degrees would feel it (1 g in the screen's plane).
    void Hold(double pitch);
    void Write(const std::string& name, const std::string& text) const;
    void Remove(const std::string& name) const;

private:
    ScratchDir m_root;
    std::string m_folder;
};

} // namespace testing_support
