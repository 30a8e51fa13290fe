// The application on a phone with a real accelerometer (a fake IIO folder): turning the fake
// gravity switches the layout, and a sensor that vanishes or talks nonsense leaves the keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "iio/IioAccelerometer.h"
#include "support/FakeIio.h"
#include "support/Harness.h"

using testing_support::FakeIio;
using testing_support::Harness;

namespace {

// The layouts the trace shows, in order, told by where the information button is moved.
std::vector<std::string> Layouts(Harness& h)
{
    std::vector<std::string> seen;
    for (const auto& e : h.Trace().events) {
        if (e.name != "Control::SetPosition" || e.args.size() != 2) {
            continue;
        }
        const std::string at = e.args[0].second + "," + e.args[1].second;
        if (at == "15,90") {
            seen.push_back("landscape");
        } else if (at == "90,415") {
            seen.push_back("portrait");
        }
    }
    return seen;
}

void UseSensor(Harness& h, const FakeIio& fake)
{
    std::string reason;
    auto sensor = iio::IioAccelerometer::Open(fake.Folder(), iio::Natural::Portrait, reason);
    ASSERT_TRUE(sensor) << reason;
    h.Device().Tilt().SetSource(std::move(sensor));
}

} // namespace

TEST(TiltAccelerometer, TurningTheGravitySwitchesTheLayoutAtTheSensorsPace)
{
    FakeIio fake;
    fake.Hold(-90);
    Harness h;
    UseSensor(h, fake);
    h.RunMs(1000);
    EXPECT_EQ(Layouts(h), (std::vector<std::string>{"landscape"}));
    // Nearly upright, as a hand holds it, and then back.
    fake.Hold(4);
    h.RunMs(499);
    EXPECT_EQ(Layouts(h).size(), 1u) << "no reading was due yet";
    h.RunMs(1);
    EXPECT_EQ(Layouts(h), (std::vector<std::string>{"landscape", "portrait"}));
    fake.Raw(0, 0, -981); // laid flat on the table: it stays as it was
    h.RunMs(1500);
    fake.Hold(-87);
    h.RunMs(500);
    EXPECT_EQ(Layouts(h), (std::vector<std::string>{"landscape", "portrait", "landscape"}));
    // The keys have no say while the sensor works: the next reading overrides them.
    h.Pitch(0);
    h.RunMs(500);
    EXPECT_EQ(Layouts(h).size(), 3u);
    EXPECT_EQ(h.Log().Count("tilt sensor"), 0);
}

TEST(TiltAccelerometer, ASensorThatVanishesOrTalksNonsenseIsToldOnceAndTheKeysTakeOver)
{
    struct Case {
        const char* what;
        void (*spoil)(const FakeIio&);
        const char* says;
    };
    const Case cases[] = {
        {"vanished",
         [](const FakeIio& f) {
             for (const char* n : {"in_accel_x_raw", "in_accel_y_raw", "in_accel_z_raw", "in_accel_scale", "name"}) {
                 f.Remove(n);
             }
         },
         "in_accel_x_raw is gone"},
        {"garbage", [](const FakeIio& f) { f.Write("in_accel_z_raw", "\xff\xfe ERROR\n"); },
         "in_accel_z_raw holds '?? ERROR', not a number"},
    };
    for (const auto& c : cases) {
        FakeIio fake;
        fake.Hold(0);
        Harness h;
        UseSensor(h, fake);
        h.RunMs(500);
        ASSERT_EQ(Layouts(h), (std::vector<std::string>{"portrait"})) << c.what;
        c.spoil(fake);
        h.RunMs(2000);
        EXPECT_TRUE(h.Running()) << c.what;
        EXPECT_EQ(h.Log().Count("tilt sensor"), 1) << c.what;
        EXPECT_EQ(h.Log().Count(c.says), 1) << c.what;
        EXPECT_EQ(h.Log().Count("the keys tilt the phone"), 1) << c.what;
        // No jump when the sensor goes: the layout stays until a key turns the phone.
        EXPECT_EQ(Layouts(h).size(), 1u) << c.what;
        h.Pitch(-90);
        h.RunMs(500);
        EXPECT_EQ(Layouts(h), (std::vector<std::string>{"portrait", "landscape"})) << c.what;
        // The sensor coming back changes nothing: the keys keep the phone.
        fake.Raw(0, -981, 0);
        fake.Write("in_accel_scale", "0.01\n");
        h.RunMs(1000);
        EXPECT_EQ(Layouts(h).size(), 2u) << c.what;
        EXPECT_EQ(h.Log().Count("tilt sensor"), 1) << c.what;
    }
}
