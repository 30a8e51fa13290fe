// The camera's sources through the launcher: a photo and a video put their picture under
// the dial, aiming moves it, and a source that cannot be opened says why in one line and
// leaves the demo scene in its place.
#include <gtest/gtest.h>

#include "support/Launch.h"

#include <array>
#include <fstream>
#include <string>
#include <vector>

#include <gst/gst.h>

#include "codec/ImageCodec.h"

using testing_support::Outcome;
using testing_support::RunVeltora;
using testing_support::Temp;

namespace {

std::uint32_t PixelOf(const std::string& png, int x, int y)
{
    codec::DecodedImage img;
    std::string reason;
    EXPECT_TRUE(codec::DecodeImageFile(png, img, reason)) << png << ": " << reason;
    if (img.pixels.empty()) {
        return 0;
    }
    return img.pixels[static_cast<size_t>(y) * img.width + x];
}

bool Near(std::uint32_t got, std::uint32_t want, int tolerance = 40)
{
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > tolerance) {
            return false;
        }
    }
    return true;
}

// A spot the overlay leaves alone in the landscape layout: right of the dial, below the
// hold image.
constexpr int kSpotX = 790, kSpotY = 300;

std::string Script(const std::string& name, const std::string& text)
{
    const std::string path = Temp(name);
    std::ofstream(path) << text;
    return path;
}

} // namespace

TEST(Camera, APhotoFillsTheScreenAndAimingMovesIt)
{
    // Left half red, right half blue.
    std::vector<std::uint32_t> px(640 * 480);
    for (int y = 0; y < 480; y++) {
        for (int x = 0; x < 640; x++) {
            px[static_cast<size_t>(y) * 640 + x] = x < 320 ? 0xFFFF0000u : 0xFF0000FFu;
        }
    }
    const std::string photo = Temp("halves.png");
    std::string reason;
    ASSERT_TRUE(codec::WritePngFile(photo, px.data(), 640, 480, 640 * 4, reason)) << reason;

    const std::string shot1 = Temp("photo-1.png"), shot2 = Temp("photo-2.png");
    const std::string script = Script("photo.txt", "wait 200\nscreenshot " + shot1 +
                                                       "\naim 2 0.25 0.5\nwait 200\nscreenshot " + shot2 + "\n");
    const Outcome o = RunVeltora("--headless --camera " + photo + " --script " + script);
    ASSERT_EQ(o.code, 0) << o.out;
    EXPECT_EQ(o.out.find("camera:"), std::string::npos) << o.out;
    // Scaled to cover 800x480, the photo's halves meet at x = 400.
    EXPECT_TRUE(Near(PixelOf(shot1, kSpotX, kSpotY), 0xFF0000FFu)) << std::hex << PixelOf(shot1, kSpotX, kSpotY);
    EXPECT_TRUE(Near(PixelOf(shot1, 10, 300), 0xFFFF0000u));
    // Zoomed in twice on the middle of the left half: red from edge to edge.
    EXPECT_TRUE(Near(PixelOf(shot2, kSpotX, kSpotY), 0xFFFF0000u)) << std::hex << PixelOf(shot2, kSpotX, kSpotY);
    EXPECT_TRUE(Near(PixelOf(shot2, 10, 300), 0xFFFF0000u));
}

TEST(Camera, AVideoPlaysUnderTheDial)
{
    ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
    const std::string video = Temp("green.avi");
    GError* err = nullptr;
    GstElement* pipeline = gst_parse_launch(
        ("videotestsrc num-buffers=10 pattern=green ! video/x-raw,width=320,height=240,framerate=15/1 ! jpegenc ! "
         "avimux ! filesink location=" + video).c_str(), &err);
    ASSERT_NE(pipeline, nullptr) << (err ? err->message : "");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_NE(msg, nullptr);
    EXPECT_EQ(GST_MESSAGE_TYPE(msg), GST_MESSAGE_EOS);
    gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);

    const std::string shot = Temp("video.png");
    // Longer than the video: it loops.
    const Outcome o = RunVeltora("--headless --seconds 2 --camera " + video + " --screenshot " + shot);
    ASSERT_EQ(o.code, 0) << o.out;
    EXPECT_EQ(o.out.find("camera:"), std::string::npos) << o.out;
    EXPECT_TRUE(Near(PixelOf(shot, kSpotX, kSpotY), 0xFF00FF00u, 60)) << std::hex << PixelOf(shot, kSpotX, kSpotY);
}

TEST(Camera, ASourceThatCannotOpenSaysWhyAndTheDemoSceneTakesOver)
{
    const std::string demoShot = Temp("demo.png");
    ASSERT_EQ(RunVeltora("--headless --seconds 0.5 --screenshot " + demoShot).code, 0);
    const std::uint32_t demo = PixelOf(demoShot, kSpotX, kSpotY);

    std::ofstream(Temp("broken.jpg")) << "not a jpeg at all";
    std::ofstream(Temp("broken.avi")) << "not a video at all";
    struct Case {
        std::string source, says;
    };
    for (const Case& c : {Case{Temp("broken.jpg"), "photo broken.jpg: cannot open: not a JPEG file"},
                          Case{Temp("broken.avi"), "video broken.avi: cannot open: not a video"},
                          Case{Temp("nothing-here.mp4"), "video nothing-here.mp4: cannot open:"},
                          Case{"/dev/video99", "webcam /dev/video99: cannot open:"}}) {
        const std::string shot = Temp("fallback.png");
        const Outcome o = RunVeltora("--headless --seconds 0.5 --camera " + c.source + " --screenshot " + shot);
        EXPECT_EQ(o.code, 0) << o.out;
        int lines = 0;
        for (size_t at = o.out.find("camera:"); at != std::string::npos; at = o.out.find("camera:", at + 1)) {
            lines++;
        }
        EXPECT_EQ(lines, 1) << o.out;
        EXPECT_NE(o.out.find(c.says), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("using the demo scene instead"), std::string::npos) << o.out;
        EXPECT_EQ(PixelOf(shot, kSpotX, kSpotY), demo) << c.source;
    }
}
