// Checks the GStreamer camera's devices and live sources: a missing or wrong device is told
// plainly, a live source shows its newest picture and fails when it ends, errs or goes quiet.
#include "backends/CountingVideo.h"

namespace {

using namespace counting_video;

TEST(VideoSource, OpenExplainsMissingAndWrongDevices)
{
    std::string reason;
    VideoSource absent(VideoSource::Kind::Webcam, "/dev/video99");
    EXPECT_FALSE(absent.Open(reason));
    EXPECT_EQ(reason, "no such device");

    VideoSource file(VideoSource::Kind::Webcam, "/etc/hostname");
    EXPECT_FALSE(file.Open(reason));
    EXPECT_EQ(reason, "not a video device");

    // A character device that is no camera: GStreamer itself says why.
    VideoSource null(VideoSource::Kind::Webcam, "/dev/null");
    reason.clear();
    EXPECT_FALSE(null.Open(reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(reason.find("no picture within"), std::string::npos) << "waited for the timeout: " << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
}

TEST(VideoSource, LiveSourceShowsItsNewestPicture)
{
    VideoSource blue(VideoSource::Kind::LiveDescription, "videotestsrc is-live=true pattern=blue");
    EXPECT_EQ(blue.Describe(), "live source videotestsrc is-live=true pattern=blue");
    std::string reason;
    ASSERT_TRUE(blue.Open(reason)) << reason;
    Frame f = Render(blue, 0, 640, 480);
    for (std::uint32_t p : std::vector<std::uint32_t>{f.At(0, 0), f.At(320, 240), f.At(639, 479)})
        EXPECT_TRUE(Near(p, 0xFF0000FFu, 8)) << std::hex << p;
    blue.Close();
    EXPECT_EQ(blue.PictureSize(), (device::FrameSize{0, 0}));

    // Pixels twice as wide as high make a picture twice as wide to the eye.
    VideoSource wide(
        VideoSource::Kind::LiveDescription,
        "videotestsrc is-live=true ! capsfilter caps=video/x-raw,width=160,height=120,pixel-aspect-ratio=2/1");
    ASSERT_TRUE(wide.Open(reason)) << reason;
    EXPECT_EQ(wide.PictureSize(), (device::FrameSize{320, 120}));
    wide.Close();
    // Claims past what the drawing widens by are held where the drawing holds them, so
    // aiming and drawing agree.
    for (const auto& [par, seen] : std::vector<std::pair<std::string, device::FrameSize>>{
             {"17/1", {2560, 120}}, {"1000/1", {2560, 120}}, {"1/17", {10, 120}}, {"1/1000", {10, 120}}}) {
        VideoSource claims(
            VideoSource::Kind::LiveDescription,
            "videotestsrc is-live=true ! capsfilter caps=video/x-raw,width=160,height=120,pixel-aspect-ratio=" + par);
        ASSERT_TRUE(claims.Open(reason)) << par << ": " << reason;
        EXPECT_EQ(claims.PictureSize(), seen) << par;
    }

    // Snow differs in every picture: later calls show later pictures, whatever the time says.
    VideoSource snow(VideoSource::Kind::LiveDescription, "videotestsrc is-live=true pattern=snow");
    ASSERT_TRUE(snow.Open(reason)) << reason;
    Frame first = Render(snow, 0, 160, 120);
    bool moved = false;
    for (const auto end = Clock::now() + 20s; !moved && Clock::now() < end;) {
        std::this_thread::sleep_for(20ms);
        moved = Render(snow, 0, 160, 120).words != first.words;
    }
    EXPECT_TRUE(moved) << "the same picture for 20 s";

    // Pictures that arrive while nobody renders are not queued up to be shown one by one:
    // right after a pause the newest picture is shown, and a call straight after it has
    // nothing newer. (A picture may arrive between the two calls, so a few tries are allowed.)
    bool caughtUp = false;
    for (int attempt = 0; attempt < 5 && !caughtUp; ++attempt) {
        std::this_thread::sleep_for(200ms);
        Frame newest = Render(snow, 0, 160, 120);
        caughtUp = Render(snow, 0, 160, 120).words == newest.words;
    }
    EXPECT_TRUE(caughtUp);
}

TEST(VideoSource, LiveSourceThatFailsOrEndsMidwayStopsRendering)
{
    std::string reason;
    // Stands in for a webcam pulled out: an error on the bus after a few pictures.
    VideoSource unplugged(VideoSource::Kind::LiveDescription, "videotestsrc is-live=true ! identity error-after=6");
    ASSERT_TRUE(unplugged.Open(reason)) << reason;
    const std::string why = RenderUntilFailure(unplugged, 3s);
    EXPECT_FALSE(why.empty()) << "kept rendering after the error";
    Frame f(32, 32);
    reason.clear();
    EXPECT_FALSE(unplugged.Render(10'000'000, f.View(), reason));
    EXPECT_EQ(reason, why);

    VideoSource ending(VideoSource::Kind::LiveDescription, "videotestsrc is-live=true num-buffers=4");
    ASSERT_TRUE(ending.Open(reason)) << reason;
    EXPECT_EQ(RenderUntilFailure(ending, 3s), "the source stopped sending pictures");
}

TEST(VideoSource, LiveSourceThatGoesQuietFailsAfterTheStallTime)
{
    VideoTiming timing;
    timing.stall = 300ms;
    // One picture, then the next is half a minute away.
    VideoSource slow(VideoSource::Kind::LiveDescription,
                     "videotestsrc is-live=true ! capsfilter caps=video/x-raw,framerate=1/30", timing);
    std::string reason;
    ASSERT_TRUE(slow.Open(reason)) << reason;
    Frame f(32, 32);
    EXPECT_TRUE(slow.Render(0, f.View(), reason)) << reason;
    auto start = Clock::now();
    const std::string why = RenderUntilFailure(slow, 3s);
    EXPECT_EQ(why, "no new picture for 0.3 s");
    EXPECT_GE(Clock::now() - start, 250ms);
}

TEST(VideoSource, OpenGivesUpOnASourceWithoutPictures)
{
    VideoTiming timing;
    timing.open = 300ms;
    VideoSource silent(VideoSource::Kind::LiveDescription, "appsrc is-live=true", timing);
    std::string reason;
    // The reason names the time given, so the source waited that long and not the default.
    EXPECT_FALSE(silent.Open(reason));
    EXPECT_EQ(reason, "no picture within 0.3 s");

    VideoSource broken(VideoSource::Kind::LiveDescription, "videotestsrc ! no-such-element-here");
    EXPECT_FALSE(broken.Open(reason));
    EXPECT_NE(reason.find("cannot build"), std::string::npos) << reason;
}

} // namespace
