// The fake IIO folder: each value written whole, by rename, so a reading never sees half
// of one (the kernel's own attributes are never half written either).
#include "support/FakeIio.h"
#include "device/Geometry.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include <sys/stat.h>

namespace testing_support {

FakeIio::FakeIio(int number, const std::string& name)
    : m_root("veltora-iio"), m_folder(m_root.Path() + "/iio:device" + std::to_string(number))
{
    if (::mkdir(m_folder.c_str(), 0755) != 0) {
        throw std::runtime_error("cannot make " + m_folder);
    }
    Write("name", name + "\n");
    Write("in_accel_scale", "0.010000\n");
    Raw(0, -981, 0);
}

void FakeIio::Raw(long x, long y, long z)
{
    Write("in_accel_x_raw", std::to_string(x) + "\n");
    Write("in_accel_y_raw", std::to_string(y) + "\n");
    Write("in_accel_z_raw", std::to_string(z) + "\n");
}

void FakeIio::Hold(double pitch)
{
    // Gravity points to the ground: upright it runs down the screen (-y); turned by `pitch`
    // clockwise, it swings towards the screen's right edge (+x).
    const double r = device::Rad(pitch);
    Raw(std::lround(981 * std::sin(r)), std::lround(-981 * std::cos(r)), 0);
}

void FakeIio::Write(const std::string& name, const std::string& text) const
{
    const std::string path = m_folder + "/" + name;
    const std::string aside = path + ".new";
    {
        std::ofstream out(aside, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out) {
            throw std::runtime_error("cannot write " + aside);
        }
    }
    if (std::rename(aside.c_str(), path.c_str()) != 0) {
        throw std::runtime_error("cannot rename " + aside);
    }
}

void FakeIio::Remove(const std::string& name) const { std::remove((m_folder + "/" + name).c_str()); }

} // namespace testing_support
