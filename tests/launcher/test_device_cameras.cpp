// The cameras of a tablet or phone through the launcher: --camera list, and a libcamera camera
// that is not there told in one line, with the demo scene in its place and libcamera quiet.
#include <gtest/gtest.h>

#include <string>

#include "support/Launch.h"

using testing_support::Lines;
using testing_support::Outcome;
using testing_support::RunVeltora;

TEST(DeviceCameras, ListNamesWhatIsThereAndNothingElse)
{
    const Outcome o = RunVeltora("--camera list");
    EXPECT_EQ(o.code, 0) << o.out;
    if (o.out.rfind("no cameras found", 0) == 0) {
        EXPECT_EQ(Lines(o.out), 1) << o.out;
    } else {
        EXPECT_EQ(o.out.rfind("cameras (pass the first column to --camera):\n", 0), 0u) << o.out;
        EXPECT_GE(Lines(o.out), 2) << o.out;
    }
    EXPECT_EQ(o.out.find("libcamera v"), std::string::npos) << "libcamera's chatter: " << o.out;
}

TEST(DeviceCameras, ALibcameraCameraThatIsNotThereGivesOneLineAndTheDemoScene)
{
    const Outcome o = RunVeltora("--headless --seconds 0.5 --camera libcamera:/base/no-such-camera");
    EXPECT_EQ(o.code, 0) << o.out;
    // Started, the camera, finished: nothing from libcamera itself.
    EXPECT_EQ(Lines(o.out), 3) << o.out;
    const auto line = o.out.find("camera: libcamera camera /base/no-such-camera: ");
    ASSERT_NE(line, std::string::npos) << o.out;
    EXPECT_NE(o.out.find("using the demo scene instead", line), std::string::npos) << o.out;
}

TEST(DeviceCameras, AStableWebcamNameIsAWebcam)
{
    // udev's names under /dev/v4l/ stay with a webcam whichever /dev/videoN it gets.
    const Outcome o = RunVeltora("--headless --seconds 0.2 --camera /dev/v4l/by-id/usb-no-such-cam-video-index0");
    EXPECT_EQ(o.code, 0) << o.out;
    EXPECT_NE(o.out.find("camera: webcam /dev/v4l/by-id/usb-no-such-cam-video-index0: "), std::string::npos) << o.out;
}
