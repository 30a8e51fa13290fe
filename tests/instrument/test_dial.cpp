// The dial model on its own: the tilt bands at their edges, the layout the readings choose,
// and which needle a press takes.
#include <gtest/gtest.h>

#include <limits>

#include "device/Device.h"
#include "instrument/Dial.h"
#include "instrument/LayoutShown.h"

using instrument::Dial;
using instrument::Needle;

TEST(Dial, TheDialShownChangesOnlyInsideTheHoldingsBands)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const Dial before : {Dial::Half, Dial::Round}) {
        // On a band's edge, between bands and for no number the dial stays.
        for (const float stays : {-10.0f, 10.0f, -80.0f, -100.0f, 80.0f, 100.0f, -170.0f, 170.0f, 45.0f, 181.0f, nan}) {
            EXPECT_EQ(instrument::DialForPitch(stays, before), before) << stays;
        }
        for (const float round : {-9.9f, 0.0f, 9.9f, -180.0f, -170.1f, 170.1f, 180.0f}) {
            EXPECT_EQ(instrument::DialForPitch(round, before), Dial::Round) << round;
        }
        for (const float half : {-99.9f, -80.1f, 80.1f, 99.9f}) {
            EXPECT_EQ(instrument::DialForPitch(half, before), Dial::Half) << half;
        }
    }
}

TEST(Dial, TheLayoutShownFollowsTheReadingsTakenNotThePitchSet)
{
    device::Device device;
    instrument::LayoutShown shown(device.Tilt());
    EXPECT_EQ(shown.Layout(), 2);
    EXPECT_EQ(shown.Shown(), Dial::Half);
    device.Tilt().SetPitch(0.0f);
    EXPECT_EQ(shown.Layout(), 2); // not read yet
    device.Tilt().Reading();
    EXPECT_EQ(shown.Layout(), 0);
    EXPECT_EQ(shown.Shown(), Dial::Round);
    device.Tilt().SetPitch(-45.0f); // between the bands
    device.Tilt().Reading();
    EXPECT_EQ(shown.Layout(), 0);
    device.Tilt().SetPitch(95.0f);
    device.Tilt().Reading();
    EXPECT_EQ(shown.Layout(), 3);
}

TEST(Dial, APressTakesTheNeedleOfItsBandAndNoneBetweenOrBeyond)
{
    struct Case {
        Dial dial;
        double distance;
        bool takes;
        Needle needle;
    } cases[] = {
        {Dial::Half, 165.9, true, Needle::Measuring},
        {Dial::Half, 166, false, {}},
        {Dial::Half, 206, false, {}},
        {Dial::Half, 206.1, true, Needle::Origin},
        {Dial::Half, 365.9, true, Needle::Origin},
        {Dial::Half, 366, false, {}},
        {Dial::Round, 95.9, true, Needle::Measuring},
        {Dial::Round, 96, false, {}},
        {Dial::Round, 128.1, true, Needle::Origin},
        {Dial::Round, 240, false, {}},
    };
    for (const Case& c : cases) {
        Needle needle = Needle::Measuring;
        EXPECT_EQ(instrument::NeedleAt(c.dial, c.distance, needle), c.takes) << c.distance;
        if (c.takes) {
            EXPECT_EQ(needle, c.needle) << c.distance;
        }
    }
}
