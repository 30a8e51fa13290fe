// The accelerometer through IIO sysfs files: gravity to pitch for each way the phone is held,
// the folder's constants, finding a sensor, and folders that are broken, vanish or lie.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <string>

#include "device/Geometry.h"
#include "iio/IioAccelerometer.h"
#include "support/FakeIio.h"

using device::TiltSource;
using iio::IioAccelerometer;
using iio::Natural;
using testing_support::FakeIio;

namespace {

constexpr double g = 9.80665;

// The pitch one reading of the folder gives, or NaN when it gives none.
float ReadPitch(IioAccelerometer& sensor)
{
    float pitch = 0;
    std::string reason;
    const auto r = sensor.Read(pitch, reason);
    EXPECT_NE(r, TiltSource::Result::Failed) << reason;
    return r == TiltSource::Result::Pitch ? pitch : NAN;
}

std::unique_ptr<IioAccelerometer> OpenOk(const FakeIio& fake, Natural natural = Natural::Portrait)
{
    std::string reason;
    auto sensor = IioAccelerometer::Open(fake.Folder(), natural, reason);
    EXPECT_TRUE(sensor) << reason;
    return sensor;
}

} // namespace

TEST(GravityPitch, EachWayThePhoneIsHeldAndTheAnglesBetween)
{
    using iio::PitchFromAcceleration;
    struct Case {
        iio::Acceleration a;
        float portrait; // pitch of a phone
        float landscape; // pitch of a device whose natural orientation is landscape
    };
    const Case cases[] = {
        {{0, -g, 0}, 0, -90}, // upright
        {{-g, 0, 0}, -90, 180}, // top turned to the left
        {{g, 0, 0}, 90, 0}, // top turned to the right
        {{0, g, 0}, 180, 90}, // upside down
        {{g * 0.5, -g * std::sqrt(3.0) / 2, 0}, 30, -60},
        // Tipped back 60 degrees from upright: still upright, the pitch does not care.
        {{0, -g * 0.5, -g * std::sqrt(3.0) / 2}, 0, -90},
    };
    for (const auto& c : cases) {
        const auto p = PitchFromAcceleration(c.a, Natural::Portrait);
        const auto l = PitchFromAcceleration(c.a, Natural::Landscape);
        ASSERT_FALSE(p.level);
        ASSERT_FALSE(l.level);
        EXPECT_NEAR(std::fabs(p.pitch) == 180 ? 180 : p.pitch, c.portrait, 1e-3) << c.a.x << "," << c.a.y;
        EXPECT_NEAR(std::fabs(l.pitch) == 180 ? 180 : l.pitch, c.landscape, 1e-3) << c.a.x << "," << c.a.y;
        EXPECT_LE(std::fabs(p.pitch), 180.0f);
        EXPECT_LE(std::fabs(l.pitch), 180.0f);
    }
}

TEST(GravityPitch, FlatFallingOrShakenTellsNoPitch)
{
    using iio::PitchFromAcceleration;
    const double tip = std::sin(device::Rad(15));
    const iio::Acceleration level[] = {
        {0, 0, -g}, // face up on a table
        {0, 0, g}, // face down
        {0, -g * tip, -g * std::cos(std::asin(tip))}, // tipped only 15 degrees
        {0, -0.1, 0}, // falling
        {0, -3 * g, 0}, // shaken
        {0, 0, 0},
    };
    for (const auto& a : level) {
        EXPECT_TRUE(PitchFromAcceleration(a, Natural::Portrait).level) << a.x << "," << a.y << "," << a.z;
    }
    // Tipped 30 degrees from flat is enough to tell.
    EXPECT_FALSE(PitchFromAcceleration({0, -g * 0.5, -g * 0.87}, Natural::Portrait).level);
}

TEST(SysfsValue, NumbersAsTheKernelWritesThemAndNothingElse)
{
    double v = 0;
    for (const char* good : {"-12\n", "0.5", ".25", " 3 \n", "0.009576806\n", "-0.001"}) {
        EXPECT_TRUE(iio::ParseDecimal(good, v)) << good;
    }
    EXPECT_TRUE(iio::ParseDecimal("-0.75\n", v));
    EXPECT_EQ(v, -0.75);
    for (const char* bad : {"", "\n", "1e3", "inf", "nan", "-inf", "+1", "0x10", "1-2", "-", ".", "1 2", "12abc"}) {
        EXPECT_FALSE(iio::ParseDecimal(bad, v)) << "'" << bad << "'";
    }
    iio::Matrix m{};
    EXPECT_TRUE(iio::ParseMatrix("0, 1, 0; -1, 0, 0; 0, 0, 1\n", m));
    EXPECT_EQ(m, (iio::Matrix{0, 1, 0, -1, 0, 0, 0, 0, 1}));
    EXPECT_TRUE(iio::ParseMatrix("0.7071,-0.7071,0;0.7071,0.7071,0;0,0,1", m));
    for (const char* bad : {"1, 0, 0; 0, 1, 0", "1, 0, 0; 0, 1, 0; 0, 0", "1, 0, 0; 0, 1, 0; 0, 0, 1; 0",
                            "1, 0, 0, 0; 0, 1, 0; 0, 0, 1", "a, b, c; d, e, f; g, h, i", ""}) {
        EXPECT_FALSE(iio::ParseMatrix(bad, m)) << bad;
    }
}

TEST(IioAccelerometer, ReadsTheAxesAfreshAndAppliesOffsetScaleAndMountMatrix)
{
    FakeIio fake(0, "mxc4005");
    auto sensor = OpenOk(fake);
    ASSERT_TRUE(sensor);
    EXPECT_EQ(sensor->Describe(), fake.Folder() + " (mxc4005)");
    EXPECT_NEAR(ReadPitch(*sensor), 0, 0.1);
    fake.Hold(-90);
    EXPECT_NEAR(ReadPitch(*sensor), -90, 0.1);
    fake.Hold(37);
    EXPECT_NEAR(ReadPitch(*sensor), 37, 0.1);
    fake.Raw(0, 0, -981); // laid on the table
    EXPECT_TRUE(std::isnan(ReadPitch(*sensor)));

    // A chip mounted a quarter turn round: its x runs down the device's y. Read upright.
    fake.Raw(981, 0, 0);
    fake.Write("in_accel_mount_matrix", "0, 1, 0; -1, 0, 0; 0, 0, 1\n");
    auto turned = OpenOk(fake);
    ASSERT_TRUE(turned);
    EXPECT_NEAR(ReadPitch(*turned), 0, 0.1);

    // An offset that brings x back to zero, and a scale so small no gravity is left.
    fake.Remove("in_accel_mount_matrix");
    fake.Raw(500, -981, 0);
    fake.Write("in_accel_offset", "-500\n");
    auto offset = OpenOk(fake);
    ASSERT_TRUE(offset);
    EXPECT_NEAR(ReadPitch(*offset), 0, 0.1);
    fake.Write("in_accel_scale", "0.000010\n");
    auto tiny = OpenOk(fake);
    ASSERT_TRUE(tiny);
    EXPECT_TRUE(std::isnan(ReadPitch(*tiny)));

    // A landscape-natural tablet held as it is meant to be is in landscape.
    fake.Write("in_accel_scale", "0.01\n");
    auto tablet = OpenOk(fake, Natural::Landscape);
    ASSERT_TRUE(tablet);
    EXPECT_NEAR(ReadPitch(*tablet), -90, 0.1);
}

TEST(IioAccelerometer, AFolderThatCannotBeReadIsRefusedWithItsReason)
{
    struct Case {
        const char* what;
        void (*spoil)(const FakeIio&);
        const char* says;
    };
    const Case cases[] = {
        {"no scale", [](const FakeIio& f) { f.Remove("in_accel_scale"); }, "not an accelerometer"},
        {"scale zero", [](const FakeIio& f) { f.Write("in_accel_scale", "0\n"); }, "not a positive number"},
        {"scale nan", [](const FakeIio& f) { f.Write("in_accel_scale", "nan\n"); }, "in_accel_scale holds 'nan'"},
        {"offset text", [](const FakeIio& f) { f.Write("in_accel_offset", "soon\n"); }, "in_accel_offset holds 'soon'"},
        {"matrix short", [](const FakeIio& f) { f.Write("in_accel_mount_matrix", "1, 0, 0\n"); }, "not nine numbers"},
        {"no z", [](const FakeIio& f) { f.Remove("in_accel_z_raw"); }, "in_accel_z_raw is gone"},
        {"x binary", [](const FakeIio& f) { f.Write("in_accel_x_raw", std::string("\x01\x02\0", 3)); },
         "in_accel_x_raw holds '\?\?\?'"},
        {"y huge", [](const FakeIio& f) { f.Write("in_accel_y_raw", std::string(100000, '7')); },
         "longer than an attribute"},
        {"y a fifo",
         [](const FakeIio& f) {
             f.Remove("in_accel_y_raw");
             ::mkfifo((f.Folder() + "/in_accel_y_raw").c_str(), 0600);
         },
         "in_accel_y_raw is not a regular file"},
        {"x a folder",
         [](const FakeIio& f) {
             f.Remove("in_accel_x_raw");
             ::mkdir((f.Folder() + "/in_accel_x_raw").c_str(), 0700);
         },
         "in_accel_x_raw"},
    };
    for (const auto& c : cases) {
        FakeIio fake;
        c.spoil(fake);
        std::string reason;
        EXPECT_FALSE(IioAccelerometer::Open(fake.Folder(), Natural::Portrait, reason)) << c.what;
        EXPECT_EQ(reason.rfind("tilt sensor " + fake.Folder() + ": ", 0), 0u) << c.what << ": " << reason;
        EXPECT_NE(reason.find(c.says), std::string::npos) << c.what << ": " << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << c.what << ": " << reason;
    }
    std::string reason;
    EXPECT_FALSE(IioAccelerometer::Open("/nonexistent/iio:device9", Natural::Portrait, reason));
    EXPECT_EQ(reason, "tilt sensor /nonexistent/iio:device9: no such folder");
}

TEST(IioAccelerometer, ASensorThatVanishesOrTalksNonsenseMidRunFails)
{
    FakeIio fake;
    auto sensor = OpenOk(fake);
    ASSERT_TRUE(sensor);
    float pitch = 12;
    std::string reason;
    fake.Write("in_accel_y_raw", "-98x\n");
    EXPECT_EQ(sensor->Read(pitch, reason), TiltSource::Result::Failed);
    EXPECT_EQ(reason, "in_accel_y_raw holds '-98x', not a number");
    EXPECT_EQ(pitch, 12);
    fake.Hold(0);
    EXPECT_EQ(sensor->Read(pitch, reason), TiltSource::Result::Pitch);
    fake.Remove("in_accel_x_raw");
    EXPECT_EQ(sensor->Read(pitch, reason), TiltSource::Result::Failed);
    EXPECT_EQ(reason, "in_accel_x_raw is gone");
}

TEST(IioAccelerometer, AutoFindsTheFirstAccelerometerByNumberLeavingOutALaptopsBase)
{
    FakeIio root(10);
    const auto add = [&](const std::string& name, bool accel) {
        const std::string dir = root.Root() + "/" + name;
        ::mkdir(dir.c_str(), 0755);
        FILE* f = std::fopen((dir + (accel ? "/in_accel_x_raw" : "/in_illuminance_raw")).c_str(), "w");
        std::fclose(f);
        if (accel) {
            for (const char* n : {"/in_accel_y_raw", "/in_accel_z_raw", "/in_accel_scale"}) {
                std::fclose(std::fopen((dir + n).c_str(), "w"));
            }
        }
        return dir;
    };
    EXPECT_EQ(iio::FindAccelerometer(root.Root()), root.Folder());
    add("iio:device1", false); // a light sensor
    add("iio:device2x", true); // not a device's name
    add("trigger0", true);
    EXPECT_EQ(iio::FindAccelerometer(root.Root()), root.Folder());
    const std::string base = add("iio:device3", true);
    std::FILE* label = std::fopen((base + "/label").c_str(), "w");
    std::fputs("accel-base\n", label);
    std::fclose(label);
    EXPECT_EQ(iio::FindAccelerometer(root.Root()), root.Folder());
    const std::string lid = add("iio:device9", true); // 9 comes before 10
    EXPECT_EQ(iio::FindAccelerometer(root.Root()), lid);

    testing_support::ScratchDir empty;
    EXPECT_EQ(iio::FindAccelerometer(empty.Path()), "");
    EXPECT_EQ(iio::FindAccelerometer(empty.Path() + "/missing"), "");

    EXPECT_EQ(iio::FolderFor("iio:device3", "/r"), "/r/iio:device3");
    EXPECT_EQ(iio::FolderFor("./iio:device3", "/r"), "./iio:device3");
    EXPECT_EQ(iio::FolderFor("/sys/x", "/r"), "/sys/x");
}
