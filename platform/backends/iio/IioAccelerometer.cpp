// Reads an IIO accelerometer's folder: the constants (scale, offset, mount matrix) once
// when it is opened, the raw axes at every reading, so a sensor that vanishes is noticed.
#include "iio/IioAccelerometer.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

namespace iio {

namespace {

const char* const kAxes[3] = {"in_accel_x_raw", "in_accel_y_raw", "in_accel_z_raw"};

// A few characters of what a file holds, safe to print in one log line.
std::string Shown(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (out.size() >= 24) {
            out += "...";
            break;
        }
        if (c == '\n' && out.size() + 1 == text.size()) {
            break;
        }
        out += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    }
    return out;
}

// An optional constant: Missing leaves `value` as it was.
bool ReadOptional(const std::string& dir, const char* name, double& value, std::string& reason)
{
    std::string text;
    switch (ReadAttribute(dir, name, text, reason)) {
    case ReadStatus::Missing: return true;
    case ReadStatus::Failed: return false;
    case ReadStatus::Ok: break;
    }
    if (!ParseDecimal(text, value)) {
        reason = std::string(name) + " holds '" + Shown(text) + "', not a number";
        return false;
    }
    return true;
}

std::string FirstLine(const std::string& dir, const char* name)
{
    std::string text;
    std::string reason;
    if (ReadAttribute(dir, name, text, reason) != ReadStatus::Ok) {
        return "";
    }
    const std::string line = text.substr(0, text.find('\n'));
    return Shown(line);
}

bool IsFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::unique_ptr<IioAccelerometer> IioAccelerometer::Open(const std::string& dir, Natural natural, std::string& reason)
{
    if (!IsFolder(dir)) {
        reason = "tilt sensor " + dir + ": no such folder";
        return nullptr;
    }
    std::unique_ptr<IioAccelerometer> sensor(new IioAccelerometer());
    sensor->m_dir = dir;
    sensor->m_natural = natural;
    const std::string name = FirstLine(dir, "name");
    sensor->m_description = name.empty() ? dir : dir + " (" + name + ")";

    auto fail = [&](const std::string& why) {
        reason = "tilt sensor " + dir + ": " + why;
        return nullptr;
    };
    std::string why;
    std::string text;
    switch (ReadAttribute(dir, "in_accel_scale", text, why)) {
    case ReadStatus::Missing: return fail("not an accelerometer (it has no in_accel_scale)");
    case ReadStatus::Failed: return fail(why);
    case ReadStatus::Ok: break;
    }
    if (!ParseDecimal(text, sensor->m_scale) || !(sensor->m_scale > 0)) {
        return fail("in_accel_scale holds '" + Shown(text) + "', not a positive number");
    }
    if (!ReadOptional(dir, "in_accel_offset", sensor->m_offset, why)) {
        return fail(why);
    }
    switch (ReadAttribute(dir, "in_accel_mount_matrix", text, why)) {
    case ReadStatus::Missing: break;
    case ReadStatus::Failed: return fail(why);
    case ReadStatus::Ok:
        if (!ParseMatrix(text, sensor->m_matrix)) {
            return fail("in_accel_mount_matrix holds '" + Shown(text) + "', not nine numbers");
        }
        break;
    }
    // The axes are read now too, so that a folder that cannot give a reading is refused
    // at once rather than a moment into the run.
    float pitch = 0;
    if (sensor->Read(pitch, why) == Result::Failed) {
        return fail(why);
    }
    return sensor;
}

device::TiltSource::Result IioAccelerometer::Read(float& pitch, std::string& reason)
{
    double raw[3];
    for (int i = 0; i < 3; i++) {
        std::string text;
        if (ReadAttribute(m_dir, kAxes[i], text, reason) != ReadStatus::Ok) {
            return Result::Failed;
        }
        if (!ParseDecimal(text, raw[i])) {
            reason = std::string(kAxes[i]) + " holds '" + Shown(text) + "', not a number";
            return Result::Failed;
        }
    }
    double v[3];
    for (int i = 0; i < 3; i++) {
        v[i] = (raw[i] + m_offset) * m_scale;
    }
    const Matrix& m = m_matrix;
    const Acceleration a{m[0] * v[0] + m[1] * v[1] + m[2] * v[2], m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
                         m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
    const PitchResult r = PitchFromAcceleration(a, m_natural);
    if (r.level) {
        return Result::Level;
    }
    pitch = r.pitch;
    return Result::Pitch;
}

std::string FindAccelerometer(const std::string& root)
{
    DIR* d = ::opendir(root.c_str());
    if (!d) {
        return "";
    }
    std::vector<std::pair<long, std::string>> found;
    const std::string prefix = "iio:device";
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size() ||
            !std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                         [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
            continue;
        }
        const std::string dir = root + "/" + name;
        bool complete = IsFile(dir + "/in_accel_scale");
        for (const char* axis : kAxes) {
            complete = complete && IsFile(dir + "/" + axis);
        }
        // A convertible's base sensor says so in its label or location.
        if (!complete || FirstLine(dir, "label") == "accel-base" || FirstLine(dir, "location") == "base") {
            continue;
        }
        found.emplace_back(std::strtol(name.c_str() + prefix.size(), nullptr, 10), dir);
    }
    ::closedir(d);
    if (found.empty()) {
        return "";
    }
    return std::min_element(found.begin(), found.end())->second;
}

std::string FolderFor(const std::string& name, const std::string& root)
{
    if (name.rfind("iio:device", 0) == 0 && name.find('/') == std::string::npos) {
        return root + "/" + name;
    }
    return name;
}

} // namespace iio
