// The camera's sources through the launcher: a photo and a video put their picture under
// the dial, aiming moves it, and a source that cannot be opened says why in one line and
// leaves the demo scene in its place.
#include <gtest/gtest.h>

#include "support/Launch.h"
#include "support/LyingVideo.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gif_lib.h>
#include <gst/gst.h>
#include <unistd.h>

#include "backends/gst/CameraElements.h"
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

// 64x48 pictures, left half red and right half blue, as a GIF and as a 24-bit BMP.
void WriteHalvesGif(const std::string& path)
{
    int err = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
    ASSERT_NE(gif, nullptr);
    GifColorType colours[2] = {{255, 0, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(2, colours);
    EGifSetGifVersion(gif, true);
    ASSERT_EQ(EGifPutScreenDesc(gif, 64, 48, 1, 0, map), GIF_OK);
    ASSERT_EQ(EGifPutImageDesc(gif, 0, 0, 64, 48, false, nullptr), GIF_OK);
    std::vector<GifPixelType> row(64);
    for (int x = 0; x < 64; x++) {
        row[static_cast<size_t>(x)] = x < 32 ? 0 : 1;
    }
    for (int y = 0; y < 48; y++) {
        ASSERT_EQ(EGifPutLine(gif, row.data(), 64), GIF_OK);
    }
    GifFreeMapObject(map);
    ASSERT_EQ(EGifCloseFile(gif, &err), GIF_OK);
}

void WriteHalvesBmp(const std::string& path)
{
    std::vector<unsigned char> b(54 + 64 * 48 * 3);
    auto le32 = [&](size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; i++) {
            b[at + i] = static_cast<unsigned char>(v >> (8 * i));
        }
    };
    b[0] = 'B';
    b[1] = 'M';
    le32(2, static_cast<std::uint32_t>(b.size()));
    le32(10, 54);
    le32(14, 40);
    le32(18, 64);
    le32(22, 48);
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < 48; y++) {
        for (int x = 0; x < 64; x++) {
            unsigned char* p = &b[54 + (static_cast<size_t>(y) * 64 + x) * 3]; // blue, green, red
            p[0] = x < 32 ? 0 : 255;
            p[2] = x < 32 ? 255 : 0;
        }
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

} // namespace

TEST(Camera, GifAndBmpPicturesAreKnownByTheirContentAndShown)
{
    WriteHalvesGif(Temp("halves.gif"));
    WriteHalvesBmp(Temp("halves.bmp"));
    // Under a name that says nothing, or the wrong thing, the content still decides.
    std::filesystem::copy_file(Temp("halves.gif"), Temp("halves-gif.dat"),
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(Temp("halves.bmp"), Temp("halves-bmp.mp4"),
                               std::filesystem::copy_options::overwrite_existing);
    for (const std::string name : {"halves.gif", "halves.bmp", "halves-gif.dat", "halves-bmp.mp4"}) {
        const std::string shot = Temp("picture-" + name + ".png");
        const Outcome o = RunVeltora("--headless --seconds 0.3 --camera " + Temp(name) + " --screenshot " + shot);
        ASSERT_EQ(o.code, 0) << o.out;
        EXPECT_EQ(o.out.find("camera:"), std::string::npos) << name << ": " << o.out;
        EXPECT_TRUE(Near(PixelOf(shot, kSpotX, kSpotY), 0xFF0000FFu))
            << name << std::hex << " " << PixelOf(shot, kSpotX, kSpotY);
        EXPECT_TRUE(Near(PixelOf(shot, 10, 300), 0xFFFF0000u)) << name;
    }

    // Under /dev a picture is a picture all the same: only a device is taken for a webcam.
    if (std::filesystem::is_directory("/dev/shm")) {
        const std::string shm = "/dev/shm/veltora-test-" + std::to_string(::getpid()) + "-halves.gif";
        std::filesystem::copy_file(Temp("halves.gif"), shm, std::filesystem::copy_options::overwrite_existing);
        const std::string shot = Temp("picture-shm.png");
        const Outcome o = RunVeltora("--headless --seconds 0.3 --camera " + shm + " --screenshot " + shot);
        std::filesystem::remove(shm);
        ASSERT_EQ(o.code, 0) << o.out;
        EXPECT_EQ(o.out.find("camera:"), std::string::npos) << o.out;
        EXPECT_TRUE(Near(PixelOf(shot, kSpotX, kSpotY), 0xFF0000FFu)) << std::hex << PixelOf(shot, kSpotX, kSpotY);
    }
}

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
    const std::string script =
        Script("photo.txt", "wait 200\nscreenshot " + shot1 + "\naim 2 0.25 0.5\nwait 200\nscreenshot " + shot2 + "\n");
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
    std::string reason;
    ASSERT_TRUE(gst::EnsureGstreamer(reason)) << reason;
    const std::string video = Temp("green.avi");
    GError* err = nullptr;
    GstElement* pipeline = gst_parse_launch(
        ("videotestsrc num-buffers=10 pattern=green ! video/x-raw,width=320,height=240,framerate=15/1 ! jpegenc ! "
         "avimux ! filesink location=" +
         video)
            .c_str(),
        &err);
    ASSERT_NE(pipeline, nullptr) << (err ? err->message : "");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg =
        gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
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
    ASSERT_EQ(testing_support::WriteLyingVideo(Temp("huge.avi"), 23200, 23200), "");
    struct Case {
        std::string source, says;
    };
    for (const Case& c : {Case{Temp("broken.jpg"), "photo broken.jpg: cannot open: not a JPEG file"},
                          Case{Temp("broken.avi"), "video broken.avi: cannot open: not a video"},
                          Case{Temp("nothing-here.mp4"), "video nothing-here.mp4: cannot open:"},
                          Case{"/dev/video99", "webcam /dev/video99: cannot open:"},
                          Case{Temp("huge.avi"), "video huge.avi: cannot open: video frames too large (23200x23200; "
                                                 "a picture may be at most 16384 pixels a side and 64 Mi pixels)"}}) {
        const std::string shot = Temp("fallback.png");
        const Outcome o = RunVeltora("--headless --seconds 0.5 --camera " + c.source + " --screenshot " + shot);
        EXPECT_EQ(o.code, 0) << o.out;
        // One line of the program's own, not a log record from inside the platform.
        int lines = 0;
        for (size_t at = o.out.find("camera:"); at != std::string::npos; at = o.out.find("camera:", at + 1)) {
            lines++;
        }
        EXPECT_EQ(lines, 1) << o.out;
        EXPECT_NE(o.out.find("veltora: camera: " + c.says), std::string::npos) << o.out;
        EXPECT_EQ(o.out.find("SwitchToFallback"), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("; using the demo scene instead\n"), std::string::npos) << o.out;
        EXPECT_EQ(PixelOf(shot, kSpotX, kSpotY), demo) << c.source;
    }
}
